#pragma once

#include "command_line.h"

#include <QWidget>

class QComboBox;
class QPushButton;

namespace tagswap {

class FileListBox;
class Platform;

// The main window: the spray list, the mod list and the six buttons.
// Control and procedure names follow the window's design so that each
// behaviour can be found by the control it belongs to.
class frmMain : public QWidget {
    Q_OBJECT
public:
    frmMain(Platform &platform, CommandLine commandLine, QWidget *parent = nullptr);

    // Fills the mod list and shows the first-run notice once per user. Runs
    // before the window is shown.
    void Form_Load();

    FileListBox *flbFiles;
    QPushButton *cmdChange;
    QPushButton *cmdSettings;
    QPushButton *cmdAbout;
    QPushButton *cmdHelp;
    QPushButton *cmdExit;
    QComboBox *cmbMod;
    QPushButton *cmdRefresh;

public slots:
    void cmdChange_Click();
    void cmdExit_Click();
    void cmdHelp_Click();
    void cmdAbout_Click();
    void cmdRefresh_Click();
    void cmdSettings_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void connectControls();
    void fillModList();
    void showFirstRunNotice();
    void Form_Unload();
    void startGame();
    QWidget *messageOwner();

    Platform &m_platform;
    const CommandLine m_commandLine;
};

} // namespace tagswap
