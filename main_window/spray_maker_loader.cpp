#include "spray_maker_loader.h"

#include "spray_maker_plugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace tagswap {

QStringList SprayMakerLoader::programFolders()
{
    const QDir program(QCoreApplication::applicationDirPath());
    const QString packaged =
        QDir::cleanPath(program.filePath(QStringLiteral(TAGSWAP_SPRAY_MAKER_FROM_PROGRAM)));
    QStringList folders{program.path(), packaged};
    folders.removeDuplicates();
    return folders;
}

SprayMakerLoader::SprayMakerLoader(QStringList folders) : m_folders(std::move(folders))
{
}

SprayMakerPlugin *SprayMakerLoader::plugin(QString *error)
{
    if (m_plugin)
        return m_plugin;
    const QString name = QStringLiteral(TAGSWAP_SPRAY_MAKER_FILE);
    QStringList reasons;
    for (const QString &folder : std::as_const(m_folders)) {
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo(path).isFile())
            continue;
        // Never unloaded: windows it made may outlive any one loader.
        QPluginLoader loader(path);
        QObject *instance = loader.instance();
        m_plugin = qobject_cast<SprayMakerPlugin *>(instance);
        if (m_plugin)
            return m_plugin;
        reasons << (instance ? QCoreApplication::translate("SprayMakerLoader",
                                                           "%1 belongs to another version")
                                   .arg(QDir::toNativeSeparators(path))
                             : loader.errorString());
    }
    if (reasons.isEmpty())
        reasons << QCoreApplication::translate("SprayMakerLoader", "%1 is in none of %2")
                       .arg(name, QDir::toNativeSeparators(m_folders.join(QStringLiteral(", "))));
    *error = reasons.join(QStringLiteral("; "));
    return nullptr;
}

} // namespace tagswap
