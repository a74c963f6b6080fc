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
    // Where the new file is committed first when it cannot be written in place
    // (see needsStaging()); then renamed over the destination. Empty otherwise.
    QString staged;
    std::unique_ptr<QSaveFile> file;
    QString backup;          // a second name for the old file (or link) while the step runs
    bool movedAside = false; // the backup is the old link itself, moved off the destination
    bool readOnly = false;   // the player's read-only file: the new one is made read-only too
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
// writing on brings the error that names the cause. A write that takes nothing
// and says nothing is tried again a few times, then reported as such rather
// than as an unknown error.
bool writeAll(QSaveFile &out, const char *data, qint64 size, QString *error)
{
    constexpr int kMostIdleWrites = 8;
    for (int idle = 0; size > 0;) {
        const qint64 written = out.write(data, size);
        if (written < 0) {
            *error = out.errorString();
            return false;
        }
        if (written == 0 && ++idle == kMostIdleWrites) {
            *error = tr("The system took none of the bytes and gave no reason.");
            return false;
        }
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
        if (std::error_code ignored; !p.staged.isEmpty())
            std::filesystem::remove(fsPath(p.staged), ignored); // a crash's leftover
        p.file = std::make_unique<QSaveFile>(p.staged.isEmpty() ? p.destination : p.staged);
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
            if (QString reason; !writeAll(*p.file, chunk, got, &reason))
                return fail(failed, error, p.destination, reason);
        }
    }
    return true;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// ".<name><suffix>" beside path: hidden, and on the same file system, so a rename is one step.
QString besideName(const QString &path, const QString &suffix)
{
    const QFileInfo info(path);
    return info.dir().filePath(u'.' + info.fileName() + suffix);
}

#ifdef Q_OS_WIN
// A link shares the file's locks: while another program holds the old file
// open, its second name could not be removed again.
constexpr bool kKeepOldNameAsLink = false;
// Windows renames nothing over a read-only file.
constexpr bool kRenameIgnoresMode = false;
// MinGW's library cannot copy a symbolic link, and making one needs a
// privilege; a link is moved aside instead, and moved back if need be.
constexpr bool kCopiesLinks = false;
#else
constexpr bool kKeepOldNameAsLink = true;
constexpr bool kRenameIgnoresMode = true;
constexpr bool kCopiesLinks = true;
#endif

// QSaveFile writes through a link into the file it names, and refuses a file
// without write permission although the rename it ends with would not. Such a
// destination is written beside and renamed over, which replaces the link
// itself and leaves the other names of a linked file their bytes and mode.
bool needsStaging(const Pending &p)
{
    return p.readOnly || QFileInfo(p.destination).isSymbolicLink();
}

// Windows renames nothing over a read-only file, so there the attribute comes
// off just before the renames and goes back on afterwards (restoreReadOnly()).
// The attribute is the file's, so a file with other names (hard links) loses it
// under those too. Elsewhere the rename ignores the old file's mode and it is
// never touched: a mode change would reach the file's other names.
bool liftReadOnly(const std::vector<Pending> &all, QString *failed, QString *error)
{
    for (const Pending &p : all) {
        if (QString reason;
            !kRenameIgnoresMode && p.readOnly && !setWriteGuard(p.destination, false, &reason))
            return fail(failed, error, p.destination, reason);
    }
    return true;
}

// Whatever each read-only destination holds now, new file or old, is read-only
// again. A failure leaves the file writable, which loses nothing.
void restoreReadOnly(const std::vector<Pending> &all)
{
    for (const Pending &p : all) {
        if (QString ignored; p.readOnly)
            setWriteGuard(p.destination, true, &ignored);
    }
}

// Backups outlive their step only when it was cut short: by a crash, or by a
// put-back that failed and was reported. They are cleared rather than counted as
// taken, so that no number of them blocks a later step; whoever needs what they
// hold keeps it first (leftoverBackups()).
constexpr int kBackupNames = 16;

void clearLeftoverBackups(const QString &stem)
{
    std::error_code ignored;
    for (int n = 0; n < kBackupNames; ++n)
        std::filesystem::remove(fsPath(stem + QString::number(n)), ignored);
}

// Made where nothing is, so that putting it back restores exactly what was there.
bool makeSecondName(Pending &p, const QString &name, std::error_code &code)
{
    const QString &path = p.destination;
    if (QFileInfo(path).isSymbolicLink() && !kCopiesLinks) {
        std::filesystem::rename(fsPath(path), fsPath(name), code);
        p.movedAside = !code;
        return !code;
    }
    if (QFileInfo(path).isSymbolicLink()) {
        std::filesystem::copy_symlink(fsPath(path), fsPath(name), code);
        return !code;
    }
    if (kKeepOldNameAsLink) {
        std::filesystem::create_hard_link(fsPath(path), fsPath(name), code);
        if (!code)
            return true;
    }
    // Some file systems (FAT on an SD card) have no links: a copy serves as well.
    code.clear();
    return std::filesystem::copy_file(fsPath(path), fsPath(name), code);
}

