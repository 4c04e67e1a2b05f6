#pragma once
// Starting a console command with no window, its output and error text going to an anonymous pipe.

// Starts `commandLine` (the executable is its first token, found by the system's search) hidden and
// returns at once when `outputBuffer` is null; otherwise drains the pipe into the buffer (at least 4095
// bytes, owned by the caller) until every writer has closed it, leaving the last block read there,
// unterminated. Returns 1 once the command has started, 0 when the pipe or the process could not be
// created. CreateProcessA may write to the command line, so it is not const.
int RunHiddenCommand(char* commandLine, void* outputBuffer);
