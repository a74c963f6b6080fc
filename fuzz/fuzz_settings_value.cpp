// Any text stored as a setting must read back exactly as it was saved.
#include "settings_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Whole UTF-16 code units, the way a value typed in the dialog arrives.
    const QString value =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2));
    if (!tagswap::SettingsStore::save(tagswap::settings::HLDir, value))
        std::abort();
    if (tagswap::SettingsStore::read(tagswap::settings::HLDir) != value)
        std::abort();
    return 0;
}
