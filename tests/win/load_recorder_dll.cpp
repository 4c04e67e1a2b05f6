// A DLL that stands in for one a program, or a system library on its behalf, loads by name. Placed
// beside a program under that name, it records each load as one line appended to the file named by
// the variable QM_LOAD_LOG,
//   <the loading program's path> TAB <this DLL's path>
// and then refuses to stay loaded, so the program goes on without it.
#include <cstring>

#include <windows.h>

namespace {

void RecordLoad(HINSTANCE self) {
    char log[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableA("QM_LOAD_LOG", log, sizeof(log));
    if (length == 0 || length >= sizeof(log))
        return;
    char program[MAX_PATH] = {};
    char dll[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, sizeof(program));
    ::GetModuleFileNameA(self, dll, sizeof(dll));
    char line[2 * MAX_PATH + 4] = {};
    std::strcat(line, program);
    std::strcat(line, "\t");
    std::strcat(line, dll);
    std::strcat(line, "\n");
    // One write per line keeps the lines of concurrent loads whole.
    HANDLE file = ::CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    RecordLoad(self);
    return FALSE;
}
