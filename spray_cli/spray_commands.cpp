#include "spray_commands.h"

#include "decoder_warnings.h"
#include "file_access.h"
#include "game_paths.h"
#include "game_view.h"
#include "picture_reader.h"
#include "replaced_sprays.h"
#include "seen_sprays.h"
#include "several_mods.h"
#include "spray_check.h"
#include "spray_install.h"
#include "spray_maker.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

// Anything larger is not a spray (decode() says so), so no more is ever read.
constexpr qint64 kMaxSprayRead = 1024 * 1024 + 1;
constexpr int kMaxPreviewScale = 16;

QString tr(const char *text)
{
    return QCoreApplication::translate("tagswap-spray", text);
}

void printTo(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

// The command being run, set where commands are chosen, so that every command's usage
// errors point at its own --help, a command added later's too.
QString commandInUse;

QString programAnd(const QString &rest)
{
    const QString command = commandInUse.isEmpty() ? QString() : commandInUse + u' ';
    return QStringLiteral("tagswap-spray %1%2").arg(command, rest);
}

int usage(const QString &message)
{
    printTo(stderr,
            tr("tagswap-spray: %1 See %2.").arg(message, programAnd(QStringLiteral("--help"))));
    return kSprayUsage;
}

// Qt names the program as it was started, which may be a long path; the help names
// it as players type it.
QString helpOf(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    const QString started = QCoreApplication::arguments().value(0);
    const QString usageLine = QStringLiteral("Usage: ") + started;
    if (!started.isEmpty() && text.startsWith(usageLine))
        text.replace(0, usageLine.size(), QStringLiteral("Usage: tagswap-spray"));
    return text;
}

// One line, whatever a file name or a library message holds.
QString oneLine(const QString &message)
{
    QString line = message;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return line;
}

int failure(const QString &message)
{
    printTo(stderr, tr("tagswap-spray: %1").arg(oneLine(message)));
    return kSprayFailed;
}

// QCommandLineParser::parse() plus --help, which prints and ends the command.
std::optional<int> parseOrAnswer(QCommandLineParser &parser, const QStringList &arguments)
{
    // Qt's own help option offers --help-all for Qt's options, which this program has none of.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("?"), QStringLiteral("help"),
                                   QStringLiteral("help-all")},
                                  tr("Shows this help."));
    parser.addOption(help);
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        printTo(stdout, helpOf(parser));
        return kSprayOk;
    }
    return std::nullopt;
}

// Up to the first full stop or colon, so that it fits a line of the help.
QString firstSentence(const QString &text)
{
    static const QRegularExpression end(QStringLiteral("[.:](\\s|$)"));
    const QRegularExpressionMatch match = end.match(text);
    return match.hasMatch() ? text.left(match.capturedStart()) + u'.' : text;
}

// A command's parser: the command's name comes first, so --help's usage line shows it,
// described by the first sentence of what the command does.
void nameCommand(QCommandLineParser &parser, const QString &command, const QString &about)
{
    parser.setApplicationDescription(about);
    parser.addPositionalArgument(command, firstSentence(about), command);
}

// What follows the command's name.
QStringList operands(const QCommandLineParser &parser)
{
    return parser.positionalArguments().mid(1);
}

std::optional<int> intIn(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

// On failure *error says what is wrong with the file, to follow its name.
std::optional<QByteArray> readSprayFile(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path)) {
        *error = tr("does not exist");
        return std::nullopt;
    }
    if (!QFileInfo(path).isFile()) {
        *error = tr("is not a file");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("cannot be read: %1").arg(file.errorString().left(200));
        return std::nullopt;
    }
    return file.read(kMaxSprayRead);
}

// What stops OUT from being written, before any work is done; empty when nothing does.
QString outputProblem(const QString &out)
{
    const QFileInfo target(out);
    if (target.isDir())
        return tr("%1 is a folder, not a file to write.").arg(out);
    if (!target.dir().exists())
        return tr("%1 cannot be written: the folder %2 does not exist.").arg(out, target.path());
    return {};
}

// IMAGE's name with another suffix, in the current folder.
QString besideHere(const QString &file, const QString &suffix)
{
    return QFileInfo(file).completeBaseName() + suffix;
}

QString kindOf(const decal::Decal &d)
{
    return d.isColourSpray() ? QStringLiteral("colour") : QStringLiteral("one-colour");
}

// --- make ---

