#include "frm_main.h"

#include "file_list_box.h"
#include "frm_settings.h"
#include "game_launch.h"
#include "game_paths.h"
#include "installed_spray.h"
#include "line_reader.h"
#include "platform.h"
#include "replaced_sprays.h"
#include "settings_store.h"
#include "spray_details.h"
#include "spray_install.h"
#include "spray_list_actions.h"
#include "spray_maker_plugin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>

namespace tagswap {

namespace {

QString firstRunNotice()
{
    return joinLines({
        QStringLiteral("This appears to be your first time running Tagswap."),
        QStringLiteral("It is very important that you click on \"Settings\" to set information "
                       "needed for this program to operate as intended."),
        QString(),
        QStringLiteral("If you ever run across a bug, please check \"About\" to make sure I don't "
                       "know about it, and to get my e-mail address. If it's not mentioned in "
                       "there, please e-mail me about it. The same thing goes for if you have an "
                       "idea for this program that you think I should use."),
        QStringLiteral("Please note that you must NOT go into the \"Player Customize\" menu in "
                       "Half-Life. Doing that will overwrite the color spray."),
        QString(),
        QStringLiteral("This message will only appear once."),
    });
}

QString helpText()
{
    return joinLines({
        QStringLiteral("I think this is a fairly easy to use this program, but I'll go through all "
                       "the steps of setting up a color spraypaint for Team Fortress."),
        QString(),
        QStringLiteral("Put all the color spraypaint files in the same directory as the Tagswap "
                       "program file. Rename them all to something which will let you know what "
                       "is what (e.g. instead of having your spray of your grandmother's portrait "
                       "named \"pldecal.wad\" you could name it \"grandmother.wad\")."),
        QStringLiteral("Next, make sure you have gone into \"Settings\" and set your correct "
                       "Half-Life base directory."),
        QStringLiteral("If you added more sprays to the Tagswap directory after you started "
                       "Tagswap, hit \"Refresh\""),
        QStringLiteral("Choose the spray you want to use from the list, and then simply hit "
                       "\"Change\""),
        QString(),
        QStringLiteral("That's all there is to it. Detailed information on having Tagswap run "
                       "Half-Life upon exit is in the readme.txt (available through the "
                       "\"About\" button)."),
    });
}

} // namespace

frmMain::frmMain(Platform &platform, CommandLine commandLine, QWidget *parent)
    : QWidget(parent, mainWindowFlags())
    , m_platform(platform)
    , m_commandLine(std::move(commandLine))
{
    // The spray list reads the working directory now, as the window is made.
    flbFiles = new FileListBox(QDir::currentPath(), QStringLiteral(".wad"), this);
    static_cast<MainWindowControls &>(*this) = buildMainWindow(this, flbFiles);
    m_sprayActions = new SprayListActions(m_platform, flbFiles, this);
    m_sprayActions->setModList(cmbMod);
    m_sprayActions->setGameFilesInUse(m_gameFilesInUse);
    connectControls();
}

void frmMain::connectControls()
{
    connect(cmdChange, &QPushButton::clicked, this, &frmMain::cmdChange_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmMain::cmdExit_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &frmMain::cmdHelp_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmMain::cmdRefresh_Click);
    connect(cmdSettings, &QPushButton::clicked, this, &frmMain::cmdSettings_Click);
    // After the procedures above, which may have changed what is installed or listed.
    for (QPushButton *button : {cmdChange, cmdRefresh, cmdSettings})
        connect(button, &QPushButton::clicked, this, &frmMain::markInstalledSpray);
    connect(cmbMod, &QComboBox::currentTextChanged, this, &frmMain::markInstalledSpray);
    connect(m_sprayActions, &SprayListActions::sprayFolderChanged, this,
            &frmMain::markInstalledSpray);
    connect(m_sprayActions, &SprayListActions::modSpraysChanged, this,
            &frmMain::markInstalledSpray);
    connect(m_sprayActions, &SprayListActions::makeSprayRequested, this, &frmMain::openSprayMaker);
}

void frmMain::openSprayMaker(const QString &imagePath)
{
    QString error;
    SprayMakerPlugin *maker = m_sprayMaker.plugin(&error);
    if (!maker) {
        m_platform.messageBox(messageOwner(),
                              tr("The spray maker could not be loaded: %1.").arg(error),
                              MsgBoxStyle::Critical, QStringLiteral("Tagswap"));
        return;
    }
    // Not modal: the list and Change stay usable while a spray is being made.
    const QPointer<SprayListActions> actions(m_sprayActions);
    maker->showMaker(m_platform, flbFiles->directory(), imagePath, this,
                     [actions](const QString &path) {
                         if (actions)
                             actions->refreshAndSelect(QFileInfo(path).fileName());
                     });
}

void frmMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Comparing files waits until the window is up.
    QTimer::singleShot(0, this, &frmMain::markInstalledSpray);
}

