#pragma once

#include <QFile>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QByteArray>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
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

#ifdef Q_OS_UNIX
// A pipe that no one writes to, in place of a file. Whoever wrongly opens it to
// read would wait for a writer forever; one comes for each such reader and
// leaves at once, so the read ends empty and the case fails on its result
// instead of hanging.
class EndedPipe {
public:
    explicit EndedPipe(const QString &path) : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0644) == 0;
        if (m_made)
            m_writer = std::thread([this] { endReaders(); });
    }
    EndedPipe(const EndedPipe &) = delete;
    EndedPipe &operator=(const EndedPipe &) = delete;
    ~EndedPipe()
    {
        m_done = true;
        if (m_writer.joinable())
            m_writer.join();
    }
    bool isValid() const { return m_made; }

private:
    void endReaders()
    {
        while (!m_done) {
            // Opens only while a reader waits in its open().
            if (const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_done{false};
    std::thread m_writer;
};
#endif

} // namespace tagswap::testing
