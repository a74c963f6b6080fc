#include "settings_store.h"

#ifdef Q_OS_WIN
#include <QObject>

#include <qt_windows.h>

#include <cwchar>
#include <memory>
#include <type_traits>
#include <vector>
#else
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

#include <memory>
#endif

namespace tagswap {

#ifdef Q_OS_WIN

// The registry API itself, not QSettings: QSettings escapes text that begins
// with '@', decodes "@Variant(...)" and reads numbers and binary data as text,
// so it would neither write what the original program wrote nor read only that.
namespace {

// The longest path Windows takes; a longer value is no game directory.
constexpr qsizetype kMaxValueChars = 32767;

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using OpenKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// Under HKEY_CURRENT_USER, where the original program's SaveSetting put its
// values; keeping the key carries a player's game directory over.
QString keyPath()
{
    return QStringLiteral("Software\\VB and VBA Program Settings\\")
           + settings::application.toString() + u'\\' + settings::section.toString();
}

const wchar_t *wide(const QString &text)
{
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

LSTATUS writeText(QStringView name, const QString &value)
{
    HKEY created = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, wide(keyPath()), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &created, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    const OpenKey key(created);
    // The terminating NUL is part of a REG_SZ value.
    const auto bytes = DWORD((value.size() + 1) * qsizetype(sizeof(wchar_t)));
    return RegSetValueExW(key.get(), wide(name.toString()), 0, REG_SZ,
                          reinterpret_cast<const BYTE *>(value.utf16()), bytes);
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

QString SettingsStore::read(QStringView key)
{
    std::vector<wchar_t> buffer(kMaxValueChars + 1);
    auto bytes = DWORD(buffer.size() * sizeof(wchar_t));
    // Only REG_SZ, as the original program stored it: any other type (an
    // expandable string too), or a value too long for the buffer, is damage.
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, wide(keyPath()), wide(key.toString()),
                     RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, buffer.data(), &bytes);
    if (status != ERROR_SUCCESS)
        return {};
    // The text ends at the first NUL or with the data, whichever comes first.
    const std::size_t chars = wcsnlen(buffer.data(), bytes / sizeof(wchar_t));
    return QString::fromWCharArray(buffer.data(), qsizetype(chars));
}

bool SettingsStore::save(QStringView key, const QString &value, QString *error)
{
    // What read() would not give back must not be stored as though it were kept.
    if (value.size() > kMaxValueChars)
        return fail(error,
                    QObject::tr("The value is longer than %1 characters.").arg(kMaxValueChars));
    const LSTATUS status = writeText(key, value);
    return status == ERROR_SUCCESS || fail(error, qt_error_string(int(status)));
}

QString SettingsStore::location()
{
    return QStringLiteral("HKEY_CURRENT_USER\\") + keyPath();
}

#else

namespace {

std::unique_ptr<QSettings> openStore()
{
    const QString app = settings::application.toString();
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, app, app);
}

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

#endif

} // namespace tagswap
