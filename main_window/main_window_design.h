#pragma once

#include <QtCore/qnamespace.h>

class QComboBox;
class QListView;
class QPushButton;
class QWidget;

namespace tagswap {

// The main window as designed, without behaviour: its title, font, size and
// controls at their places. frmMain builds on it, and the start-up benchmark
// measures it alone as the toolkit's floor.
struct MainWindowControls {
    QPushButton *cmdChange;
    QPushButton *cmdSettings;
    QPushButton *cmdAbout;
    QPushButton *cmdHelp;
    QPushButton *cmdExit;
    QComboBox *cmbMod;
    QPushButton *cmdRefresh;
};

// Close and minimise buttons; the window cannot be maximised.
Qt::WindowFlags mainWindowFlags();

// Dresses window and sprayList, makes the other controls and places them all.
MainWindowControls buildMainWindow(QWidget *window, QListView *sprayList);

} // namespace tagswap
