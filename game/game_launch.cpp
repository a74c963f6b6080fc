#include "game_launch.h"

#include "game_paths.h"
#include "steam_search.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tagswap {

namespace {

#ifndef Q_OS_WIN
constexpr QStringView kFlatpakSteam = u"com.valvesoftware.Steam";

// The Steam client's own words first, then the player's, byte for byte.
CommandLine throughSteam(QStringList words, const CommandLine &arguments)
{
    words << QStringLiteral("-applaunch") << kHalfLifeAppId.toString();
    return CommandLine::fromWords(words).followedBy(arguments);
}

bool liesInFlatpakSteam(const QString &gameDirectory, const QString &home)
{
    const QString data =
        QDir(home).filePath(QStringLiteral(".var/app/") + kFlatpakSteam.toString());
    return QDir::cleanPath(gameDirectory).startsWith(data + u'/');
}

bool runsHere(const QString &program)
{
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable();
}
#endif

} // namespace

LaunchEnvironment LaunchEnvironment::ofThisSystem()
{
    return {QDir::homePath(), QStandardPaths::findExecutable(QStringLiteral("steam")),
            QStandardPaths::findExecutable(QStringLiteral("flatpak"))};
}

ProgramLaunch gameLaunch(const QString &gameDirectory, const CommandLine &arguments,
                         const LaunchEnvironment &environment)
{
    ProgramLaunch asBefore{gameExecutable(gameDirectory), arguments, gameDirectory};
#ifdef Q_OS_WIN
    Q_UNUSED(environment);
    return asBefore;
#else
    // A Linux install forced onto the Windows build has a hl.exe that cannot run here.
    if (runsHere(asBefore.program))
        return asBefore;
    if (!environment.flatpakProgram.isEmpty()
        && liesInFlatpakSteam(gameDirectory, environment.home))
        return {environment.flatpakProgram,
                throughSteam({QStringLiteral("run"), kFlatpakSteam.toString()}, arguments),
                {}};
    if (!environment.steamProgram.isEmpty())
        return {environment.steamProgram, throughSteam({}, arguments), {}};
    return {linuxGameScript(gameDirectory), arguments, gameDirectory};
#endif
}

} // namespace tagswap
