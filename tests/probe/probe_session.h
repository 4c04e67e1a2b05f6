// The probe's commands. One session serves a whole test: it remembers which main window it drives.
#pragma once

#include "command_line.h"

#include <windows.h>

#include <string>
#include <vector>

inline constexpr const wchar_t* kMainCaption = L"Quillmast (V2.003)";
inline constexpr int kDeviceListId = 1000;

class ProbeSession {
  public:
    explicit ProbeSession(std::wstring main_caption) : main_caption_(std::move(main_caption)) {}

    // Runs one command line; the answer is "ok ..." or "err ...", followed by the extra lines of
    // the commands that list things (rows, windows, columns). `quit` is set by the quit command.
    std::vector<std::string> run(const std::wstring& line, bool& quit);

    HWND main_window() const;
    // The dialog a command works on: the one named by --in, else the main window.
    HWND target_dialog(const CommandLine& command) const;
    HWND target_list(const CommandLine& command) const;
    void pin(HWND window) { pinned_ = window; }
    const std::wstring& main_caption() const { return main_caption_; }
    DWORD preferred_pid() const;

  private:
    std::wstring main_caption_;
    HWND pinned_ = nullptr;
};
