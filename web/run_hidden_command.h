#pragma once
// Starting one of the system's console commands with no window, its output and error text going to an
// anonymous pipe.
#include <string>

// Starts `commandLine` hidden. Its first token must be a bare program name, and the program started is
// the one of that name in the system folder: "arp -d" runs <system folder>\arp.exe, never an arp.exe
// beside this program or in the current folder, which a search by name would find first (a downloads
// folder holds whatever was downloaded). The command line itself is passed on as it is. Returns at once
// when `outputBuffer` is null; otherwise drains the pipe into the buffer (at least 4095 bytes, owned by
// the caller) until every writer has closed it, leaving the last block read there, unterminated. The
// child inherits the pipe's write end and nothing else. Returns 1 once the command has started, 0 when
// the first token is no bare name or the pipe or the process could not be created. CreateProcessA may
// write to the command line, so it is not const.
int RunHiddenCommand(char* commandLine, void* outputBuffer);

// The same with the folder that holds the program given instead of the system folder (no trailing
// backslash); the tests name a folder of their own.
int RunHiddenCommandFrom(const std::string& folder, char* commandLine, void* outputBuffer);

// The system folder as the platform reports it, without a trailing backslash; empty if it cannot be read.
std::string SystemFolder();
