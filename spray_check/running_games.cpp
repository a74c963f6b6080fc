#include "running_games.h"

#include <QDir>
#include <QFileInfo>

namespace tagswap {

namespace {

// A folder as the system names it once links are followed; as given when it is gone.
QString resolvedFolder(const QString &folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? QDir::fromNativeSeparators(folder) : canonical);
}

} // namespace

QStringList gameProgramNames()
{
    return {QStringLiteral("hl.exe"), QStringLiteral("hl_linux"), QStringLiteral("svencoop.exe"),
            QStringLiteral("svencoop_linux")};
}

bool runsFrom(const RunningProgram &program, const QString &folder)
{
    if (program.path.isEmpty() || folder.isEmpty())
        return false;
    const QString programFolder =
        resolvedFolder(QFileInfo(QDir::fromNativeSeparators(program.path)).path());
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
    return programFolder.compare(resolvedFolder(folder), kCase) == 0;
}

} // namespace tagswap
