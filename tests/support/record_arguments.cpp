// A stand-in for the game on Windows: records the folder it runs in and the
// arguments Windows' own rules split its command line into, so that a test
// sees exactly what the game would. The record goes, UTF-8 and each entry
// ended by a NUL, to the file named by TAGSWAP_RECORD_TO, and is moved into
// place only when complete.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

std::string utf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size_t(size) : 1, '\0'); // the NUL ends the entry
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

bool writeAll(const std::wstring &path, const std::string &bytes)
{
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr)
                    && written == bytes.size();
    return CloseHandle(file) && ok;
}

} // namespace

int main()
{
    wchar_t target[32768];
    if (!GetEnvironmentVariableW(L"TAGSWAP_RECORD_TO", target, 32768))
        return 2;
    wchar_t folder[32768];
    if (!GetCurrentDirectoryW(32768, folder))
        return 3;
    std::string record = utf8(folder);
    int count = 0;
    wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; words && i < count; ++i)
        record += utf8(words[i]);
    LocalFree(words);
    const std::wstring part = std::wstring(target) + L".part";
    if (!writeAll(part, record) || !MoveFileExW(part.c_str(), target, MOVEFILE_REPLACE_EXISTING))
        return 4;
    return 0;
}
