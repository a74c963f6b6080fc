// Replacing files whole or not at all: one, or several as one step (the game
// reads a spray under two names).
#include "file_replace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace tagswap {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("FileReplace", text);
}

// The name exactly as QFile would hand it to the system.
std::filesystem::path fsPath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString describe(const std::error_code &code)
{
    return QString::fromLocal8Bit(code.message());
}

// One destination's new contents, complete beside it before anything is renamed.
// QSaveFile writes them to a file without a name where the system allows it, so
// not even a kill leaves a temporary file behind.
struct Pending {
    QString destination;
    QString actual; // the file the destination names, through a link
    std::unique_ptr<QSaveFile> file;
    QString backup; // a second name for the old file while the step runs
    bool placed = false;
};

bool fail(QString *failed, QString *error, const QString &destination, const QString &reason)
{
    if (failed)
        *failed = destination;
    if (error)
        *error = reason;
    return false;
}

// A full disk or a size limit first shows as a short write with no error set;
// writing on brings the error that names the cause.
bool writeAll(QSaveFile &out, const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 written = out.write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Copies the source into one pending file after the other, so that a disk that
// fills names the first file that did not fit.
bool copyInto(QFile &in, std::vector<Pending> &all, QString *failed, QString *error)
{
    char chunk[64 * 1024];
    for (Pending &p : all) {
        p.file = std::make_unique<QSaveFile>(p.destination);
        // Unbuffered: a buffered QSaveFile of Qt 6.4 reports a commit as done
        // when the final flush found the disk full, and leaves an empty file.
        if (!p.file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return fail(failed, error, p.destination, p.file->errorString());
        if (!in.seek(0))
            return fail(failed, error, p.destination, in.errorString());
        for (;;) {
            const qint64 got = in.read(chunk, sizeof chunk);
            if (got < 0)
                return fail(failed, error, p.destination, in.errorString());
            if (got == 0)
                break;
            if (!writeAll(*p.file, chunk, got))
                return fail(failed, error, p.destination, p.file->errorString());
        }
    }
    return true;
}

// QSaveFile replaces the file a link points to, not the link; so is the old file kept.
QString linkedFile(const QString &path)
{
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : QString();
    return target.isEmpty() ? path : target;
}

#ifdef Q_OS_WIN
// A link shares the file's locks: while another program holds the old file
// open, its second name could not be removed again.
constexpr bool kKeepOldNameAsLink = false;
#else
constexpr bool kKeepOldNameAsLink = true;
#endif

// A second name for the old file, so it can be put back if a later rename fails.
bool keepOldName(Pending &p, std::error_code &code)
{
    if (!QFileInfo::exists(p.actual))
        return true;
    const QFileInfo target(p.actual);
    const QString stem = target.dir().filePath(QStringLiteral(".%1.old").arg(target.fileName()));
    for (int attempt = 0; attempt < 16; ++attempt) {
        p.backup = stem + QString::number(attempt);
        if (kKeepOldNameAsLink)
            std::filesystem::create_hard_link(fsPath(p.actual), fsPath(p.backup), code);
        else
            std::filesystem::copy_file(fsPath(p.actual), fsPath(p.backup), code);
        if (!code)
            return true;
        if (code != std::errc::file_exists)
            break;
    }
    // Some file systems (FAT on an SD card) have no links: a copy serves as well.
    code.clear();
    if (std::filesystem::copy_file(fsPath(p.actual), fsPath(p.backup), code))
        return true;
    p.backup.clear();
    return false;
}

// Puts back what the step replaced, once a later file could not be placed.
void putBack(std::vector<Pending> &all)
{
    std::error_code ignored;
    for (Pending &p : all) {
        if (!p.placed)
            continue;
        if (!p.backup.isEmpty())
            std::filesystem::rename(fsPath(p.backup), fsPath(p.actual), ignored);
        else
            std::filesystem::remove(fsPath(p.actual), ignored);
        p.backup.clear();
    }
}

void removeLeftovers(std::vector<Pending> &all)
{
    std::error_code ignored;
    for (Pending &p : all) {
        if (!p.backup.isEmpty())
            std::filesystem::remove(fsPath(p.backup), ignored);
        if (p.file && !p.placed)
            p.file->cancelWriting();
    }
}

bool placeAll(std::vector<Pending> &all, QString *failed, QString *error)
{
    // Every file but the last may need putting back; the backups come first,
    // while nothing is replaced yet.
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        if (std::error_code code; !keepOldName(all[i], code))
            return fail(failed, error, all[i].destination, describe(code));
    }
    for (Pending &p : all) {
        if (!p.file->commit())
            return fail(failed, error, p.destination, p.file->errorString());
        p.placed = true;
    }
    return true;
}

} // namespace

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool replaceWithCopy(const QString &source, const QString &destination, QString *error)
{
    return replaceAllWithCopy(source, {destination}, nullptr, error);
}

bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile out(path);
    // Unbuffered, as above.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = out.errorString();
        return false;
    }
    if (!writeAll(out, bytes.constData(), bytes.size())) {
        *error = out.errorString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

bool replaceAllWithCopy(const QString &source, const QStringList &destinations, QString *failed,
                        QString *error)
{
    if (destinations.isEmpty())
        return true;
    // Reading a folder or a pipe would fail late or never end.
    if (QFileInfo::exists(source) && !isExistingFile(source))
        return fail(failed, error, destinations.front(), tr("%1 is not a file.").arg(source));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(failed, error, destinations.front(), in.errorString());

    std::vector<Pending> all(destinations.size());
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        all[i].destination = destinations[i];
        all[i].actual = linkedFile(destinations[i]);
    }
    bool done = copyInto(in, all, failed, error);
    // The source may be one of the destinations, and Windows renames nothing over an open file.
    in.close();
    done = done && placeAll(all, failed, error);
    if (!done)
        putBack(all);
    removeLeftovers(all);
    return done;
}

} // namespace tagswap
