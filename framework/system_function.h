#pragma once
// Functions of the system that older versions of Windows lack are looked up at run time, so the
// program still starts there and takes its fallback instead.
#include <windows.h>

// `name` from a system module this process has loaded already (kernel32.dll, say), or null when that
// system lacks it. Nothing is loaded here: a module that is not in the process gives null.
template <typename Function> Function LoadedSystemFunction(const wchar_t* module, const char* name) {
    HMODULE handle = ::GetModuleHandleW(module);
    if (handle == nullptr)
        return nullptr;
    // Through the generic function type, which every function pointer may be cast to and from.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(handle, name)));
}
