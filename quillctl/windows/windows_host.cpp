// The Windows side of quillctl: adapters from GetAdaptersAddresses, the sockets, the console and the
// shell's "open" for the browser, WinHTTP and BCrypt for the cameras.
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "bcrypt_crypto.h"
#include "command_line.h"
#include "exit_status.h"
#include "text_files.h"
#include "text_escape.h"
#include "windows_interfaces.h"
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

class WindowsHost : public Host {
  public:
    std::vector<HostInterface> Interfaces() override { return ListWindowsInterfaces(); }

    std::unique_ptr<Wire> OpenWire(const std::vector<Link>& links, const WireOptions& options) override {
        return std::make_unique<WindowsWire>(links, options);
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
            throw CommandError(kExitUsage, "cannot read " + EscapeText(path) + ": " + error);
        return *text;
    }

    std::string OpenInBrowser(const std::string& url) override {
        auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", WideFromUtf8(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result > 32)
            return "";
        return "the shell could not open it (" + std::to_string(result) + ")";
    }

  private:
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
    quillctl::WindowsHost host;
    int status = quillctl::RunCommandLine(quillctl::Arguments(), host, std::cout, std::cerr);
    std::cout.flush();
    std::cerr.flush();
    if (codePage != 0)
        SetConsoleOutputCP(codePage);
    return status;
}
