#pragma once

#include <QFile>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tagswap::testing {

// Asked of the system itself rather than through Qt, which maps both the
// read-only attribute and the permission bits onto its own flags.
// Windows: the read-only attribute. Elsewhere: no write bit for anyone.
inline bool isReadOnlyOnDisk(const QString &path)
{
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t *>(path.utf16()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0
           && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
#endif
}

#ifdef Q_OS_WIN
// A file another program has open, as the game holds its spray while it runs.
// Opened without FILE_SHARE_DELETE, nothing may rename over the file or remove
// it until the object goes; with share mode 0, nothing may even read it.
class HeldOpen {
public:
    explicit HeldOpen(const QString &path, DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE)
        : m_handle(CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ, share,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    HeldOpen(const HeldOpen &) = delete;
    HeldOpen &operator=(const HeldOpen &) = delete;
    ~HeldOpen()
    {
        if (isValid())
            CloseHandle(m_handle);
    }
    bool isValid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};
#endif

} // namespace tagswap::testing
