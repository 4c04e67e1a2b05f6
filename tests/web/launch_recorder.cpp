// Stands in for a program the code under test starts ("arp" on the command search path, or the
// desktop's URL handler) and records how it was started: one line per start, appended to a log,
//   <command line> TAB <STARTUPINFO dwFlags, hex> TAB <wShowWindow> TAB <stdout kind> TAB <stderr kind>
// where a kind is "pipe" or "other". The log is named by "--log PATH" as the first arguments, or else
// by the variable QM_RECORD_LOG; with neither it does nothing, like the system's own stub. Then it
// writes one line to its standard output, for a caller that reads it.
#include <cstdio>
#include <cstring>
#include <string>

#include <windows.h>

namespace {

const char* KindOf(DWORD stdHandle) {
    return ::GetFileType(::GetStdHandle(stdHandle)) == FILE_TYPE_PIPE ? "pipe" : "other";
}

std::string LogPath(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--log") == 0)
        return argv[2];
    char path[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableA("QM_RECORD_LOG", path, sizeof(path));
    return n > 0 && n < sizeof(path) ? path : "";
}

} // namespace

int main(int argc, char** argv) {
    std::string log = LogPath(argc, argv);
    if (log.empty())
        return 0;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoA(&startup);
    char line[2048];
    int n = std::snprintf(line, sizeof(line), "%s\t%lx\t%u\t%s\t%s\n", ::GetCommandLineA(),
                          static_cast<unsigned long>(startup.dwFlags), startup.wShowWindow,
                          KindOf(STD_OUTPUT_HANDLE), KindOf(STD_ERROR_HANDLE));
    // Appending in one write keeps lines of concurrent starts whole.
    HANDLE file = ::CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(n > 0 ? n : 0), &written, nullptr);
    ::CloseHandle(file);
    // With nobody reading the pipe this may fail; the record is made already.
    static const char kOutput[] = "launch recorder ran\r\n";
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), kOutput, sizeof(kOutput) - 1, &written, nullptr);
    return 0;
}
