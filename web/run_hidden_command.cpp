#include "run_hidden_command.h"

#include <cstring>

#include <windows.h>

#include "child_startup.h"

namespace {

constexpr DWORD kReadBlockSize = 4095;
constexpr DWORD kPauseBetweenReadsMs = 200;

void CloseIfOpen(HANDLE& handle) {
    if (handle != nullptr)
        ::CloseHandle(handle);
    handle = nullptr;
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

// "<folder>\<first token>.exe". Only a bare name is taken: a token with a path, a drive or an
// extension could name a program outside the folder.
bool ProgramInFolder(const std::string& folder, const char* commandLine, std::string& program) {
    size_t length = std::strcspn(commandLine, " \t");
    if (folder.empty() || length == 0)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (!IsNameCharacter(commandLine[i]))
            return false;
    program = folder + "\\" + std::string(commandLine, length) + ".exe";
    return true;
}

// Reads until the pipe breaks, which is when the last holder of its write end (normally the child, as
// it ends) has closed it. Each block lands at the start of the buffer.
void DrainPipe(HANDLE readEnd, void* buffer) {
    DWORD read = 0;
    while (::ReadFile(readEnd, buffer, kReadBlockSize, &read, nullptr))
        ::Sleep(kPauseBetweenReadsMs);
}

} // namespace

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    UINT length = ::GetSystemDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder))
        return {};
    std::string path(folder, length);
    if (path.back() == '\\')
        path.pop_back();
    return path;
}

int RunHiddenCommand(char* commandLine, void* outputBuffer) {
    return RunHiddenCommandFrom(SystemFolder(), commandLine, outputBuffer);
}

int RunHiddenCommandFrom(const std::string& folder, char* commandLine, void* outputBuffer) {
    std::string program;
    if (!ProgramInFolder(folder, commandLine, program))
        return 0;

    // Made with neither end inheritable; only the write end is then marked, as the child's output.
    // The read end stays this program's alone, so the pipe breaks once the child has ended.
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = FALSE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &attributes, 0))
        return 0;
    if (!::SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        CloseIfOpen(writeEnd);
        CloseIfOpen(readEnd);
        return 0;
    }

    ChildStartup startup(writeEnd);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(program.c_str(), commandLine, nullptr, nullptr, TRUE, startup.CreationFlags(),
                          nullptr, nullptr, startup.Info(), &process)) {
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