struct MakeOptions {
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              tr("Where to write the spray (default: IMAGE's name with .wad, "
                                 "in the current folder)."),
                              tr("OUT.wad")};
    QCommandLineOption size{QStringLiteral("size"),
                            tr("largest (56 blocks, the default), strict (48 blocks, for "
                               "servers with the old limit) or WxH, sides multiples of 16 up "
                               "to 256 (the game takes other sides, but no tool or guide makes "
                               "them)."),
                            tr("SIZE"), QStringLiteral("largest")};
    QCommandLineOption fit{QStringLiteral("fit"),
                           tr("fit (whole image, transparent margins; the default), fill "
                              "(canvas filled, excess cut off) or stretch."),
                           tr("MODE"), QStringLiteral("fit")};
    QCommandLineOption dither{
        QStringLiteral("dither"),
        tr("Dithering from 0 (none) to 1 (full) (default %1).").arg(spray::kDefaultDither), tr("D"),
        QString::number(spray::kDefaultDither)};
    QCommandLineOption threshold{
        QStringLiteral("alpha-threshold"),
        tr("Pixels less opaque than N percent become transparent (default %1).")
            .arg(spray::kDefaultAlphaThresholdPercent),
        tr("N"), QString::number(spray::kDefaultAlphaThresholdPercent)};
    QCommandLineOption frame{QStringLiteral("frame"),
                             tr("The frame of an animated image, counting from 1 (default 1)."),
                             tr("N"), QStringLiteral("1")};
    QCommandLineOption oneColour{
        {QStringLiteral("one-colour"), QStringLiteral("one-color")},
        tr("A one-colour logo in this colour, from the image's alpha or darkness (default: "
           "a colour spray)."),
        tr("RRGGBB")};
    QCommandLineOption scaler{QStringLiteral("scaler"),
                              tr("How a picture smaller than the spray is enlarged: smooth, "
                                 "sharp (each pixel a block, for pixel art and icons) or auto "
                                 "(sharp when enlarged 2x or more with at most 256 colours; the "
                                 "default)."),
                              tr("SCALER"), QStringLiteral("auto")};
    QCommandLineOption gameGamma{QStringLiteral("game-gamma"),
                                 tr("Darken the colours by the game's gamma, so that the spray "
                                    "looks in the game as the picture does (default: off).")};
    QCommandLineOption force{QStringLiteral("force"),
                             tr("Replace OUT.wad if it exists (default: off).")};
};

std::optional<spray::SprayOptions> sprayOptions(const QCommandLineParser &parser,
                                                const MakeOptions &o, QString *error)
{
    spray::SprayOptions options;
    const auto size = spray::parseSizeChoice(parser.value(o.size), error);
    const auto fit = size ? spray::parseFit(parser.value(o.fit), error) : std::nullopt;
    const auto scaler = fit ? spray::parseScaler(parser.value(o.scaler), error) : std::nullopt;
    if (!size || !fit || !scaler)
        return std::nullopt;
    options.size = *size;
    options.fit = *fit;
    options.scaler = *scaler;
    options.gameGamma = parser.isSet(o.gameGamma);
    bool ditherOk = false;
    options.dither = parser.value(o.dither).toDouble(&ditherOk);
    const auto threshold = intIn(parser.value(o.threshold), 0, 100);
    const auto frame = intIn(parser.value(o.frame), 1, spray::kMaxFrame + 1);
    if (!ditherOk || options.dither < 0 || options.dither > 1)
        *error = tr("--dither takes a number from 0 to 1.");
    else if (!threshold)
        *error = tr("--alpha-threshold takes a percentage from 0 to 100.");
    else if (!frame)
        *error = tr("--frame takes a frame number from 1.");
    if (!error->isEmpty())
        return std::nullopt;
    options.alphaThresholdPercent = *threshold;
    options.frame = *frame - 1;
    if (parser.isSet(o.oneColour)) {
        options.oneColour = spray::parseInk(parser.value(o.oneColour), error);
        if (!options.oneColour)
            return std::nullopt;
    }
    return options;
}

// What make takes besides --force, which install takes too.
QList<QCommandLineOption> pictureOptions(const MakeOptions &o)
{
    return {o.output, o.size,      o.fit,    o.dither,   o.threshold,
            o.frame,  o.oneColour, o.scaler, o.gameGamma};
}

QString outputFor(const QCommandLineParser &parser, const MakeOptions &o, const QString &image)
{
    return parser.isSet(o.output) ? parser.value(o.output)
                                  : besideHere(image, QStringLiteral(".wad"));
}

struct MadeSpray {
    decal::Decal spray;
    QByteArray bytes;
};

