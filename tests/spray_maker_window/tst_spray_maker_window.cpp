// The "Make Spray" window: an image in (opened or dropped), settings, the preview
// made off the GUI thread, and Save writing <name>.wad into the spray folder.

#include "hostile_pictures.h"
#include "recording_platform.h"
#include "scratch_folder.h"
#include "spray_maker_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QUrl>

#include <memory>

using tagswap::SprayMakerWindow;
using tagswap::testing::RecordingPlatform;
using tagswap::testing::ScratchFolder;

namespace {

QString writePicture(const QString &path, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setBrush(QColor(220, 40, 40));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(QPoint(), size));
    painter.end();
    return image.save(path) ? path : QString();
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QPushButton *saveButton(SprayMakerWindow &window)
{
    return window.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save);
}

} // namespace

class TestSprayMakerWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_folder;
    RecordingPlatform m_platform;

    QString sprays() const { return m_folder->filePath(QStringLiteral("sprays")); }

    static bool waitForPreview(SprayMakerWindow &window)
    {
        return QTest::qWaitFor([&] { return window.isPreviewCurrent(); }, 20000);
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<ScratchFolder>();
        QVERIFY(m_folder->isValid());
        QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("sprays")));
        m_platform = RecordingPlatform();
        SprayMakerWindow::forgetKeptOptions();
    }
    void cleanup() { m_folder.reset(); }

    void savesSpray_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("fit");
        QTest::addColumn<bool>("oneColour");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("defaults") << "largest"
                                  << "fit" << false << "" << QSize(128, 96);
        QTest::newRow("strict, filled") << "strict"
                                        << "fill" << false << "" << QSize(128, 96);
        QTest::newRow("exact, renamed") << "64x64"
                                        << "stretch" << false << "round" << QSize(64, 64);
        QTest::newRow("one colour") << "largest"
                                    << "fit" << true << "logo" << QSize(128, 96);
    }
    void savesSpray()
    {
        QFETCH(QString, size);
        QFETCH(QString, fit);
        QFETCH(bool, oneColour);
        QFETCH(QString, name);
        QFETCH(QSize, expected);
        const QString image =
            writePicture(m_folder->filePath(QStringLiteral("ball.png")), QSize(800, 600));
        SprayMakerWindow window(m_platform, sprays(), image);
        window.show();
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("nameEdit"))->text(),
                 QStringLiteral("ball"));
        auto *sizeBox = window.findChild<QComboBox *>(QStringLiteral("sizeBox"));
        auto *fitBox = window.findChild<QComboBox *>(QStringLiteral("fitBox"));
        sizeBox->setCurrentIndex(sizeBox->findData(size));
        fitBox->setCurrentIndex(fitBox->findData(fit));
        window.findChild<QCheckBox *>(QStringLiteral("oneColourBox"))->setChecked(oneColour);
        if (!name.isEmpty())
            window.findChild<QLineEdit *>(QStringLiteral("nameEdit"))->setText(name);
        QVERIFY(waitForPreview(window));
        const auto *preview = window.findChild<QLabel *>(QStringLiteral("previewGame"));
        QCOMPARE(preview->pixmap().size(), expected * 2);

        QSignalSpy saved(&window, &SprayMakerWindow::saved);
        QVERIFY(saveButton(window)->isEnabled());
        saveButton(window)->click();
        const QString path = sprays() + QLatin1Char('/')
                             + (name.isEmpty() ? QStringLiteral("ball") : name)
                             + QStringLiteral(".wad");
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.first().first().toString(), path);
        const QByteArray bytes = readAll(path);
        QCOMPARE(decal::gameRefusal(bytes), QString());
        const auto spray = decal::decode(bytes);
        QCOMPARE(QSize(spray->width, spray->height), expected);
        QCOMPARE(spray->isColourSpray(), !oneColour);
        QVERIFY(m_platform.messages.isEmpty());
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("statusLabel"))->text(),
                 QStringLiteral("Saved %1 in the spray folder.").arg(QFileInfo(path).fileName()));
    }

    // An icon fills the spray: sharp keeps its two colours, smooth blends them, and the
    // gamma box stores them darker by the game's gamma.
    void enlargingAndGameColours_data()
    {
        QTest::addColumn<QString>("scaler");
        QTest::addColumn<bool>("gameGamma");
        QTest::addColumn<QRgb>("corner"); // as stored
        QTest::newRow("sharp, for the game") << "sharp" << true << qRgb(188, 17, 17);
        QTest::newRow("smooth") << "smooth" << false << qRgb(200, 30, 30);
    }
    void enlargingAndGameColours()
    {
        QFETCH(QString, scaler);
        QFETCH(bool, gameGamma);
        QFETCH(QRgb, corner);
        QImage icon(8, 8, QImage::Format_RGB32);
        icon.fill(qRgb(200, 30, 30));
        QPainter(&icon).fillRect(4, 0, 4, 8, QColor(30, 30, 200));
        QVERIFY(icon.save(m_folder->filePath(QStringLiteral("icon.png"))));
        SprayMakerWindow window(m_platform, sprays(),
                                m_folder->filePath(QStringLiteral("icon.png")));
        auto *scalerBox = window.findChild<QComboBox *>(QStringLiteral("scalerBox"));
        scalerBox->setCurrentIndex(scalerBox->findData(scaler));
        window.findChild<QCheckBox *>(QStringLiteral("gameGammaBox"))->setChecked(gameGamma);
        QVERIFY(waitForPreview(window));
        saveButton(window)->click();
        const auto spray = decal::decode(readAll(sprays() + QStringLiteral("/icon.wad")));
        QVERIFY(spray && spray->width == 112 && spray->height == 112);
        QCOMPARE(spray->palette[quint8(spray->pixels[0])], corner);
        const QSet<char> used(spray->pixels.begin(), spray->pixels.end());
        QCOMPARE(used.size() == 2, scaler == QLatin1String("sharp"));
    }

    void replacingAsksFirst_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void replacingAsksFirst()
    {
        QFETCH(bool, replaced);
        const QString image =
            writePicture(m_folder->filePath(QStringLiteral("ball.png")), QSize(300, 300));
        const QString target = sprays() + QStringLiteral("/ball.wad");
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old spray") > 0);
        old.close();
        SprayMakerWindow window(m_platform, sprays(), image);
        window.show();
        QVERIFY(waitForPreview(window));
        QSignalSpy saved(&window, &SprayMakerWindow::saved);
        m_platform.answers = {replaced ? tagswap::Answer::Yes : tagswap::Answer::No};
        saveButton(window)->click();
        QCOMPARE(m_platform.questions.size(), 1);
        QCOMPARE(m_platform.questions.first().text,
                 QStringLiteral("ball.wad already exists. Replace it?"));
        QCOMPARE(saved.size(), replaced ? 1 : 0);
        QCOMPARE(readAll(target) == "old spray", !replaced);
    }

    void droppedImageIsOpened()
    {
        const QString first =
            writePicture(m_folder->filePath(QStringLiteral("one.png")), QSize(100, 100));
        const QString second =
            writePicture(m_folder->filePath(QStringLiteral("two.png")), QSize(200, 50));
        SprayMakerWindow window(m_platform, sprays(), first);
        window.show();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(second)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QCOMPARE(window.imagePath(), second);
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("nameEdit"))->text(),
                 QStringLiteral("two"));
        QVERIFY(waitForPreview(window));
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("previewGame"))->pixmap().size(),
                 QSize(448, 128)); // enlarged to the largest spray of its shape, shown at 2x
        // The picture beside it, enlarged only by whole pixels up to a spray's largest side.
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("previewPicture"))->pixmap().size(),
                 QSize(200, 50));
    }

    // Neither a picture's shape nor its name moves the window's edges.
    void widthStaysAsPicturesLoad()
    {
        SprayMakerWindow window(
            m_platform, sprays(),
            writePicture(m_folder->filePath(QStringLiteral("one.png")), QSize(16, 16)));
        window.show();
        QVERIFY(waitForPreview(window));
        const int width = window.width();
        // As long as names from cameras and downloads get, and longer than the window.
        const QString longName =
            QStringLiteral("a picture with a long name ").repeated(7) + QStringLiteral(".png");
        window.openImage(writePicture(m_folder->filePath(longName), QSize(900, 100)));
        QVERIFY(waitForPreview(window));
        QCoreApplication::processEvents();
        QCOMPARE(window.width(), width);
    }

    // The next window starts with the options this one was left with, but no picture.
    void optionsKeptForTheNextWindow()
    {
        const QString image =
            writePicture(m_folder->filePath(QStringLiteral("ball.png")), QSize(300, 300));
        {
            SprayMakerWindow window(m_platform, sprays(), image);
            auto *size = window.findChild<QComboBox *>(QStringLiteral("sizeBox"));
            size->setCurrentIndex(size->findData(QStringLiteral("64x64")));
            window.findChild<QCheckBox *>(QStringLiteral("oneColourBox"))->setChecked(true);
            window.findChild<QSlider *>(QStringLiteral("ditherSlider"))->setValue(40);
            QVERIFY(waitForPreview(window));
        }
        SprayMakerWindow next(m_platform, sprays());
        QCOMPARE(next.findChild<QComboBox *>(QStringLiteral("sizeBox"))->currentData().toString(),
                 QStringLiteral("64x64"));
        QVERIFY(next.findChild<QCheckBox *>(QStringLiteral("oneColourBox"))->isChecked());
        QCOMPARE(next.findChild<QSlider *>(QStringLiteral("ditherSlider"))->value(), 40);
        QCOMPARE(next.findChild<QLineEdit *>(QStringLiteral("nameEdit"))->text(), QString());
    }

    // Settings changed faster than the worker: only the last one is shown and saved.
    void lastSettingWins()
    {
        const QString image =
            writePicture(m_folder->filePath(QStringLiteral("ball.png")), QSize(900, 900));
        SprayMakerWindow window(m_platform, sprays(), image);
        window.show();
        auto *sizeBox = window.findChild<QComboBox *>(QStringLiteral("sizeBox"));
        auto *dither = window.findChild<QSlider *>(QStringLiteral("ditherSlider"));
        for (int value = 0; value <= 100; value += 10)
            dither->setValue(value);
        sizeBox->setCurrentIndex(sizeBox->findData(QStringLiteral("96x96")));
        QVERIFY(!saveButton(window)->isEnabled());
        QVERIFY(waitForPreview(window));
        saveButton(window)->click();
        const auto spray = decal::decode(readAll(sprays() + QStringLiteral("/ball.wad")));
        QVERIFY(spray);
        QCOMPARE(QSize(spray->width, spray->height), QSize(96, 96));
    }

    // Opened after a good picture, which then is no longer what Save would write.
    void unreadableImageIsSaidAndNotSaved_data()
    {
        using namespace tagswap::testing;
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fault");
        const QImage photo = somePicture(QSize(300, 200));
        QTest::newRow("not a picture")
            << "bad.png" << QByteArray("not a picture") << "not an image";
        QTest::newRow("JPEG cut short")
            << "cut.jpg" << cutShort(encoded(photo, "jpeg")) << "cut short";
        QTest::newRow("BMP cut short")
            << "cut.bmp" << cutShort(encoded(photo, "bmp")) << "cut short";
        QTest::newRow("progressive JPEG claiming 9999x9999")
            << "bomb.jpg" << progressiveJpegClaiming(9999, 9999) << "progressive JPEG";
        QTest::newRow("drawing holding a PNG claiming 10000x9000 in 16 bits")
            << "inline.svg" << drawingHolding(deepPngHeaderClaiming(10000, 9000)) << "512 MiB";
    }
    void unreadableImageIsSaidAndNotSaved()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fault);
        const QString bad = m_folder->filePath(name);
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        SprayMakerWindow window(
            m_platform, sprays(),
            writePicture(m_folder->filePath(QStringLiteral("ball.png")), QSize(200, 200)));
        QVERIFY(waitForPreview(window));
        window.openImage(bad);
        QVERIFY(waitForPreview(window));
        const QString status = window.findChild<QLabel *>(QStringLiteral("statusLabel"))->text();
        QVERIFY2(status.startsWith(name) && status.contains(fault), qPrintable(status));
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("previewGame"))->pixmap().isNull());
        QVERIFY(window.findChild<QLabel *>(QStringLiteral("previewPicture"))->pixmap().isNull());
        QVERIFY(!saveButton(window)->isEnabled());
        saveButton(window)->click();
        QCOMPARE(QDir(sprays()).entryList(QDir::Files), QStringList());
    }

    // Its reader would take 5 s over this drawing; the window waits for none of it.
    void closesAtOnceWhileReading()
    {
        const QString drawing = m_folder->filePath(QStringLiteral("uses.svg"));
        QFile file(drawing);
        QVERIFY(file.open(QIODevice::WriteOnly)
                && file.write(tagswap::testing::drawingOfNestedUses()) > 0);
        file.close();
        auto window = std::make_unique<SprayMakerWindow>(m_platform, sprays(), drawing);
        window->show();
        QTest::qWait(500);
        QVERIFY(!window->isPreviewCurrent());
        QElapsedTimer clock;
        clock.start();
        window.reset();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    }

    void nameMustBeAPlainFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("folder") << "../escape";
        QTest::newRow("backslash") << "a\\b";
        QTest::newRow("hidden") << ".hidden";
        QTest::newRow("blank") << "   ";
    }
    void nameMustBeAPlainFileName()
    {
        QFETCH(QString, name);
        const QString image =
            writePicture(m_folder->filePath(QStringLiteral("ball.png")), QSize(64, 64));
        SprayMakerWindow window(m_platform, sprays(), image);
        window.findChild<QLineEdit *>(QStringLiteral("nameEdit"))->setText(name);
        QVERIFY(waitForPreview(window));
        QSignalSpy saved(&window, &SprayMakerWindow::saved);
        saveButton(window)->click();
        QCOMPARE(saved.size(), 0);
        QCOMPARE(m_platform.messages.size(), 1);
        QCOMPARE(QDir(sprays()).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("ball.png")});
    }
};

QTEST_MAIN(TestSprayMakerWindow)
#include "tst_spray_maker_window.moc"
