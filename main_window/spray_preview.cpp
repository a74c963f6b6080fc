#include "spray_preview.h"

#include "decal_file.h"
#include "game_view.h"
#include "spray_details.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace tagswap {

namespace {

constexpr int kScales[] = {1, 2, 4};

QLabel *pictureLabel(const QImage &image, int scale, const QString &what, QWidget *parent)
{
    auto *label = new QLabel(parent);
    // Scaled without smoothing: the pixels as the game's nearest filtering shows them.
    label->setPixmap(QPixmap::fromImage(image.scaled(image.size() * scale)));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAccessibleName(what);
    return label;
}

QWidget *picturesOf(const QList<decal::Decal> &levels, QWidget *parent)
{
    auto *pictures = new QWidget(parent);
    auto *grid = new QGridLayout(pictures);
    const decal::GameView plain{false, decal::kWallColour, true};
    const std::pair<QString, decal::GameView> rows[] = {
        {QObject::tr("As the game shows it"), decal::GameView{}},
        {QObject::tr("Plain palette"), plain}};
    int row = 0;
    for (const auto &[caption, view] : rows) {
        grid->addWidget(new QLabel(caption, pictures), row++, 0, 1, 3);
        const QImage image = decal::renderAsGame(levels.first(), view);
        for (int column = 0; column < 3; ++column) {
            const int scale = kScales[column];
            grid->addWidget(pictureLabel(image, scale,
                                         QStringLiteral("%1, %2×").arg(caption).arg(scale),
                                         pictures),
                            row, column, Qt::AlignLeft | Qt::AlignTop);
        }
        ++row;
    }
    grid->addWidget(new QLabel(QObject::tr("Mip levels, as the game shows them"), pictures), row++,
                    0, 1, 3);
    auto *mips = new QHBoxLayout;
    for (const decal::Decal &level : levels) {
        mips->addWidget(pictureLabel(decal::renderAsGame(level), 1,
                                     QStringLiteral("%1 × %2").arg(level.width).arg(level.height),
                                     pictures),
                        0, Qt::AlignLeft | Qt::AlignTop);
    }
    mips->addStretch();
    grid->addLayout(mips, row, 0, 1, 3);
    return pictures;
}

} // namespace

SprayPreview::SprayPreview(const QString &path, QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("sprayPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString name = QFileInfo(path).fileName();
    setWindowTitle(tr("Preview - %1").arg(name));

    auto *layout = new QVBoxLayout(this);
    auto *summary = new QLabel(this);
    summary->setObjectName(QStringLiteral("summary"));
    summary->setTextFormat(Qt::PlainText);
    summary->setWordWrap(true);
    layout->addWidget(summary);
    showSpray(path, summary, layout);

    // Closed as the other windows are: a Close button, Esc, and Ctrl+W as in a browser.
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    layout->addWidget(buttons);
    for (const QKeySequence &keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
}

void SprayPreview::showSpray(const QString &path, QLabel *summary, QVBoxLayout *layout)
{
    const QString name = QFileInfo(path).fileName();
    const SprayDetails details = readSprayDetails(path);
    const std::optional<QByteArray> bytes = readSprayBytes(path);
    QString error;
    const QList<decal::Decal> levels =
        bytes ? decal::decodeLevels(*bytes, &error) : QList<decal::Decal>{};
    if (levels.isEmpty()) {
        summary->setText(tr("%1: the game would refuse it: %2").arg(name, details.refusal));
        return;
    }
    QString text = QStringLiteral("%1: %2").arg(name, spraySummary(details));
    if (!details.refusal.isEmpty())
        text += u'\n' + tr("The game would refuse it: %1").arg(details.refusal);
    summary->setText(text);

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(picturesOf(levels, scroll));
    scroll->setWidgetResizable(false);
    layout->addWidget(scroll);
    // Room for a 64 × 64 spray at every scale without scrolling; larger ones scroll.
    resize(std::min(scroll->widget()->sizeHint().width() + 40, 900),
           std::min(scroll->widget()->sizeHint().height() + 120, 740));
}

SprayPreview *showSprayPreview(const QString &path, QWidget *parent)
{
    auto *preview = new SprayPreview(path, parent);
    preview->show();
    return preview;
}

} // namespace tagswap
