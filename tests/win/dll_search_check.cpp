// Loads msimg32.dll by name, as the shell's theming library does when it first draws, and tells by its
// exit status where the DLL came from: 0 the system folder, 1 somewhere else, 2 nowhere (not found, or
// it refused to load). With "--restrict" it first restricts the DLL search as the program does at its
// start.
#include <cstring>
#include <string>

#include <windows.h>

#include "dll_search.h"

namespace {

std::wstring FolderOf(const wchar_t* path) {
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--restrict") == 0)
        RestrictDllSearchToSystemFolder();
    HMODULE module = ::LoadLibraryW(L"msimg32.dll");
    if (module == nullptr)
        return 2;
    wchar_t path[MAX_PATH] = {};
    wchar_t system[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    ::GetSystemDirectoryW(system, MAX_PATH);
    return ::lstrcmpiW(FolderOf(path).c_str(), system) == 0 ? 0 : 1;
}
