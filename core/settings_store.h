#pragma once

#include <QString>

namespace tagswap {

// The two values Tagswap remembers per user. Every access names the same
// application and section, so they are declared once, here.
namespace settings {
inline constexpr QStringView application = u"Tagswap";
inline constexpr QStringView section = u"Settings";
inline constexpr QStringView HLDir = u"HLDir";
inline constexpr QStringView BeenRun = u"BeenRun";
} // namespace settings

// Per-user settings: on Linux the INI file $XDG_CONFIG_HOME/Tagswap/Tagswap.ini;
// on Windows the registry key HKEY_CURRENT_USER\Software\VB and VBA Program
// Settings\Tagswap\Settings, with each value plain text (REG_SZ), as the original
// program kept them there. Values are read afresh on every call, never cached, so
// the windows always see what is stored.
class SettingsStore {
public:
    // A value that was never stored, or a store that cannot be read, gives "";
    // on Windows so does a value that is not REG_SZ or longer than 32,767 characters.
    static QString read(QStringView key);
    // Returns false and the reason when the value did not reach the disk.
    static bool save(QStringView key, const QString &value, QString *error = nullptr);
    // Where the values live, for messages and documentation.
    static QString location();
};

} // namespace tagswap
