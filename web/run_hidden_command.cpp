#include "run_hidden_command.h"

#include <windows.h>

namespace {

constexpr DWORD kReadBlockSize = 4095;
constexpr DWORD kPauseBetweenReadsMs = 200;

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr)
        ::CloseHandle(handle);
    handle = nullptr;
}

// Reads until the pipe breaks, which is when the last holder of its write end (normally the child, as
// it ends) has closed it. Each block lands at the start of the buffer.
void DrainPipe(HANDLE readEnd, void* buffer) {
    DWORD read = 0;
    while (::ReadFile(readEnd, buffer, kReadBlockSize, &read, nullptr))
        ::Sleep(kPauseBetweenReadsMs);
}

} // namespace

int RunHiddenCommand(char* commandLine, void* outputBuffer) {
    // Both ends inheritable, with no descriptor; the child is given the write end as its output.
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &attributes, 0))
        return 0;

    // Everything not set here (the standard input handle among it) is this program's own.
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoA(&startup);
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.wShowWindow = SW_HIDE;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;

    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process)) {
        CloseIfOpen(writeEnd);
        CloseIfOpen(readEnd);
        return 0;
    }
    // Nothing here waits for the child or asks how it ended.
    CloseIfOpen(process.hThread);
    CloseIfOpen(process.hProcess);
    // Only the child holds the write end from now on, so the pipe breaks when it ends.
    CloseIfOpen(writeEnd);

    if (outputBuffer != nullptr)
        DrainPipe(readEnd, outputBuffer);
    // With no reader the child's output goes nowhere.
    CloseIfOpen(readEnd);
    return 1;
}
