#pragma once

#include "command_line.h"
#include "main_window_design.h"
#include "spray_maker_loader.h"

#include <QMutex>
#include <QWidget>

#include <memory>

namespace tagswap {

class FileListBox;
class Platform;
class SprayListActions;

// The main window: the spray list, the mod list and the six buttons.
// Control and procedure names follow the window's design so that each
// behaviour can be found by the control it belongs to.
class frmMain : public QWidget, public MainWindowControls {
    Q_OBJECT
public:
    frmMain(Platform &platform, CommandLine commandLine, QWidget *parent = nullptr);

    // Fills the mod list and shows the first-run notice once per user. Runs
    // before the window is shown.
    void Form_Load();

    // The spray list; the buttons and the mod list come from MainWindowControls.
    FileListBox *flbFiles;
    // The spray list's context menu, renaming, trash and drops. The spray maker
    // connects to its makeSprayRequested().
    SprayListActions *sprayActions() const { return m_sprayActions; }
    // Where openSprayMaker() looks for the maker's plugin.
    void setSprayMakerFolders(const QStringList &folders) { m_sprayMaker.setFolders(folders); }

public slots:
    void cmdChange_Click();
    // Puts the check mark on the rows that hold the chosen mod's spray.
    void markInstalledSpray();
    void cmdExit_Click();
    void cmdHelp_Click();
    void cmdAbout_Click();
    void cmdRefresh_Click();
    void cmdSettings_Click();
    // The "Make Spray" window, with this image (or none yet), or why it cannot open.
    void openSprayMaker(const QString &imagePath);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void connectControls();
    void fillModList();
    void showFirstRunNotice();
    void Form_Unload();
    void startGame();
    QWidget *messageOwner();
    bool confirmInstall(const QString &source);

    Platform &m_platform;
    const CommandLine m_commandLine;
    SprayListActions *m_sprayActions;
    SprayMakerLoader m_sprayMaker;
    bool m_shownOnce = false;
    // Counts the comparisons started, so that only the latest one marks the list.
    int m_markRound = 0;
    // Held while a comparison reads the game's spray, and by Change: Windows
    // replaces no file that is open. Shared, since a comparison may outlive the window.
    std::shared_ptr<QMutex> m_gameFilesInUse = std::make_shared<QMutex>();
};

} // namespace tagswap