// The maker names a picture by its file name, as its window shows it; here the
// player typed a path, and is answered in it (../x.png, not x.png).
QString namedAsGiven(const QString &message, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const QChar after = message.size() > name.size() ? message.at(name.size()) : QChar();
    if (name == path || !message.startsWith(name) || (after != u' ' && after != u':'))
        return message;
    return path + message.mid(name.size());
}

std::optional<MadeSpray> sprayFrom(const QString &image, const spray::SprayOptions &options,
                                   QString *error)
{
    // The decoders would call it an unknown format.
    if (const QFileInfo file(image); file.isFile() && file.size() == 0) {
        *error = tr("%1 is empty.").arg(image);
        return std::nullopt;
    }
    const std::optional<decal::Decal> made = spray::makeSprayFromFile(image, options, error);
    if (!made) {
        *error = namedAsGiven(*error, image);
        return std::nullopt;
    }
    const QByteArray bytes = spray::sprayFileBytes(*made, error);
    if (bytes.isEmpty())
        return std::nullopt;
    return MadeSpray{*made, bytes};
}

QString summary(const MadeSpray &made)
{
    return tr("%1x%2 %3, %4 bytes")
        .arg(made.spray.width)
        .arg(made.spray.height)
        .arg(kindOf(made.spray))
        .arg(made.bytes.size());
}

int make(const QStringList &arguments)
{
    QCommandLineParser parser;
    nameCommand(parser, QStringLiteral("make"),
                tr("Makes a spray the game accepts from an image."));
    parser.addPositionalArgument(QStringLiteral("IMAGE"),
                                 tr("PNG, JPEG, GIF, BMP, WebP, TIFF, TGA or SVG."));
    const MakeOptions o;
    parser.addOptions(pictureOptions(o));
    parser.addOption(o.force);
    if (const auto answered = parseOrAnswer(parser, arguments))
        return *answered;
    if (operands(parser).size() != 1)
        return usage(tr("make takes exactly one IMAGE."));
    QString error;
    const auto options = sprayOptions(parser, o, &error);
    if (!options)
        return usage(error);

    const QString image = operands(parser).constFirst();
    const QString out = outputFor(parser, o, image);
    if (const QString problem = outputProblem(out); !problem.isEmpty())
        return failure(problem);
    if (QFileInfo::exists(out) && !parser.isSet(o.force))
        return failure(tr("%1 already exists; --force replaces it.").arg(out));
    const auto made = sprayFrom(image, *options, &error);
    if (!made)
        return failure(error);
    if (!spray::writeWhole(out, made->bytes, &error))
        return failure(namedAsGiven(error, out));
    printTo(stdout, QStringLiteral("%1: %2").arg(out, summary(*made)));
    return kSprayOk;
}

// --- info ---

struct FileReport {
    QString path;
    std::optional<decal::Decal> spray;
    qint64 bytes = 0;
    QString problem; // empty: the game takes it
    bool readable = false;
};

FileReport report(const QString &path)
{
    FileReport r{path, std::nullopt, 0, {}, false};
    QString error;
    const auto bytes = readSprayFile(path, &error);
    if (!bytes) {
        r.problem = error;
        return r;
    }
    r.readable = true;
    r.bytes = QFileInfo(path).size();
    r.spray = decal::decode(*bytes, &error);
    r.problem = decal::gameRefusal(*bytes, r.bytes);
    return r;
}

QString reportLine(const FileReport &r)
{
    const QString verdict = r.problem.isEmpty() ? QStringLiteral("ok") : r.problem;
    if (!r.spray)
        return QStringLiteral("%1: %2").arg(r.path, verdict);
    return QStringLiteral("%1: %2x%3 %4, %5 bytes, %6")
        .arg(r.path)
        .arg(r.spray->width)
        .arg(r.spray->height)
        .arg(kindOf(*r.spray))
        .arg(r.bytes)
        .arg(verdict);
}

QJsonObject reportJson(const FileReport &r)
{
    QJsonObject o{{QStringLiteral("file"), r.path}, {QStringLiteral("ok"), r.problem.isEmpty()}};
    if (!r.problem.isEmpty())
        o.insert(QStringLiteral("problem"), r.problem);
    if (r.spray) {
        o.insert(QStringLiteral("width"), r.spray->width);
        o.insert(QStringLiteral("height"), r.spray->height);
        o.insert(QStringLiteral("kind"), kindOf(*r.spray));
        o.insert(QStringLiteral("bytes"), r.bytes);
    }
    return o;
}

