#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tagswap::testing {

#ifdef Q_OS_WIN
// Wine, where the Windows tests run on CI, differs from Windows in a few
// places the tests would see; those cases run only on Windows itself.
inline bool runsUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#endif

// Fails the running test, with the reason, when the file cannot be written.
// A check in here can only leave this function, not the case, so a case that
// must stop right there checks tryWriteFile() itself.
inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

[[nodiscard]] inline bool tryWriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Null when the file cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The size shows a file that was cut short or grew; only a hash shows a
// changed byte as well.
enum class FileDetail { Size, Sha1 };

// Every entry below root, sorted, so that comparing two snapshots shows any
// stray, missing or changed one: "name/" for a folder, "name -> target" for
// a link (not followed), "name <size or SHA-1>" for a file and "name |" for
// anything else, which is never opened: reading a pipe would wait for a writer.
inline QStringList snapshot(const QString &root, FileDetail detail = FileDetail::Size)
{
    QStringList entries;
    const QDir base(root);
    const auto filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QList<QFileInfo> pending = base.entryInfoList(filters);
    while (!pending.isEmpty()) {
        const QFileInfo info = pending.takeFirst();
        const QString name = base.relativeFilePath(info.filePath());
        if (info.isSymLink()) {
            entries << name + QStringLiteral(" -> ") + info.symLinkTarget();
        } else if (info.isDir()) {
            entries << name + u'/';
            pending << QDir(info.filePath()).entryInfoList(filters);
        } else if (!info.isFile()) {
            entries << name + QStringLiteral(" |");
        } else if (detail == FileDetail::Sha1) {
            const QByteArray hash =
                QCryptographicHash::hash(readFile(info.filePath()), QCryptographicHash::Sha1);
            entries << name + u' ' + QString::fromLatin1(hash.toHex());
        } else {
            entries << name + u' ' + QString::number(info.size());
        }
    }
    entries.sort();
    return entries;
}

} // namespace tagswap::testing
