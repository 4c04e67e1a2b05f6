// The Windows side of quillctl: adapters from GetAdaptersAddresses, the sockets, the console and the
// shell's "open" for the browser.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <io.h>
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "text_escape.h"
#include "windows_neighbours.h"
#include "windows_interfaces.h"
#include "windows_wire.h"

namespace quillctl {

namespace {

std::wstring WideFromUtf8(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1)
        return L"";
    std::wstring out(static_cast<size_t>(size - 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
    return out;
}

// Standard output through the C runtime's _write, which keeps its text mode (CRLF line ends) as
// before; a failure is told by the system's error, which _write leaves in place.
std::optional<WriteFailure> WriteStandardOutput(std::string_view bytes) {
    const int fd = _fileno(stdout);
    while (!bytes.empty()) {
        SetLastError(0);
        errno = 0;
        const unsigned chunk = static_cast<unsigned>(std::min<size_t>(bytes.size(), 1 << 20));
        int written = _write(fd, bytes.data(), chunk);
        if (written <= 0) {
            const DWORD code = GetLastError();
            const bool gone = code == ERROR_NO_DATA || code == ERROR_BROKEN_PIPE || errno == EPIPE;
            return WriteFailure{gone,
                                errno != 0 ? std::strerror(errno) : "Windows error " + std::to_string(code)};
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return std::nullopt;
}

class WindowsHost : public Host {
  public:
    explicit WindowsHost(const OutputSink& output) : output_(output) {}

    std::optional<WriteFailure> OutputFailure() override { return output_.failure(); }

    std::vector<HostInterface> Interfaces() override { return ListWindowsInterfaces(); }

    std::unique_ptr<Wire> OpenWire(const std::vector<Link>& links, const WireOptions& options) override {
        return std::make_unique<WindowsWire>(links, options);
    }

    std::unique_ptr<NeighbourQuery> AskNeighbours(const Link& link,
                                                  const std::vector<Ipv4>& addresses) override {
        return AskWindowsNeighbours(link, addresses);
    }

    bool ErrorStreamIsTerminal() override {
        DWORD mode = 0;
        return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
    }

    std::string OpenInBrowser(const std::string& url) override {
        auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", WideFromUtf8(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result > 32)
            return "";
        return "the shell could not open it (" + std::to_string(result) + ")";
    }

    std::string NoReplyHint() override {
        std::wstring path(32768, L'\0');
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        path.resize(length < path.size() ? length : 0);
        const std::string program = path.empty() ? "quillctl.exe" : EscapeName(Utf8FromWide(path.c_str()));
        return "Windows Defender Firewall may be blocking UDP port 5555 for quillctl.exe; to allow it, run "
               "as administrator: netsh advfirewall firewall add rule name=quillctl dir=in action=allow "
               "protocol=UDP localport=5555 program=\"" +
               program + "\"";
    }

  private:
    const OutputSink& output_;
};

// The arguments as UTF-8, whatever the console's code page: a plan's path may hold any letter.
std::vector<std::string> Arguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(Utf8FromWide(wide[i]));
    if (wide != nullptr)
        LocalFree(wide);
    return args;
}

} // namespace

} // namespace quillctl

int main() {
    quillctl::CatchInterruptions();
    // Interface names may be in any language: show them as they are on a console, and give it back
    // its own code page afterwards.
    const UINT codePage = GetConsoleOutputCP();
    if (codePage != 0)
        SetConsoleOutputCP(CP_UTF8);
    quillctl::OutputSink sink(quillctl::WriteStandardOutput);
    std::ostream out(&sink);
    quillctl::WindowsHost host(sink);
    int status = quillctl::RunCommandLine(quillctl::Arguments(), host, out, std::cerr);
    std::cerr.flush();
    if (codePage != 0)
        SetConsoleOutputCP(codePage);
    return status;
}
