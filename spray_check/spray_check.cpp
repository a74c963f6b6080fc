#include "spray_check.h"

#include "config_settings.h"
#include "decal_file.h"
#include "file_replace.h"
#include "folder_listing.h"
#include "game_paths.h"
#include "replaced_sprays.h"
#include "spray_install.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace tagswap {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SprayCheck", text);
}

const QString kUpload = QStringLiteral("cl_allowupload");
const QString kDownload = QStringLiteral("cl_allowdownload");

// A spray file of the mod as far as a check needs it: no spray is larger.
struct SprayFileRead {
    QString name;
    bool exists = false;
    QByteArray bytes;
    qint64 size = 0;
    QString error; // it is there but could not be read
};

SprayFileRead readSprayFile(const QString &path)
{
    SprayFileRead read;
    read.name = QFileInfo(path).fileName();
    if (!isExistingFile(path))
        return read;
    read.exists = true;
    read.size = QFileInfo(path).size();
    // A larger file is no spray, which its size alone tells the judge.
    const WholeFile file = readWholeFile(path, kMaxKeptSprayBytes);
    read.bytes = file.bytes;
    read.error = file.error;
    return read;
}

// What every check looks at, read once.
struct Mod {
    const SprayCheckRequest &request;
    QString folder;
    bool there = false;
    SprayFileRead tempdecal;
    SprayFileRead pldecal;
};

Mod readMod(const SprayCheckRequest &request)
{
    Mod mod{request, request.gameDirectory + QDir::separator() + request.mod, false, {}, {}};
    mod.there = isModFolderName(request.mod) && QFileInfo(mod.folder).isDir();
    if (!mod.there)
        return mod;
    const auto path = [&](SprayFile file) {
        return sprayDestination(request.gameDirectory, request.mod, file);
    };
    mod.tempdecal = readSprayFile(path(SprayFile::TempDecal));
    mod.pldecal = readSprayFile(path(SprayFile::PlDecal));
    return mod;
}

CheckOutcome passed(SprayCheck check, const QString &detail)
{
    return {check, CheckResult::Passed, detail};
}

CheckOutcome failed(SprayCheck check, const QString &detail)
{
    return {check, CheckResult::Failed, detail};
}

CheckOutcome unknown(SprayCheck check, const QString &detail)
{
    return {check, CheckResult::Unknown, detail};
}

// Every check but the running game's needs the mod's folder.
CheckOutcome withoutModFolder(SprayCheck check, const Mod &mod)
{
    return unknown(check, tr("There is no folder %1 to look in.").arg(mod.request.mod));
}

CheckOutcome unreadable(SprayCheck check, const SprayFileRead &file)
{
    return unknown(check, tr("%1 cannot be read: %2.").arg(file.name, file.error));
}

QString describe(const QByteArray &bytes)
{
    const std::optional<decal::Decal> spray = decal::decode(bytes);
    if (!spray)
        return {};
    return tr("%1 × %2, %3")
        .arg(spray->width)
        .arg(spray->height)
        .arg(spray->isColourSpray() ? tr("colour") : tr("one-colour"));
}

CheckOutcome installed(const Mod &mod)
{
    constexpr SprayCheck kCheck = SprayCheck::Installed;
    const QString &name = mod.request.mod;
    if (!isModFolderName(name))
        return failed(kCheck, notModFolderName(name));
    if (!mod.there)
        return failed(kCheck,
                      tr("The game folder has no folder %1. Choose a mod the game has.").arg(name));
    const SprayFileRead &spray = mod.tempdecal.exists ? mod.tempdecal : mod.pldecal;
    if (!spray.exists)
        return failed(kCheck, tr("%1 has neither tempdecal.wad nor pldecal.wad. Choose a spray "
                                 "and press Change.")
                                  .arg(name));
    if (!spray.error.isEmpty())
        return unreadable(kCheck, spray);
    if (const QString refusal = decal::gameRefusal(spray.bytes, spray.size); !refusal.isEmpty())
        return failed(kCheck, tr("%1 is not a spray the game can show: %2 Choose another spray "
                                 "and press Change.")
                                  .arg(spray.name, refusal));
    if (!mod.tempdecal.exists)
        return passed(kCheck, tr("pldecal.wad is a spray the original release takes (%1); today's "
                                 "game reads tempdecal.wad, which is not there.")
                                  .arg(describe(spray.bytes)));
    return passed(kCheck,
                  tr("tempdecal.wad is a spray the game takes: %1.").arg(describe(spray.bytes)));
}

