#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tagswap {

class Platform;

// The settings dialog: the game directory, accepted only when the program of
// Half-Life (hl.exe) or Sven Co-op (svencoop.exe) is in it.
class frmSettings : public QDialog {
    Q_OBJECT
public:
    explicit frmSettings(Platform &platform, QWidget *owner);

    // Shows the stored game directory, or the design text when none is stored.
    void Form_Load();

    QLineEdit *txtHalfLife;
    QLabel *lblHalfLife;
    QPushButton *cmdBrowse;
    QPushButton *cmdOk;

public slots:
    void cmdBrowse_Click();
    void cmdOk_Click();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void placeControls();
    void removeOneTrailingSeparator();
    void rejectDirectory();

    Platform &m_platform;
};

} // namespace tagswap
