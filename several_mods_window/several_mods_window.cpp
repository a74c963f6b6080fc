#include "several_mods_window.h"

#include "decal_file.h"
#include "installed_spray.h"
#include "platform.h"
#include "replaced_sprays.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>

namespace tagswap {

namespace {

const QString kTitle = QStringLiteral("Install in several mods");
// The game refuses any spray over 1 MiB; one byte more is enough to know.
constexpr qint64 kSprayReadLimit = (1 << 20) + 1;

QString sprayNowText(const ModSpray &now)
{
    switch (now.kind) {
    case ModSpray::Kind::InFolder:
        return now.name;
    case ModSpray::Kind::Own:
        return SeveralModsWindow::tr("its own spray");
    case ModSpray::Kind::None:
        break;
    }
    return SeveralModsWindow::tr("none");
}

} // namespace

SeveralModsWindow::SeveralModsWindow(Platform &platform, Setup setup, QWidget *parent)
    : QDialog(parent)
    , m_platform(platform)
    , m_setup(std::move(setup))
    , m_mods(modsToOffer(m_setup.gameDirectory, m_setup.chosenMod, m_setup.otherGames))
{
    setObjectName(QStringLiteral("severalMods"));
    setWindowTitle(kTitle);
    buildControls();
    showSpraysNow();
}

QString SeveralModsWindow::rowName(const ModFolder &where) const
{
    if (where.gameDirectory == m_setup.gameDirectory)
        return where.mod;
    // Another game's folder: named by its own folder, "Sven Co-op".
    return tr("%1 (%2)").arg(where.mod, QFileInfo(where.gameDirectory).fileName());
}

void SeveralModsWindow::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    const QString spray = QFileInfo(m_setup.spray).fileName();
    auto *about =
        new QLabel(m_mods.isEmpty() ? tr("There is no mod folder to install %1 into: the game "
                                         "folder set in Settings has none the game can run.")
                                          .arg(spray)
                                    : tr("Install %1 into the checked mods:").arg(spray),
                   this);
    about->setObjectName(QStringLiteral("about"));
    about->setTextFormat(Qt::PlainText);
    about->setWordWrap(true);
    layout->addWidget(about);

    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setWidget(buildRows());
    scroll->setVisible(!m_mods.isEmpty());
    layout->addWidget(scroll, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_install = buttons->addButton(tr("Install"), QDialogButtonBox::ActionRole);
    m_install->setObjectName(QStringLiteral("install"));
    m_install->setEnabled(!checkedMods().isEmpty());
    connect(m_install, &QPushButton::clicked, this, &SeveralModsWindow::install);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(460, 340);
}

QWidget *SeveralModsWindow::buildRows()
{
    auto *rows = new QWidget;
    auto *grid = new QGridLayout(rows);
    grid->addWidget(new QLabel(tr("Mod"), rows), 0, 0);
    grid->addWidget(new QLabel(tr("Spray it has now"), rows), 0, 1);
    for (qsizetype i = 0; i < m_mods.size(); ++i) {
        const ModFolder &where = m_mods.at(i);
        auto *check = new QCheckBox(rowName(where), rows);
        check->setToolTip(QDir::toNativeSeparators(QDir(where.gameDirectory).filePath(where.mod)));
        check->setChecked(where.gameDirectory == m_setup.gameDirectory
                          && isSameMod(where.mod, m_setup.chosenMod));
        connect(check, &QCheckBox::toggled, this,
                [this] { m_install->setEnabled(!checkedMods().isEmpty()); });
        auto *now = new QLabel(QStringLiteral("…"), rows);
        now->setTextFormat(Qt::PlainText);
        grid->addWidget(check, int(i) + 1, 0);
        grid->addWidget(now, int(i) + 1, 1);
        m_checks << check;
        m_spraysNow << now;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(int(m_mods.size()) + 1, 1);
    return rows;
}

QList<ModFolder> SeveralModsWindow::checkedMods() const
{
    QList<ModFolder> checked;
    for (qsizetype i = 0; i < m_checks.size(); ++i) {
        if (m_checks.at(i)->isChecked())
            checked << m_mods.at(i);
    }
    return checked;
}

void SeveralModsWindow::showSpraysNow()
{
    const int round = ++m_readRound;
    const QPointer<SeveralModsWindow> window(this);
    // Many sprays share a size, so this may read thousands of files: off the
    // window's thread, and only the latest round's answer is shown.
    QThreadPool::globalInstance()->start([window, round, mods = m_mods,
                                          folder = m_setup.sprayFolder,
                                          inUse = m_setup.gameFilesInUse] {
        QStringList texts;
        for (const ModFolder &where : mods)
            texts << sprayNowText(modSprayNow(where.gameDirectory, where.mod, folder, *inUse));
        QMetaObject::invokeMethod(QCoreApplication::instance(), [window, round, texts] {
            if (!window || window->m_readRound != round)
                return;
            for (qsizetype i = 0; i < texts.size(); ++i)
                window->m_spraysNow.at(i)->setText(texts.at(i));
        });
    });
}

// A file the game would refuse is installed only when the player insists, as
// Change asks. One that cannot be read at all is left to the copy, which says why.
bool SeveralModsWindow::confirmSpray()
{
    QFile file(m_setup.spray);
    if (!QFileInfo(m_setup.spray).isFile() || !file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray bytes = file.read(kSprayReadLimit);
    const QString refusal = decal::gameRefusal(bytes, std::max(qint64(bytes.size()), file.size()));
    if (refusal.isEmpty())
        return true;
    const QString text = tr("%1 is not a spray the game can show: %2 Install it anyway?")
                             .arg(QFileInfo(m_setup.spray).fileName(), refusal);
    return m_platform.question(this, text, kTitle) == Answer::Yes;
}

void SeveralModsWindow::install()
{
    const QList<ModFolder> chosen = checkedMods();
    if (chosen.isEmpty() || !confirmSpray())
        return;
    const QList<ModInstall> done =
        installInMods(m_setup.spray, chosen, m_setup.sprayFolder, replacedSprayFolder(),
                      QDateTime::currentDateTime(), m_setup.gameFilesInUse.get());
    const bool allInstalled = std::all_of(done.cbegin(), done.cend(), [](const ModInstall &one) {
        return one.result.installed && one.result.warning.isEmpty();
    });
    if (std::any_of(done.cbegin(), done.cend(),
                    [](const ModInstall &one) { return one.result.installed; }))
        emit installed();
    showSpraysNow();
    m_platform.messageBox(this, summary(done),
                          allInstalled ? MsgBoxStyle::Information : MsgBoxStyle::Exclamation,
                          kTitle);
}

QString SeveralModsWindow::summary(const QList<ModInstall> &done) const
{
    QStringList installedIn;
    QStringList problems;
    for (const ModInstall &one : done) {
        if (one.result.installed)
            installedIn << rowName(one.where);
        else
            problems << tr("It was not installed in %1:").arg(rowName(one.where))
                     << one.result.error;
        if (!one.result.warning.isEmpty())
            problems << one.result.warning;
    }
    const QString spray = QFileInfo(m_setup.spray).fileName();
    QStringList lines;
    if (!installedIn.isEmpty())
        lines << tr("%1 is installed in %2.").arg(spray, installedIn.join(QStringLiteral(", ")));
    else
        lines << tr("%1 was installed in no mod.").arg(spray);
    return (lines + problems).join(QStringLiteral("\r\n"));
}

SeveralModsWindow *showSeveralMods(Platform &platform, SeveralModsWindow::Setup setup,
                                   QWidget *parent)
{
    auto *window = new SeveralModsWindow(platform, std::move(setup), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

} // namespace tagswap