bool sameBytes(const SprayFileRead &a, const SprayFileRead &b)
{
    return a.size == b.size && a.bytes.size() == a.size && a.bytes == b.bytes;
}

// The spray folder's file with exactly these bytes, the first by name; empty when none has them.
QString sprayHolding(const QString &sprayFolder, const QByteArray &bytes)
{
    if (sprayFolder.isEmpty())
        return {};
    QStringList names = filesWithSuffix(sprayFolder, u".wad");
    std::sort(names.begin(), names.end());
    return namesWithBytes(sprayFolder, names, bytes, 1).value(0);
}

CheckOutcome notReplaced(const Mod &mod)
{
    constexpr SprayCheck kCheck = SprayCheck::NotReplaced;
    if (!mod.there)
        return withoutModFolder(kCheck, mod);
    if (!mod.tempdecal.exists && !mod.pldecal.exists)
        return unknown(kCheck, tr("There is no spray to compare."));
    if (!mod.tempdecal.exists || !mod.pldecal.exists)
        return passed(kCheck,
                      tr("Only %1 is there, so there is nothing to compare it with.")
                          .arg(mod.tempdecal.exists ? mod.tempdecal.name : mod.pldecal.name));
    for (const SprayFileRead *file : {&mod.tempdecal, &mod.pldecal}) {
        if (!file->error.isEmpty())
            return unreadable(kCheck, *file);
    }
    if (sameBytes(mod.tempdecal, mod.pldecal))
        return passed(kCheck, tr("tempdecal.wad and pldecal.wad hold the same spray."));
    const QString found = tr("tempdecal.wad differs from pldecal.wad: the game has written its "
                             "own logo over it (OK or Apply in its Multiplayer options)");
    const QString mine = sprayHolding(mod.request.sprayFolder, mod.pldecal.bytes);
    if (mine.isEmpty())
        return failed(kCheck, found + tr(". Choose your spray and press Change to put it back."));
    return failed(kCheck,
                  found
                      + tr("; pldecal.wad still holds %1. Choose %1 and press Change to put it "
                           "back.")
                            .arg(mine));
}

CheckOutcome guarded(const Mod &mod)
{
    constexpr SprayCheck kCheck = SprayCheck::Guarded;
    if (!mod.there)
        return withoutModFolder(kCheck, mod);
    if (!mod.tempdecal.exists)
        return unknown(kCheck, tr("There is no tempdecal.wad to guard."));
    const QString path =
        sprayDestination(mod.request.gameDirectory, mod.request.mod, SprayFile::TempDecal);
    if (isWriteGuarded(path))
        return passed(kCheck, tr("tempdecal.wad is read-only, so the game's Multiplayer options "
                                 "cannot write over it."));
    return failed(kCheck, tr("tempdecal.wad can be written, so the next OK or Apply in the game's "
                             "Multiplayer options replaces it with the game's own logo. Make it "
                             "read-only, as Change does."));
}

struct CvarFinding {
    QString file;
    CvarSetting setting;
};

QString consequence(const CvarFinding &finding)
{
    const bool upload = finding.setting.name.compare(kUpload, Qt::CaseInsensitive) == 0;
    return (upload ? tr("%1 line %2 sets cl_allowupload to \"%3\", so your spray is never sent to "
                        "servers and no one else sees it")
                   : tr("%1 line %2 sets cl_allowdownload to \"%3\", so you see no one's sprays "
                        "and the game caches none"))
        .arg(finding.file)
        .arg(finding.setting.line)
        .arg(finding.setting.value);
}

// One sentence: each setting back to 1, and the lines the game runs at each start gone.
QString advice(const QList<CvarFinding> &findings)
{
    QStringList commands;
    QStringList startFiles;
    for (const CvarFinding &finding : findings) {
        const QString name = finding.setting.name.toLower();
        if (!commands.contains(name + QStringLiteral(" 1")))
            commands << name + QStringLiteral(" 1");
        // The game writes config.cfg itself when it quits, from what the console set.
        if (finding.file != u"config.cfg" && !startFiles.contains(finding.file))
            startFiles << finding.file;
    }
    QString text = tr("Type %1 in the game's console").arg(commands.join(tr(" and ")));
    if (!startFiles.isEmpty())
        text += tr(", and delete those lines from %1, which the game runs at every start")
                    .arg(startFiles.join(tr(" and ")));
    return text + u'.';
}