int info(const QStringList &arguments)
{
    QCommandLineParser parser;
    nameCommand(parser, QStringLiteral("info"),
                tr("Says of each spray file its size, kind and bytes, and whether the game takes "
                   "it. Exits with 1 when it would refuse any of them."));
    parser.addPositionalArgument(QStringLiteral("FILE"), tr("Spray files (.wad)."),
                                 QStringLiteral("FILE..."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  tr("One JSON array, for scripts (default: off)."));
    parser.addOption(json);
    if (const auto answered = parseOrAnswer(parser, arguments))
        return *answered;
    if (operands(parser).isEmpty())
        return usage(tr("info takes at least one FILE."));
    // One file that cannot be read is a failure like any other command's: one line.
    if (const FileReport r = report(operands(parser).constFirst());
        operands(parser).size() == 1 && !r.readable && !parser.isSet(json))
        return failure(QStringLiteral("%1 %2.").arg(r.path, r.problem));
    QJsonArray all;
    int refused = 0;
    for (const QString &path : operands(parser)) {
        const FileReport r = report(path);
        refused += r.problem.isEmpty() ? 0 : 1;
        if (parser.isSet(json))
            all.append(reportJson(r));
        else
            printTo(stdout, reportLine(r));
    }
    if (parser.isSet(json))
        printTo(stdout,
                QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented)).trimmed());
    if (refused == 0)
        return kSprayOk;
    return failure(
        tr("the game would refuse %1 of %2 files.").arg(refused).arg(operands(parser).size()));
}

// --- preview ---

