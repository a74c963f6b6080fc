#include "game_paths.h"

#include "file_replace.h"

#include <QDir>

#include <algorithm>

namespace tagswap {

namespace {
QString inGameDirectory(const QString &gameDirectory, QStringView name)
{
    return gameDirectory + QDir::separator() + name.toString();
}

struct GamePrograms {
    QStringView windowsProgram;
    QStringView linuxProgram;
    QStringView linuxScript;
};

GamePrograms programsOf(EngineGame game)
{
    if (game == EngineGame::SvenCoop)
        return {u"svencoop.exe", u"svencoop_linux", u"svencoop.sh"};
    return {u"hl.exe", u"hl_linux", u"hl.sh"};
}

bool holdsProgramOf(const QString &gameDirectory, EngineGame game)
{
    if (isExistingFile(gameExecutable(gameDirectory, game)))
        return true;
#ifdef Q_OS_WIN
    return false;
#else
    return isExistingFile(linuxGameExecutable(gameDirectory, game));
#endif
}
} // namespace

QString sprayFileStem(SprayFile file)
{
    return file == SprayFile::PlDecal ? QStringLiteral("pldecal") : QStringLiteral("tempdecal");
}

QString sprayDestination(const QString &gameDirectory, const QString &mod, SprayFile file)
{
    return gameDirectory + QDir::separator() + mod + QDir::separator() + sprayFileStem(file)
           + QStringLiteral(".wad");
}

QStringList modSprayFiles(const QString &modFolder)
{
    QStringList files;
    if (modFolder.isEmpty())
        return files;
    for (const SprayFile file : {SprayFile::PlDecal, SprayFile::TempDecal})
        files << modFolder + QDir::separator() + sprayFileStem(file) + QStringLiteral(".wad");
    return files;
}

QString sprayDestination(const QString &gameDirectory, const QString &mod)
{
    return sprayDestination(gameDirectory, mod, SprayFile::PlDecal);
}

bool isModFolderName(const QString &mod)
{
#ifdef Q_OS_WIN
    constexpr QStringView kRefused = u"/\\:";
#else
    // A mods.txt written on Windows may hold backslashes.
    constexpr QStringView kRefused = u"/\\";
#endif
    if (mod.isEmpty() || mod == u"." || mod == u"..")
        return false;
    return std::none_of(mod.cbegin(), mod.cend(),
                        [kRefused](QChar c) { return c.isNull() || kRefused.contains(c); });
}

QString notModFolderName(const QString &mod)
{
    return QStringLiteral("%1 is not a mod folder name.").arg(mod);
}

QString installedSprayPath(const QString &gameDirectory, const QString &mod)
{
    if (gameDirectory.isEmpty() || !isModFolderName(mod))
        return {};
    const QString steam = sprayDestination(gameDirectory, mod, SprayFile::TempDecal);
    return isExistingFile(steam) ? steam : sprayDestination(gameDirectory, mod, SprayFile::PlDecal);
}

QString gameExecutable(const QString &gameDirectory, EngineGame game)
{
    return inGameDirectory(gameDirectory, programsOf(game).windowsProgram);
}

QString linuxGameExecutable(const QString &gameDirectory, EngineGame game)
{
    return inGameDirectory(gameDirectory, programsOf(game).linuxProgram);
}

QString linuxGameScript(const QString &gameDirectory, EngineGame game)
{
    return inGameDirectory(gameDirectory, programsOf(game).linuxScript);
}

QString withoutTrailingSeparator(const QString &text)
{
    return text.endsWith(QDir::separator()) ? text.chopped(1) : text;
}

EngineGame gameInFolder(const QString &gameDirectory)
{
    for (const EngineGame game : {EngineGame::HalfLife, EngineGame::SvenCoop}) {
        if (holdsProgramOf(gameDirectory, game))
            return game;
    }
    return EngineGame::None;
}

bool holdsGameProgram(const QString &gameDirectory)
{
    return gameInFolder(gameDirectory) != EngineGame::None;
}

QString gameProgramMissing(const QString &gameDirectory)
{
#ifdef Q_OS_WIN
    return QStringLiteral("hl.exe does not reside in ") + gameDirectory;
#else
    return QStringLiteral("neither hl.exe nor hl_linux resides in ") + gameDirectory;
#endif
}

} // namespace tagswap
