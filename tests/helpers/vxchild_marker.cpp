// Child program that records how it was started: writes, as UTF-8 lines, its
// whole command line, its current folder and then each argument, to the marker
// file named by its first argument (the file is written under a temporary name
// and renamed, so a reader never sees it half-written).
//   vxchild_marker <marker file> [arguments...]
// Exit code: 0 after writing, 3 on failure.
#include <windows.h>
#include <shellapi.h>
#include <string>

namespace {

std::string ToUtf8(const wchar_t *text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(n - 1);
    return out;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        return 3;

    wchar_t cwd[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, cwd);

    std::string text = ToUtf8(GetCommandLineW()) + "\n" + ToUtf8(cwd) + "\n";
    for (int i = 1; i < argc; ++i)
        text += ToUtf8(argv[i]) + "\n";

    std::wstring temp = std::wstring(argv[1]) + L".tmp";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != text.size())
        return 3;
    return MoveFileExW(temp.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING) ? 0 : 3;
}
