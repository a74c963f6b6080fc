#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tagswap {

// Asking what is at a path, and reading a file that may be anything.

// Whether a regular file (or a link to one) exists at path; its size does not matter.
bool isExistingFile(const QString &path);

// Whether anything at all is at path, a link to nothing included: a name that
// is taken.
bool isTaken(const QString &path);

// Whether a file has no write permission left for anyone: read-only, which is
// also the guard that keeps the game from overwriting its spray.
bool isWriteGuarded(const QString &path);
// Takes every write permission away, or gives the owner's back. Checked
// afterwards, since some file systems accept the change and ignore it.
bool setWriteGuard(const QString &path, bool guarded, QString *error);

// Whether path names one of files, or is a symbolic link that leads to one of
// them through any number of links. Folders are compared after their own links
// are resolved. A hard link is a name of its own: it keeps the file's bytes when
// another of its names is replaced, so it is never one of the others.
bool leadsToAnyOf(const QString &path, const QStringList &files);

// A whole file, read so that nothing on disk can make it block or grow without
// bound: only a regular file (or a link to one) is opened, and at most limit
// bytes of it are taken.
struct WholeFile {
    enum class Status { Read, NotAFile, CannotOpen, TooLarge, ReadFailed };
    Status status = Status::NotAFile;
    QByteArray bytes; // when Read
    QString error;    // the system's reason, when CannotOpen or ReadFailed
};
WholeFile readWholeFile(const QString &path, qint64 limit);

} // namespace tagswap
