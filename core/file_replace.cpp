#include "file_replace.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tagswap {

namespace {
bool fail(QString *error, const QString &reason)
{
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

QString tr(const char *text)
{
    return QCoreApplication::translate("FileReplace", text);
}
} // namespace

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool replaceWithCopy(const QString &source, const QString &destination, QString *error)
{
    // Reading a folder or a pipe would fail late or never end.
    if (QFileInfo::exists(source) && !isExistingFile(source))
        return fail(error, tr("%1 is not a file.").arg(source));
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return fail(error, in.errorString());
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return fail(error, out.errorString());

    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = in.read(chunk, sizeof chunk);
        if (got < 0) {
            out.cancelWriting();
            return fail(error, in.errorString());
        }
        if (got == 0)
            break;
        if (!writeAll(out, chunk, got)) {
            const QString reason = out.errorString();
            out.cancelWriting();
            return fail(error, reason);
        }
    }
    if (!out.commit())
        return fail(error, out.errorString());
    return true;
}

} // namespace tagswap