int preview(const QStringList &arguments)
{
    QCommandLineParser parser;
    nameCommand(parser, QStringLiteral("preview"),
                tr("Draws a spray as the game shows it: through its gamma, over a plain wall."));
    parser.addPositionalArgument(QStringLiteral("FILE"), tr("A spray file (.wad)."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    tr("The PNG to write (default: FILE's name with .png, in "
                                       "the current folder)."),
                                    tr("OUT.png"));
    const QCommandLineOption scale(QStringLiteral("scale"),
                                   tr("Each spray pixel as NxN pixels (1 to 16, default 1)."),
                                   tr("N"), QStringLiteral("1"));
    const QCommandLineOption noGamma(QStringLiteral("no-gamma"),
                                     tr("The palette as stored, without the game's gamma "
                                        "(default: off)."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   tr("Replace OUT.png if it exists (default: off)."));
    parser.addOptions({output, scale, noGamma, force});
    if (const auto answered = parseOrAnswer(parser, arguments))
        return *answered;
    if (operands(parser).size() != 1)
        return usage(tr("preview takes exactly one FILE."));
    const auto factor = intIn(parser.value(scale), 1, kMaxPreviewScale);
    if (!factor)
        return usage(tr("--scale takes a whole number from 1 to 16."));

    const QString path = operands(parser).constFirst();
    const QString out =
        parser.isSet(output) ? parser.value(output) : besideHere(path, QStringLiteral(".png"));
    if (const QString problem = outputProblem(out); !problem.isEmpty())
        return failure(problem);
    if (QFileInfo::exists(out) && !parser.isSet(force))
        return failure(tr("%1 already exists; --force replaces it.").arg(out));
    QString error;
    const auto bytes = readSprayFile(path, &error);
    if (!bytes)
        return failure(QStringLiteral("%1 %2.").arg(path, error));
    const auto spray = decal::decode(*bytes, &error);
    if (!spray)
        return failure(tr("%1 is not a spray that can be shown: %2").arg(path, error));
    decal::GameView view;
    view.gamma = !parser.isSet(noGamma);
    const QImage shown = decal::renderAsGame(*spray, view);
    const QImage scaled =
        shown.scaled(shown.size() * *factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !scaled.save(&buffer, "PNG")
        || !spray::writeWhole(out, png, &error))
        return failure(error.isEmpty() ? tr("%1 could not be written.").arg(out) : error);
    printTo(stdout, tr("wrote %1, %2x%3 pixels").arg(out).arg(scaled.width()).arg(scaled.height()));
    return kSprayOk;
}

// --- install ---

// A spray file starts as every WAD file does; anything else is taken for a picture.
// A .wad that no image reader knows counts as a damaged spray, so that what is said
// of it is why the game would refuse it.
bool isSprayFile(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.read(3) == "WAD")
        return true;
    if (!path.endsWith(QLatin1String(".wad"), Qt::CaseInsensitive))
        return false;
    const spray::QuietDecoders quiet; // the readers' probes speak on stderr
    return QImageReader::imageFormat(path).isEmpty();
}

// Why no spray can go into GAME, as the Settings dialog judges a game folder.
QString gameFolderProblem(const QString &game)
{
    if (!QFileInfo::exists(game))
        return tr("%1 does not exist.").arg(game);
    if (!tagswap::holdsGameProgram(game))
        return tr("%1 is not a Half-Life folder: %2.")
            .arg(game, tagswap::gameProgramMissing(tr("it")));
    return {};
}

// Why the spray cannot go into MOD of GAME before anything is tried; empty when it can.
QString modFolderProblem(const QString &game, const QString &mod)
{
    const QString modFolder = game + QDir::separator() + mod;
    if (!QFileInfo(modFolder).isDir())
        return tr("%1 does not exist.").arg(modFolder);
    return {};
}

// The picture made into OUT, as make makes it; OUT is added to *wrote unless it held
// that very spray already. Empty, or the failure.
QString makeForInstall(const QString &image, const QString &out, const spray::SprayOptions &options,
                       QStringList *wrote)
{
    if (QString problem = outputProblem(out); !problem.isEmpty())
        return problem;
    QString error;
    const auto made = sprayFrom(image, options, &error);
    if (!made)
        return error;
    if (QFileInfo::exists(out)) {
        QString ignored;
        if (readSprayFile(out, &ignored) == made->bytes)
            return {}; // installed again: nothing to write
        return tr("%1 already exists; -o names another file for the spray.").arg(out);
    }
    if (!spray::writeWhole(out, made->bytes, &error))
        return namedAsGiven(error, out);
    *wrote << out;
    return {};
}

void printInstalled(const QStringList &wrote, const tagswap::SprayInstallResult &result)
{
    for (const QString &file : wrote)
        printTo(stdout, tr("wrote %1").arg(file));
    for (const QString &kept : result.kept)
        printTo(stdout, tr("kept the replaced spray as %1").arg(QDir::toNativeSeparators(kept)));
    if (!result.warning.isEmpty())
        printTo(stderr, tr("tagswap-spray: %1").arg(oneLine(result.warning)));
}

// Each mod once, in the order first named.
QStringList withoutRepeats(const QStringList &mods)
{
    QStringList once;
    for (const QString &mod : mods) {
        if (!once.contains(mod))
            once << mod;
    }
    return once;
}

// Installs PATH into each mod of GAME in turn, saying what was written and kept and,
// on stderr, what failed; returns how many mods failed.
int installIntoMods(const QString &path, const QString &game, const QStringList &mods)
{
    QList<tagswap::ModFolder> folders;
    for (const QString &mod : mods)
        folders.append({game, mod});
    int failed = 0;
    for (const tagswap::ModInstall &done :
         tagswap::installInMods(path, folders, QFileInfo(path).absolutePath(),
                                tagswap::replacedSprayFolder(), QDateTime::currentDateTime())) {
        if (!done.result.installed) {
            failure(done.result.error);
            ++failed;
            continue;
        }
        QStringList wrote;
        for (const auto which : {tagswap::SprayFile::PlDecal, tagswap::SprayFile::TempDecal})
            wrote << tagswap::sprayDestination(game, done.where.mod, which);
        printInstalled(wrote, done.result);
    }
    return failed;
}

int install(const QStringList &arguments)
{
    QCommandLineParser parser;
    nameCommand(parser, QStringLiteral("install"),
                tr("Installs a spray for one or more mods as Tagswap's Change does: as "
                   "tempdecal.wad (made read-only) and pldecal.wad, keeping the sprays it "
                   "replaces in Tagswap's folder of replaced sprays. A picture is made into a "
                   "spray first, as make makes it, with make's options; a file is a spray when "
                   "it starts as WAD files do (or is named .wad and is no picture), else a "
                   "picture. A mod that fails changes nothing there and stops no other; the "
                   "exit status is then 1."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 tr("A spray file (.wad), or a picture to make one from."));
    const QCommandLineOption game(QStringLiteral("game"),
                                  tr("The game folder: Half-Life's or Sven Co-op's (needed)."),
                                  tr("DIR"));
    const QCommandLineOption mod(QStringLiteral("mod"),
                                 tr("A mod's folder name, e.g. valve; repeat it for more mods "
                                    "(this or --every-mod is needed)."),
                                 tr("MOD"));
    const QCommandLineOption everyMod(QStringLiteral("every-mod"),
                                      tr("Every mod folder of DIR the game can run (each holds "
                                         "liblist.gam)."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   tr("Install a file the game would refuse (default: off)."));
    const MakeOptions o;
    parser.addOptions({game, mod, everyMod, force});
    parser.addOptions(pictureOptions(o));
    if (const auto answered = parseOrAnswer(parser, arguments))
        return *answered;
    const QStringList named = parser.values(mod);
    if (operands(parser).size() != 1 || !parser.isSet(game)
        || named.isEmpty() != parser.isSet(everyMod) || named.contains(QString()))
        return usage(tr("install takes one FILE, --game DIR and --mod MOD (repeatable) or "
                        "--every-mod."));
    QString error;
    const auto options = sprayOptions(parser, o, &error);
    if (!options)
        return usage(error);
    // Before the spray is even read: a path in place of a name would write outside the game.
    for (const QString &name : named) {
        if (!tagswap::isModFolderName(name))
            return failure(tagswap::notModFolderName(name));
    }
    const QString gameFolder = parser.value(game);
    if (const QString problem = gameFolderProblem(gameFolder); !problem.isEmpty())
        return failure(problem);
    QStringList mods =
        parser.isSet(everyMod) ? tagswap::runnableMods(gameFolder) : withoutRepeats(named);
    if (mods.isEmpty())
        return failure(tr("%1 has no mod folder with liblist.gam.").arg(gameFolder));
    // A missing mod folder is that mod's failure; with none left, nothing is made.
    int failed = 0;
    mods.removeIf([&](const QString &name) {
        const QString problem = modFolderProblem(gameFolder, name);
        if (problem.isEmpty())
            return false;
        failure(problem);
        ++failed;
        return true;
    });
    if (mods.isEmpty())
        return kSprayFailed;

    const QString file = operands(parser).constFirst();
    if (!QFileInfo::exists(file))
        return failure(tr("%1 does not exist.").arg(file));
    // A pipe or a device would hold the first read forever.
    if (!tagswap::isExistingFile(file))
        return failure(tr("%1 is not a file.").arg(file));
    QString path = file;
    QStringList wrote;
    if (isSprayFile(file)) {
        for (const QCommandLineOption &option : pictureOptions(o)) {
            if (parser.isSet(option))
                return usage(tr("%1 is a spray already; --%2 is for making one from a picture.")
                                 .arg(file, option.names().constLast()));
        }
    } else {
        path = outputFor(parser, o, file);
        if (const QString problem = makeForInstall(file, path, *options, &wrote);
            !problem.isEmpty())
            return failure(problem);
    }
    // The spray made stays: the player is told of it, whatever fails after.
    const auto failureAfterMaking = [&wrote](const QString &why) {
        printInstalled(wrote, {});
        return failure(why);
    };
    const auto bytes = readSprayFile(path, &error);
    if (!bytes)
        return failureAfterMaking(QStringLiteral("%1 %2.").arg(path, error));
    if (const QString refusal = decal::gameRefusal(*bytes, QFileInfo(path).size());
        !refusal.isEmpty() && !parser.isSet(force))
        return failureAfterMaking(
            tr("%1 is not a spray the game can show: %2 --force installs it anyway.")
                .arg(path, refusal));
    printInstalled(wrote, {});
    failed += installIntoMods(path, gameFolder, mods);
    return failed == 0 ? kSprayOk : kSprayFailed;
}

// --- seen ---

struct SeenCaches {
    QString modName;   // empty when PATH named a cache file
    QString modFolder; // where the caches are, with the game's own spray files
    seen::ModCaches caches;
};

SeenCaches readSeenPath(const QString &path)
{
    if (QFileInfo(path).isDir())
        return {QFileInfo(QDir(path).absolutePath()).fileName(), path, seen::readModCaches(path)};
    const seen::CacheReading reading = seen::readCacheFile(path);
    seen::ModCaches caches{{path}, reading.sprays, reading.otherEntries, {}};
    if (!reading.fault.isEmpty())
        caches.faults << QStringLiteral("%1 %2").arg(path, reading.fault);
    return {QString(), QFileInfo(path).path(), caches};
}

QString seenLine(const seen::SeenSpray &spray)
{
    return QStringLiteral("%1  %2x%3 %4, %5 bytes")
        .arg(spray.md5Hex())
        .arg(spray.width)
        .arg(spray.height)
        .arg(spray.colour ? QStringLiteral("colour") : QStringLiteral("one-colour"))
        .arg(spray.bytes.size());
}

QJsonObject seenJson(const seen::SeenSpray &spray, const QString &savedAs)
{
    QJsonObject o{{QStringLiteral("md5"), spray.md5Hex()},
                  {QStringLiteral("width"), spray.width},
                  {QStringLiteral("height"), spray.height},
                  {QStringLiteral("kind"),
                   spray.colour ? QStringLiteral("colour") : QStringLiteral("one-colour")},
                  {QStringLiteral("bytes"), spray.bytes.size()}};
    if (!savedAs.isEmpty())
        o.insert(QStringLiteral("file"), savedAs);
    return o;
}

// Each spray into folder as the window adds them: the file that holds each one
// now into *held and each file written into *written. False on the first failure,
// with its message printed.
bool saveSeen(const QList<seen::SeenSpray> &sprays, const QString &folder, const QString &modFolder,
              QStringList *held, QStringList *written)
{
    if (!QDir().mkpath(folder)) {
        printTo(stderr, tr("tagswap-spray: the folder %1 cannot be made.").arg(folder));
        return false;
    }
    seen::SprayFolder into(folder, tagswap::modSprayFiles(modFolder));
    for (const seen::SeenSpray &spray : sprays) {
        const seen::SaveOutcome outcome = into.save(spray);
        if (!outcome.error.isEmpty()) {
            printTo(stderr, tr("tagswap-spray: %1: %2")
                                .arg(QDir(folder).filePath(seen::seenSprayName(spray)),
                                     oneLine(outcome.error)));
            return false;
        }
        *held << QDir(folder).filePath(outcome.name);
        if (outcome.written)
            *written << held->constLast();
    }
    return true;
}

void printSeen(const seen::ModCaches &caches, const QString &modName, const QStringList &held,
               bool asJson)
{
    if (asJson) {
        QJsonArray all;
        for (qsizetype i = 0; i < caches.sprays.size(); ++i)
            all.append(seenJson(caches.sprays.at(i), held.value(i)));
        printTo(stdout,
                QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    if (caches.files.isEmpty()) {
        printTo(stdout, tr("The game has not cached any sprays for %1 yet.").arg(modName));
        return;
    }
    // A file that could not be read at all has nothing to count.
    if (!caches.faults.isEmpty() && caches.otherEntries == 0 && caches.sprays.isEmpty())
        return;
    for (const seen::SeenSpray &spray : caches.sprays)
        printTo(stdout, seenLine(spray));
    printTo(stdout, tr("%1 sprays, %2 entries that are not sprays")
                        .arg(caches.sprays.size())
                        .arg(caches.otherEntries));
}

int seenCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    nameCommand(parser, QStringLiteral("seen"),
                tr("Lists the sprays the game has cached from the players it met (custom.hpk, "
                   "custom2.hpk), each once. Never changes the cache."));
    parser.addPositionalArgument(QStringLiteral("PATH"), tr("A cache file, or a mod folder."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  tr("One JSON array, for scripts (default: off)."));
    const QCommandLineOption save(QStringLiteral("save"),
                                  tr("Copy each spray into FOLDER (made if missing) as "
                                     "seen-<MD5's first 8 hex digits>.wad (default: no "
                                     "copies)."),
                                  tr("FOLDER"));
    parser.addOptions({json, save});
    if (const auto answered = parseOrAnswer(parser, arguments))
        return *answered;
    if (operands(parser).size() != 1)
        return usage(tr("seen takes exactly one PATH."));

    const SeenCaches found = readSeenPath(operands(parser).constFirst());
    QStringList held;
    QStringList written;
    if (parser.isSet(save)
        && !saveSeen(found.caches.sprays, parser.value(save), found.modFolder, &held, &written))
        return kSprayFailed;
    printSeen(found.caches, found.modName, held, parser.isSet(json));
    if (!parser.isSet(json))
        for (const QString &file : std::as_const(written))
            printTo(stdout, file);
    if (!found.caches.faults.isEmpty())
        return failure(found.caches.faults.join(QStringLiteral("; ")));
    return kSprayOk;
}

// --- check ---

QString resultWord(tagswap::CheckResult result)
{
    switch (result) {
    case tagswap::CheckResult::Passed:
        return QStringLiteral("ok");
    case tagswap::CheckResult::Failed:
        return QStringLiteral("FAIL");
    case tagswap::CheckResult::Unknown:
        break;
    }
    return QStringLiteral("??");
}

QString resultKey(tagswap::CheckResult result)
{
    switch (result) {
    case tagswap::CheckResult::Passed:
        return QStringLiteral("ok");
    case tagswap::CheckResult::Failed:
        return QStringLiteral("fail");
    case tagswap::CheckResult::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

void printChecks(const QList<tagswap::CheckOutcome> &outcomes, bool asJson)
{
    QJsonArray all;
    for (const tagswap::CheckOutcome &outcome : outcomes) {
        if (asJson)
            all.append(QJsonObject{{QStringLiteral("check"), tagswap::checkKey(outcome.check)},
                                   {QStringLiteral("result"), resultKey(outcome.result)},
                                   {QStringLiteral("detail"), outcome.detail}});
        else
            printTo(stdout, QStringLiteral("%1 %2: %3")
                                .arg(resultWord(outcome.result), tagswap::checkName(outcome.check),
                                     oneLine(outcome.detail)));
    }
    if (asJson)
        printTo(stdout,
                QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented)).trimmed());
}

int checkCommand(const QStringList &arguments)
{
    QCommandLineParser parser;
    nameCommand(parser, QStringLiteral("check"),
                tr("Checks why a mod's spray may not show in game: that it is installed and the "
                   "game takes it, that the game has not written its own logo over it, that "
                   "tempdecal.wad is read-only, that no line of the mod's config.cfg, "
                   "userconfig.cfg or autoexec.cfg turns uploads or downloads off, and that the "
                   "game is not running. Names the spray pldecal.wad holds from the sprays in "
                   "the current folder. Only reads. Exits with 1 when a check failed or could "
                   "not be done."));
    const QCommandLineOption game(QStringLiteral("game"), tr("The Half-Life folder (needed)."),
                                  tr("DIR"));
    const QCommandLineOption mod(QStringLiteral("mod"),
                                 tr("The mod's folder name, e.g. valve (needed)."), tr("MOD"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  tr("One JSON array, for scripts (default: off)."));
    parser.addOptions({game, mod, json});
    if (const auto answered = parseOrAnswer(parser, arguments))
        return *answered;
    if (!operands(parser).isEmpty() || !parser.isSet(game) || parser.value(mod).isEmpty())
        return usage(tr("check takes --game DIR and --mod MOD."));
    if (!tagswap::isModFolderName(parser.value(mod)))
        return failure(tagswap::notModFolderName(parser.value(mod)));
    if (const QString problem = gameFolderProblem(parser.value(game)); !problem.isEmpty())
        return failure(problem);

    tagswap::SprayCheckRequest request;
    request.gameDirectory = parser.value(game);
    request.mod = parser.value(mod);
    request.sprayFolder = QDir::currentPath();
    const QList<tagswap::CheckOutcome> outcomes = tagswap::checkSpray(request);
    printChecks(outcomes, parser.isSet(json));
    const auto notPassed = std::count_if(outcomes.cbegin(), outcomes.cend(), [](const auto &o) {
        return o.result != tagswap::CheckResult::Passed;
    });
    if (notPassed == 0)
        return kSprayOk;
    return failure(tr("%1 of %2 checks did not pass.").arg(notPassed).arg(outcomes.size()));
}

} // namespace

int sprayCommand(const QStringList &arguments)
{
    // The maker starting this program as its picture reader: not a command for people.
    if (arguments.value(1) == QLatin1String(spray::kReaderCommand))
        return spray::runPictureReader(arguments.mid(2));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Makes, checks and previews Half-Life spray files.\n\n"
           "Commands:\n"
           "  make IMAGE      make a spray the game accepts from an image\n"
           "  info FILE...    size, kind and bytes of sprays, and whether the game takes them\n"
           "  preview FILE    draw a spray as the game shows it\n"
           "  install FILE    install a spray, or a picture made into one, for mods\n"
           "  seen PATH       the sprays the game has cached from other players\n"
           "  check           why a mod's spray may not show in game\n\n"
           "tagswap-spray COMMAND --help tells more. Exit status: 0 done, 1 failed, 2 wrong "
           "usage."));
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 tr("make, info, preview, install, seen or check"));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption version = parser.addVersionOption();
    // Everything after the command is the command's own, --help included.
    if (const auto answered = parseOrAnswer(parser, arguments))
        return *answered;
    if (parser.isSet(version)) {
        printTo(stdout,
                QStringLiteral("tagswap-spray %1").arg(QCoreApplication::applicationVersion()));
        return kSprayOk;
    }
    if (parser.positionalArguments().isEmpty())
        return usage(tr("a COMMAND is needed."));

    const std::pair<QString, std::function<int(const QStringList &)>> commands[] = {
        {QStringLiteral("make"), make},        {QStringLiteral("info"), info},
        {QStringLiteral("preview"), preview},  {QStringLiteral("install"), install},
        {QStringLiteral("seen"), seenCommand}, {QStringLiteral("check"), checkCommand},
    };
    const QStringList words = parser.positionalArguments();
    const QString &name = words.constFirst();
    for (const auto &[command, run] : commands) {
        if (command == name) {
            commandInUse = command;
            return run(QStringList{arguments.value(0)} + words);
        }
    }
    return usage(tr("there is no command \"%1\".").arg(name.left(40)));
}
