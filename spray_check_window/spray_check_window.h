#pragma once

#include "spray_check.h"

#include <QDialog>

class QGridLayout;
class QLabel;
class QPushButton;

namespace tagswap {

class Platform;

// "Check the spray in game": why the spray of one mod may not show, one row
// per check with its mark and sentence. Check again runs them anew; Set the
// guard, offered while tempdecal.wad is unguarded, does what Change does for
// the guard and nothing else.
class SprayCheckWindow : public QDialog {
    Q_OBJECT
public:
    // An empty gameDirectory: the window only says to set it in Settings first.
    SprayCheckWindow(Platform &platform, SprayCheckRequest request, QWidget *parent = nullptr);

public slots:
    void checkAgain();
    void setGuard();

private:
    struct Row {
        QLabel *mark;
        QLabel *detail;
    };
    void buildControls();
    void addRow(SprayCheck check, QGridLayout *grid);
    void showOutcome(const CheckOutcome &outcome);

    Platform &m_platform;
    SprayCheckRequest m_request;
    QList<Row> m_rows; // in the order of SprayCheck
    QPushButton *m_setGuard = nullptr;
};

// Opens the window beside parent, not modal.
SprayCheckWindow *showSprayCheck(Platform &platform, const QString &gameDirectory,
                                 const QString &mod, const QString &sprayFolder, QWidget *parent);

} // namespace tagswap
