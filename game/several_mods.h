#pragma once

#include "spray_install.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QMutex;

namespace tagswap {

// One spray into several mods, of one game folder or of several games: the
// mod folders there are to choose from, and installing into each as Change does.

struct ModFolder {
    QString gameDirectory; // as stored: paths are built from it unchanged
    QString mod;

    bool operator==(const ModFolder &) const = default;
};

// Whether two mod texts name the same folder: letter case counts, except on Windows.
bool isSameMod(const QString &mod, const QString &other);

// The mod folders of a game folder that the game can run, each holding
// liblist.gam, sorted by name ignoring letter case; none when it cannot be read.
QStringList runnableMods(const QString &gameDirectory);

// What choosing among mods starts from: every runnable mod of the game
// directory (and the chosen mod, when its folder is there, though it lacks
// liblist.gam), then every runnable mod of the other game folders that are not
// the game directory itself.
QList<ModFolder> modsToOffer(const QString &gameDirectory, const QString &chosenMod,
                             const QStringList &otherGames);

struct ModInstall {
    ModFolder where;
    SprayInstallResult result;
};

// Installs source into each mod with installSpray(), one after another, the
// replaced sprays kept as Change keeps them: a failure in one changes nothing
// there and does not stop the others. gameFilesInUse, if any, is held for each
// mod's install, as Change holds it.
QList<ModInstall> installInMods(const QString &source, const QList<ModFolder> &mods,
                                const QString &sprayFolder, const QString &keptFolder,
                                const QDateTime &when, QMutex *gameFilesInUse = nullptr);

} // namespace tagswap
