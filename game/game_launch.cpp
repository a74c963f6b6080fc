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

// The mod of the first -game the player gave, as the engine reads it; empty for none.
QString modArgument(const CommandLine &arguments)
{
    const QList<QByteArray> &words = arguments.arguments;
    const qsizetype at = words.indexOf(QByteArrayLiteral("-game"));
    return at >= 0 && at + 1 < words.size() ? QString::fromLocal8Bit(words.at(at + 1)) : QString();
}

// Steam shows the game played and applies its launch options by this app, and
// starts only an app the player owns.
QString steamAppFor(EngineGame game, const CommandLine &arguments)
{
    if (game == EngineGame::SvenCoop)
        return kSvenCoopApp.id.toString();
    return steamAppOfMod(modArgument(arguments)).toString();
}

// The Steam client's own words first, then the player's, byte for byte.
CommandLine throughSteam(QStringList words, const QString &app, const CommandLine &arguments)
{
    words << QStringLiteral("-applaunch") << app;
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
    // A folder that holds neither game's program is started as Half-Life, as always.
    const EngineGame game = gameInFolder(gameDirectory) == EngineGame::SvenCoop
                                ? EngineGame::SvenCoop
                                : EngineGame::HalfLife;
    ProgramLaunch ownProgram{gameExecutable(gameDirectory, game), arguments, gameDirectory};
#ifdef Q_OS_WIN
    Q_UNUSED(environment);
    return ownProgram;
#else
    // A Linux install forced onto the Windows build has a hl.exe that cannot run here.
    if (runsHere(ownProgram.program))
        return ownProgram;
    const QString app = steamAppFor(game, arguments);
    if (!environment.flatpakProgram.isEmpty()
        && liesInFlatpakSteam(gameDirectory, environment.home))
        return {environment.flatpakProgram,
                throughSteam({QStringLiteral("run"), kFlatpakSteam.toString()}, app, arguments),
                {}};
    if (!environment.steamProgram.isEmpty())
        return {environment.steamProgram, throughSteam({}, app, arguments), {}};
    return {linuxGameScript(gameDirectory, game), arguments, gameDirectory};
#endif
}

} // namespace tagswap