// A second name for the old file, so it can be put back if a later rename fails.
bool keepOldName(Pending &p, std::error_code &code)
{
    if (!isTaken(p.destination))
        return true;
    const QString stem = besideName(p.destination, QStringLiteral(".old"));
    clearLeftoverBackups(stem);
    for (int n = 0; n < kBackupNames; ++n) {
        const QString name = stem + QString::number(n);
        // What could not be cleared (a folder with files in it) is passed over.
        if (isTaken(name))
            continue;
        if (!makeSecondName(p, name, code))
            return false;
        p.backup = name;
        return true;
    }
    code = std::make_error_code(std::errc::file_exists);
    return false;
}

// Puts one file back; what cannot be put back is said, with where its old one is.
QString putBackOne(Pending &p)
{
    std::error_code code;
    if (!p.backup.isEmpty())
        std::filesystem::rename(fsPath(p.backup), fsPath(p.destination), code);
    else
        std::filesystem::remove(fsPath(p.destination), code);
    if (!code)
        return {};
    if (p.backup.isEmpty())
        return tr("%1 could not be removed again (%2): it holds the new copy where there was no "
                  "file before.")
            .arg(shown(p.destination), describe(code));
    return tr("%1 could not be put back (%2): it holds the new copy, and its old file is kept "
              "as %3.")
        .arg(shown(p.destination), describe(code), shown(p.backup));
}

// Puts back what the step replaced, once a later file could not be placed.
// Returns what could not be put back, in words; a backup still needed stays.
QString putBack(std::vector<Pending> &all, QStringList *leftReplaced)
{
    QStringList notPutBack;
    for (Pending &p : all) {
        if (!p.placed && !p.movedAside)
            continue;
        if (const QString said = putBackOne(p); !said.isEmpty()) {
            notPutBack << said;
            if (leftReplaced)
                *leftReplaced << p.destination;
        }
        p.backup.clear();
    }
    return notPutBack.join(u' ');
}

void removeLeftovers(std::vector<Pending> &all)
{
    std::error_code ignored;
    for (Pending &p : all) {
        if (!p.backup.isEmpty())
            std::filesystem::remove(fsPath(p.backup), ignored);
        if (p.file && !p.placed)
            p.file->cancelWriting();
        if (!p.staged.isEmpty() && !p.placed)
            std::filesystem::remove(fsPath(p.staged), ignored);
    }
}

// A staged file is committed beside its destination and then renamed over it.
bool place(Pending &p, QString *reason)
{
    if (!p.file->commit()) {
        *reason = p.file->errorString();
        return false;
    }
    if (std::error_code code; !p.staged.isEmpty()) {
        std::filesystem::rename(fsPath(p.staged), fsPath(p.destination), code);
        if (code) {
            *reason = describe(code);
            return false;
        }
    }
    p.placed = true;
    return true;
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
        if (QString reason; !place(p, &reason))
            return fail(failed, error, p.destination, reason);
    }
    return true;
}

} // namespace

QStringList leftoverBackups(const QString &destination)
{
    const QString stem = besideName(destination, QStringLiteral(".old"));
    QStringList found;
    for (int n = 0; n < kBackupNames; ++n) {
        if (const QString name = stem + QString::number(n); isTaken(name))
            found << name;
    }
    return found;
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
    if (!writeAll(out, bytes.constData(), bytes.size(), error)) {
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
                        QString *error, QStringList *leftReplaced)
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
        Pending &p = all[i];
        p.destination = destinations[i];
        p.readOnly = !QFileInfo(p.destination).isSymbolicLink() && isWriteGuarded(p.destination);
        if (needsStaging(p))
            p.staged = besideName(p.destination, QStringLiteral(".new"));
    }
    bool done = copyInto(in, all, failed, error);
    // The source may be one of the destinations, and Windows renames nothing over an open file.
    in.close();
    done = done && liftReadOnly(all, failed, error) && placeAll(all, failed, error);
    if (const QString notPutBack = done ? QString() : putBack(all, leftReplaced);
        !notPutBack.isEmpty() && error) {
        if (!error->endsWith(u'.'))
            *error += u'.';
        *error += u' ' + notPutBack;
    }
    restoreReadOnly(all);
    removeLeftovers(all);
    return done;
}

} // namespace tagswap