CheckOutcome uploadsAndDownloads(const Mod &mod)
{
    constexpr SprayCheck kCheck = SprayCheck::UploadsAndDownloads;
    if (!mod.there)
        return withoutModFolder(kCheck, mod);
    QList<CvarFinding> findings;
    QStringList notRead;
    for (const QString &file : {QStringLiteral("config.cfg"), QStringLiteral("userconfig.cfg"),
                                QStringLiteral("autoexec.cfg")}) {
        const ConfigSettings read =
            readCvarSettings(QDir(mod.folder).filePath(file), {kUpload, kDownload});
        if (!read.error.isEmpty())
            notRead << tr("%1 cannot be read").arg(file);
        else if (read.cutShort)
            notRead
                << tr("%1 is longer than Tagswap reads (32,767 lines of 1,024 bytes)").arg(file);
        for (const CvarSetting &setting : read.settings) {
            if (readsAsZero(setting.value))
                findings.append({file, setting});
        }
    }
    if (!findings.isEmpty()) {
        QStringList found;
        for (const CvarFinding &finding : std::as_const(findings))
            found << consequence(finding);
        return failed(kCheck,
                      found.join(QStringLiteral("; ")) + QStringLiteral(". ") + advice(findings));
    }
    if (!notRead.isEmpty())
        return unknown(kCheck, notRead.join(QStringLiteral("; ")) + u'.');
    return passed(kCheck, tr("No line of config.cfg, userconfig.cfg or autoexec.cfg turns "
                             "uploads or downloads off."));
}

CheckOutcome gameNotRunning(const SprayCheckRequest &request)
{
    constexpr SprayCheck kCheck = SprayCheck::GameNotRunning;
    const RunningPrograms listed = request.runningPrograms(gameProgramNames());
    if (!listed.error.isEmpty())
        return unknown(kCheck, listed.error);
    for (const RunningProgram &program : listed.programs) {
        if (runsFrom(program, request.gameDirectory))
            return failed(kCheck, tr("%1 is running from this game folder (process %2). The game "
                                     "reads the spray when it starts: quit it and start it again.")
                                      .arg(program.name)
                                      .arg(program.pid));
    }
    for (const RunningProgram &program : listed.programs) {
        if (program.path.isEmpty())
            return unknown(kCheck, tr("%1 is running (process %2), but the system does not say "
                                      "from which folder.")
                                       .arg(program.name)
                                       .arg(program.pid));
    }
    return passed(kCheck, tr("The game is not running from this folder."));
}

} // namespace

QString checkName(SprayCheck check)
{
    switch (check) {
    case SprayCheck::Installed:
        return tr("Installed");
    case SprayCheck::NotReplaced:
        return tr("Not replaced by the game");
    case SprayCheck::Guarded:
        return tr("Guarded");
    case SprayCheck::UploadsAndDownloads:
        return tr("Uploads and downloads");
    case SprayCheck::GameNotRunning:
        return tr("Game not running");
    }
    return {};
}

QString checkKey(SprayCheck check)
{
    switch (check) {
    case SprayCheck::Installed:
        return QStringLiteral("installed");
    case SprayCheck::NotReplaced:
        return QStringLiteral("not-replaced");
    case SprayCheck::Guarded:
        return QStringLiteral("guarded");
    case SprayCheck::UploadsAndDownloads:
        return QStringLiteral("uploads-and-downloads");
    case SprayCheck::GameNotRunning:
        return QStringLiteral("game-not-running");
    }
    return {};
}

QList<CheckOutcome> checkSpray(const SprayCheckRequest &request)
{
    const Mod mod = readMod(request);
    return {installed(mod), notReplaced(mod), guarded(mod), uploadsAndDownloads(mod),
            gameNotRunning(request)};
}

bool setSprayGuard(const QString &gameDirectory, const QString &mod, QString *error)
{
    if (!isModFolderName(mod)) {
        *error = notModFolderName(mod);
        return false;
    }
    return setWriteGuard(sprayDestination(gameDirectory, mod, SprayFile::TempDecal), true, error);
}

} // namespace tagswap
