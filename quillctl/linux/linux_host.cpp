// The Linux side of quillctl: interfaces from getifaddrs, the sockets, the terminal, xdg-open, libcurl
// and libcrypto for the cameras.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "commands/command_line.h"
#include "curl_transport.h"
#include "net/exit_status.h"
#include "linux_interfaces.h"
#include "linux_neighbours.h"
#include "linux_wire.h"
#include "openssl_crypto.h"
#include "net/text_escape.h"

extern char** environ;

namespace quillctl {

namespace {

// xdg-open from an absolute folder of PATH: an empty or relative entry would let the current folder
// supply the program.
std::string FindXdgOpen() {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || folder[0] != '/')
            continue;
        std::string candidate = folder + "/xdg-open";
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

// Standard output, written with write(2) so a failure comes back with its errno.
std::optional<WriteFailure> WriteStandardOutput(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return WriteFailure{written < 0 && errno == EPIPE,
                                written < 0 ? std::strerror(errno) : "nothing written"};
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return std::nullopt;
}

class LinuxHost : public Host {
  public:
    explicit LinuxHost(const OutputSink& output) : output_(output) {}

    std::optional<WriteFailure> OutputFailure() override { return output_.failure(); }

    std::vector<HostInterface> Interfaces() override { return ListLinuxInterfaces(); }

    std::unique_ptr<Wire> OpenWire(const std::vector<Link>& links, const WireOptions& options) override {
        return std::make_unique<LinuxWire>(links, options);
    }

    std::unique_ptr<NeighbourQuery> AskNeighbours(const Link& link,
                                                  const std::vector<Ipv4>& addresses) override {
        return AskLinuxNeighbours(link, addresses);
    }

    bool ErrorStreamIsTerminal() override { return isatty(STDERR_FILENO) == 1; }

    onvif::HttpTransport& Http() override { return http_; }
    onvif::Crypto& PlatformCrypto() override { return crypto_; }

    std::optional<std::string> Environment(const std::string& name) override {
        const char* value = std::getenv(name.c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }

    std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) override {
        if (isatty(STDIN_FILENO) != 1)
            return std::nullopt;
        termios saved{};
        if (tcgetattr(STDIN_FILENO, &saved) != 0)
            return std::nullopt;
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ICANON;
        std::cerr << prompt << std::flush;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::string line;
        std::getline(std::cin, line);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::cerr << '\n';
        return line;
    }

    std::string ReadSecretFile(const std::string& path) override {
        const std::string shown = EscapeName(path);
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            throw CommandError(kExitUsage, "cannot read " + shown + ": " + std::strerror(errno));
        struct stat info {};
        if (fstat(fd, &info) != 0 || (S_ISREG(info.st_mode) && (info.st_mode & 077) != 0)) {
            close(fd);
            throw CommandError(kExitUsage, shown + " holds passwords and may be read by its group or others: "
                                                   "chmod 600 it first");
        }
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = read(fd, buffer, sizeof(buffer))) != 0;) {
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 || text.size() > kMaxSecretFileBytes) {
                close(fd);
                throw CommandError(kExitUsage, "cannot read " + shown +
                                                   (got < 0 ? ": " + std::string(std::strerror(errno))
                                                            : ": larger than 1 MiB"));
            }
            text.append(buffer, static_cast<size_t>(got));
        }
        close(fd);
        return text;
    }

    std::string OpenInBrowser(const std::string& url) override {
        std::string program = FindXdgOpen();
        if (program.empty())
            return "xdg-open was not found in any folder of PATH";
        std::string urlCopy = url;
        char* argv[] = {program.data(), urlCopy.data(), nullptr};
        // quillctl ignores SIGPIPE; the browser's launcher gets the usual disposition back.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes, &pipe);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        pid_t child = 0;
        int error = posix_spawn(&child, program.c_str(), nullptr, &attributes, argv, environ);
        posix_spawnattr_destroy(&attributes);
        if (error != 0)
            return "cannot start " + program + ": " + std::strerror(error);
        int status = 0;
        while (waitpid(child, &status, 0) < 0)
            if (errno != EINTR)
                return "cannot wait for " + program + ": " + std::strerror(errno);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            return "";
        if (WIFEXITED(status))
            return program + " ended with status " + std::to_string(WEXITSTATUS(status));
        return program + " was ended by signal " + std::to_string(WTERMSIG(status));
    }

  private:
    const OutputSink& output_;
    CurlTransport http_;
    OpensslCrypto crypto_;
};

} // namespace

} // namespace quillctl

int main(int argc, char** argv) {
    // A reader that goes away (quillctl find | head -1) then shows as a failed write (EPIPE), which
    // ends the run quietly with status 1, not as a signal that kills it between two lines.
    std::signal(SIGPIPE, SIG_IGN);
    quillctl::CatchInterruptions();
    quillctl::OutputSink sink(quillctl::WriteStandardOutput);
    std::ostream out(&sink);
    quillctl::LinuxHost host(sink);
    std::vector<std::string> args(argv + 1, argv + argc);
    return quillctl::RunCommandLine(args, host, out, std::cerr);
}
