#include "game_paths.h"

#include <QDir>

namespace tagswap {

QString sprayDestination(const QString &gameDirectory, const QString &mod)
{
    return gameDirectory + QDir::separator() + mod + QDir::separator()
           + QStringLiteral("pldecal.wad");
}

QString gameExecutable(const QString &gameDirectory)
{
    return gameDirectory + QDir::separator() + QStringLiteral("hl.exe");
}

QString withoutTrailingSeparator(const QString &text)
{
    return text.endsWith(QDir::separator()) ? text.chopped(1) : text;
}

} // namespace tagswap
