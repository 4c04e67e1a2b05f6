// Stands in for a program the code under test starts (the system's "arp", or the desktop's URL
// handler) and records how it was started: one line per start, appended to a log,
//   <command line> TAB <STARTUPINFO dwFlags, hex> TAB <wShowWindow> TAB <stdout kind> TAB <stderr kind>
//   TAB <inherited> TAB <the recorder's own path>
// where a kind is "pipe" or "other", and <inherited> lists the sockets and pipe ends among the handles
// the recorder holds, comma-separated: "socket:<local port>", "pipe-read" (a pipe's server end, which
// is the read end of an anonymous pipe) or "pipe-write" (a client end), or "none". A fresh process holds
// neither on its own, so each one was handed down by the starter. The log is named by "--log PATH" as
// the first arguments, or else by the variable QM_RECORD_LOG; with neither it does nothing, like the
// system's own stub. Then it writes one line to its standard output, for a caller that reads it.
#include <cstdio>
#include <cstring>
#include <string>

#include <winsock2.h>
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

// "" for a handle that is neither a socket nor a pipe end.
std::string SocketOrPipeKind(HANDLE handle) {
    // Under Wine an inherited socket answers getsockname but not getsockopt. One not yet bound says
    // WSAEINVAL; anything else WSAENOTSOCK.
    sockaddr_in local{};
    int length = sizeof(local);
    if (::getsockname(reinterpret_cast<SOCKET>(handle), reinterpret_cast<sockaddr*>(&local), &length) == 0)
        return "socket:" + std::to_string(ntohs(local.sin_port));
    if (::WSAGetLastError() == WSAEINVAL)
        return "socket:unbound";
    DWORD flags = 0;
    if (::GetFileType(handle) == FILE_TYPE_PIPE &&
        ::GetNamedPipeInfo(handle, &flags, nullptr, nullptr, nullptr))
        return flags & PIPE_SERVER_END ? "pipe-read" : "pipe-write";
    return "";
}

// Handle values are multiples of 4 and handed out lowest first, so a small range covers them all.
std::string InheritedSocketsAndPipes() {
    WSADATA data{};
    ::WSAStartup(MAKEWORD(2, 2), &data);
    std::string kinds;
    for (ULONG_PTR value = 4; value < 0x4000; value += 4) {
        DWORD flags = 0;
        auto handle = reinterpret_cast<HANDLE>(value);
        if (!::GetHandleInformation(handle, &flags))
            continue;
        std::string kind = SocketOrPipeKind(handle);
        if (!kind.empty())
            kinds += (kinds.empty() ? "" : ",") + kind;
    }
    return kinds.empty() ? "none" : kinds;
}

} // namespace

int main(int argc, char** argv) {
    std::string log = LogPath(argc, argv);
    if (log.empty())
        return 0;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoA(&startup);
    std::string inherited = InheritedSocketsAndPipes();
    char fields[64];
    std::snprintf(fields, sizeof(fields), "%lx\t%u\t%s\t%s", static_cast<unsigned long>(startup.dwFlags),
                  startup.wShowWindow, KindOf(STD_OUTPUT_HANDLE), KindOf(STD_ERROR_HANDLE));
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, sizeof(self));
    std::string line =
        std::string(::GetCommandLineA()) + "\t" + fields + "\t" + inherited + "\t" + self + "\n";
    // Appending in one write keeps lines of concurrent starts whole.
    HANDLE file = ::CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    // With nobody reading the pipe this may fail; the record is made already.
    static const char kOutput[] = "launch recorder ran\r\n";
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), kOutput, sizeof(kOutput) - 1, &written, nullptr);
    return 0;
}
