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
        if (out.write(chunk, got) != got) {
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
