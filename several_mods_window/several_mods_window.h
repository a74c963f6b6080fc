#pragma once

#include "several_mods.h"

#include <QDialog>
#include <QMutex>

#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tagswap {

class Platform;

// "Install in several mods": a check box for each mod the game can run, of the
// game directory and of the engine's other games on Steam, beside the spray
// that mod has now. Install puts one spray into every checked mod as Change
// does and says in one message what was installed where and what failed.
class SeveralModsWindow : public QDialog {
    Q_OBJECT
public:
    struct Setup {
        QString spray;          // the spray file to install
        QString sprayFolder;    // the player's sprays: the names shown, and kept copies
        QString gameDirectory;  // as stored
        QString chosenMod;      // the main window's, checked at first
        QStringList otherGames; // the engine's other game folders that Steam has
        // Held while a game's spray is read or replaced, as Change holds it.
        std::shared_ptr<QMutex> gameFilesInUse = std::make_shared<QMutex>();
    };

    SeveralModsWindow(Platform &platform, Setup setup, QWidget *parent = nullptr);

public slots:
    void install();

signals:
    // The spray of at least one mod was replaced.
    void installed();

private:
    void buildControls();
    QWidget *buildRows();
    QString rowName(const ModFolder &where) const;
    QList<ModFolder> checkedMods() const;
    void showSpraysNow();
    bool confirmSpray();
    QString summary(const QList<ModInstall> &done) const;

    Platform &m_platform;
    Setup m_setup;
    QList<ModFolder> m_mods;
    QList<QCheckBox *> m_checks;
    QList<QLabel *> m_spraysNow;
    QPushButton *m_install = nullptr;
    // Counts the readings started, so that only the latest one fills the rows.
    int m_readRound = 0;
};

// Opens the window beside parent, not modal.
SeveralModsWindow *showSeveralMods(Platform &platform, SeveralModsWindow::Setup setup,
                                   QWidget *parent);

} // namespace tagswap
