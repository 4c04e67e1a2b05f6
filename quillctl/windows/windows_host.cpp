// The Windows side of quillctl: adapters from GetAdaptersAddresses, the sockets, the console and the
// shell's "open" for the browser, WinHTTP and BCrypt for the cameras.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <io.h>
#include <iostream>
#include <string>
#include <vector>

#include "bcrypt_crypto.h"
#include "commands/command_line.h"
#include "net/exit_status.h"
#include "net/text_escape.h"
#include "output/text_files.h"
#include "windows_interfaces.h"
#include "windows_neighbours.h"
#include "windows_wire.h"
#include "winhttp_transport.h"

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

    onvif::HttpTransport& Http() override { return http_; }
    onvif::Crypto& PlatformCrypto() override { return crypto_; }

    std::optional<std::string> Environment(const std::string& name) override {
        std::wstring wideName = WideFromUtf8(name);
        DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
        if (size == 0)
            return std::nullopt;
        std::wstring value(size, L'\0');
        size = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
        value.resize(size);
        return Utf8FromWide(value.c_str());
    }

    std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) override {
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        if (!GetConsoleMode(input, &mode))
            return std::nullopt;
        std::cerr << prompt << std::flush;
        SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
        wchar_t buffer[512];
        DWORD read = 0;
        BOOL ok = ReadConsoleW(input, buffer, 511, &read, nullptr);
        SetConsoleMode(input, mode);
        std::cerr << '\n';
        if (!ok)
            return std::nullopt;
        std::wstring line(buffer, read);
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
            line.pop_back();
        SecureZeroMemory(buffer, sizeof(buffer));
        return Utf8FromWide(line.c_str());
    }

    // Windows keeps access in ACLs, not mode bits: the file is read as it is.
    std::string ReadSecretFile(const std::string& path) override {
        std::string error;
        std::optional<std::string> text = ReadSmallFile(path, kMaxSecretFileBytes, error);
        if (!text)
            throw CommandError(kExitUsage, "cannot read " + EscapeName(path) + ": " + error);
        return *text;
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
    WinHttpTransport http_;
    BcryptCrypto crypto_;
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
