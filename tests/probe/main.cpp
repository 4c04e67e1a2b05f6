// uiprobe: drives and reads a running program from outside, as a tester would. Reads one command per
// line on stdin and answers each with "ok <result>" or "err <message>" (UTF-8), so one process can
// serve a whole test. Options: --caption <main window caption>. "help" lists the commands.
#include <cwchar>
#include "probe_commands.h"
#include "probe_session.h"
#include "text_codec.h"

#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cwchar>
#include <iostream>
#include <string>

namespace {

void write_lines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
}

std::wstring main_caption_from(int argc, wchar_t** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"--caption") == 0) {
            return argv[i + 1];
        }
    }
    return kMainCaption;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    ProbeSession session(main_caption_from(argc, argv));
    LocalFree(argv);

    // Bytes in, bytes out: no CRLF translation on the pipes.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);

    std::string line;
    bool quit = false;
    while (!quit && std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line == "help") {
            std::vector<std::string> usages = command_usages();
            usages.insert(usages.begin(), "ok " + std::to_string(usages.size()));
            write_lines(usages);
            continue;
        }
        write_lines(session.run(from_utf8(line), quit));
    }
    return 0;
}