void frmMain::markInstalledSpray()
{
    // Before the first show this would only delay the window.
    if (!m_shownOnce)
        return;
    const QString installed =
        installedSprayPath(SettingsStore::read(settings::HLDir), cmbMod->currentText());
    const QString folder = flbFiles->directory();
    const QStringList names = flbFiles->names();
    const int round = ++m_markRound;
    const QPointer<frmMain> window(this);
    // Many sprays share a size, so this may read thousands of files: off the
    // window's thread, and only the latest round's answer is shown.
    QThreadPool::globalInstance()->start(
        [window, round, folder, names, installed, inUse = m_gameFilesInUse] {
            QSet<QString> same = sameSprays(folder, names, installed, *inUse);
            QMetaObject::invokeMethod(qApp, [window, round, same = std::move(same)] {
                if (window && window->m_markRound == round)
                    window->flbFiles->setInstalled(same);
            });
        });
}

QWidget *frmMain::messageOwner()
{
    // Before the window is shown a box owned by it would have nothing to sit on.
    return isVisible() ? this : nullptr;
}

void frmMain::Form_Load()
{
    fillModList();
    if (SettingsStore::read(settings::BeenRun) == u"True")
        return;
    showFirstRunNotice();
}

void frmMain::fillModList()
{
    const std::optional<QStringList> mods = readTextLines(QStringLiteral("mods.txt"));
    if (mods)
        cmbMod->addItems(*mods);
    else
        cmbMod->addItem(QStringLiteral("valve"));
    if (cmbMod->count() > 0)
        cmbMod->setCurrentIndex(0);
}

void frmMain::showFirstRunNotice()
{
    m_platform.messageBox(messageOwner(), firstRunNotice(), MsgBoxStyle::Information,
                          QStringLiteral("Information"));
    // Not saved means the notice comes again next time, which is all a failure costs.
    SettingsStore::save(settings::BeenRun, QStringLiteral("True"));
}

void frmMain::cmdChange_Click()
{
    if (flbFiles->fileName().isEmpty()) {
        m_platform.messageBox(this, QStringLiteral("Please choose a spraypaint."),
                              MsgBoxStyle::Exclamation, QStringLiteral("Tagswap"));
        return;
    }
    // A bare name: the working directory, which is the folder the list shows.
    const QString source = flbFiles->fileName();
    if (!confirmInstall(source))
        return;
    // Not while a comparison reads the game's spray.
    QMutexLocker replacing(m_gameFilesInUse.get());
    const SprayInstallResult result = installSpray({
        source,
        SettingsStore::read(settings::HLDir),
        cmbMod->currentText(),
        flbFiles->directory(),
        replacedSprayFolder(),
        QDateTime::currentDateTime(),
    });
    replacing.unlock();
    if (!result.installed)
        m_platform.messageBox(this, result.error, MsgBoxStyle::Critical, QStringLiteral("Tagswap"));
    else if (!result.warning.isEmpty())
        m_platform.messageBox(this, result.warning, MsgBoxStyle::Exclamation,
                              QStringLiteral("Tagswap"));
}

// A file the game would refuse is installed only when the player insists. One
// that cannot be read at all is left to the copy, which says why.
bool frmMain::confirmInstall(const QString &source)
{
    const SprayDetails details = readSprayDetails(source);
    if (!details.readable || details.refusal.isEmpty())
        return true;
    const QString text = tr("%1 is not a spray the game can show: %2 Install it anyway?")
                             .arg(source, details.refusal);
    return m_platform.question(this, text, QStringLiteral("Tagswap")) == Answer::Yes;
}

void frmMain::cmdExit_Click()
{
    close();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    if (!m_commandLine.isEmpty())
        startGame();
    m_platform.endProgram();
}

void frmMain::startGame()
{
    // Started and left to itself: a game that fails to start is not reported.
    m_platform.startProgram(gameLaunch(SettingsStore::read(settings::HLDir), m_commandLine,
                                       LaunchEnvironment::ofThisSystem()),
                            nullptr);
}

void frmMain::cmdHelp_Click()
{
    m_platform.messageBox(this, helpText(), MsgBoxStyle::Information, QStringLiteral("Help"));
}

void frmMain::cmdAbout_Click()
{
    QString reason;
    const ProgramLaunch viewer = textFileViewer(QStringLiteral("readme.txt"));
    if (m_platform.startProgram(viewer, &reason))
        return;
    m_platform.messageBox(
        this,
        joinLines({tr("Could not start %1 to show readme.txt.").arg(viewer.program),
                   tr("Reason: %1").arg(reason)}),
        MsgBoxStyle::Critical, QStringLiteral("Tagswap"));
}

void frmMain::cmdRefresh_Click()
{
    if (flbFiles->refresh())
        return;
    m_platform.messageBox(this,
                          tr("The folder %1 cannot be read any more.")
                              .arg(QDir::toNativeSeparators(flbFiles->directory())),
                          MsgBoxStyle::Critical, QStringLiteral("Tagswap"));
}

void frmMain::cmdSettings_Click()
{
    // Made afresh at every opening, so it always starts from what is stored.
    frmSettings settings(m_platform, this);
    settings.Form_Load();
    settings.exec();
}

void frmMain::keyPressEvent(QKeyEvent *event)
{
    // Enter that no other button took presses Change, the window's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        cmdChange->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace tagswap
