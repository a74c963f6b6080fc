#include "settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

#include <memory>

namespace tagswap {

namespace {

#ifdef Q_OS_WIN
// Values written by the original Windows build live here; keeping the key
// carries a player's game directory over.
std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\")
            + settings::application.toString(),
        QSettings::NativeFormat);
}
#else
std::unique_ptr<QSettings> openStore()
{
    const QString app = settings::application.toString();
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, app, app);
}
#endif

QString groupedKey(QStringView key)
{
    return settings::section.toString() + u'/' + key.toString();
}

// QSettings only says that a write failed; try the file ourselves to learn why.
QString reasonWriteFailed(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return QObject::tr("%1 is a folder.").arg(QDir::toNativeSeparators(path));
    if (!QDir().mkpath(info.absolutePath()))
        return QObject::tr("The folder %1 cannot be created.")
            .arg(QDir::toNativeSeparators(info.absolutePath()));
    // Neither probe may leave anything behind: the file is opened, not written,
    // and the byte that a full disk or a size limit refuses goes to a temporary file.
    if (info.exists()) {
        QFile probe(path);
        if (!probe.open(QIODevice::Append | QIODevice::ExistingOnly))
            return probe.errorString();
    }
    QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.probe-XXXXXX"));
    if (!probe.open() || probe.write("x", 1) != 1 || !probe.flush())
        return probe.errorString();
    return QObject::tr("%1 cannot be written.").arg(QDir::toNativeSeparators(path));
}

} // namespace

QString SettingsStore::read(QStringView key)
{
    const QVariant value = openStore()->value(groupedKey(key));
    // A hand-edited line such as "a, b" comes back as a list; it is still text to us.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.canConvert<QString>() ? value.toString() : QString();
}

bool SettingsStore::save(QStringView key, const QString &value, QString *error)
{
    auto store = openStore();
    const QString path = groupedKey(key);
    const QVariant earlier = store->value(path);
    store->setValue(path, value);
    store->sync();
    if (store->status() == QSettings::NoError)
        return true;
    // A damaged file leaves QSettings reporting the FormatError of reading it even
    // though the sync has just rewritten it; what counts is whether the value is there now.
    if (store->status() == QSettings::FormatError && openStore()->status() == QSettings::NoError
        && read(key) == value)
        return true;
    // QSettings keeps an unwritten change in its per-process cache; without
    // this the value that failed to save would be read back until Tagswap ends.
    if (earlier.isValid())
        store->setValue(path, earlier);
    else
        store->remove(path);
    if (error)
        *error = reasonWriteFailed(store->fileName());
    return false;
}

QString SettingsStore::location()
{
    return openStore()->fileName();
}

} // namespace tagswap
