#include "dll_search.h"

#include <windows.h>

#include "system_function.h"

void RestrictDllSearchToSystemFolder() {
    auto setDefaultDirectories = LoadedSystemFunction<decltype(&::SetDefaultDllDirectories)>(
        L"kernel32.dll", "SetDefaultDllDirectories");
    if (setDefaultDirectories != nullptr && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    ::SetDllDirectoryW(L"");
}
