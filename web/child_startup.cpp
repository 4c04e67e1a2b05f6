#include "child_startup.h"

#include <cstdlib>

#include "system_function.h"

namespace {

// Vista and later; looked up so that the program still runs where they are missing.
struct AttributeListFunctions {
    decltype(&::InitializeProcThreadAttributeList) initialize =
        LoadedSystemFunction<decltype(&::InitializeProcThreadAttributeList)>(
            L"kernel32.dll", "InitializeProcThreadAttributeList");
    decltype(&::UpdateProcThreadAttribute) update =
        LoadedSystemFunction<decltype(&::UpdateProcThreadAttribute)>(L"kernel32.dll",
                                                                     "UpdateProcThreadAttribute");
    decltype(&::DeleteProcThreadAttributeList) remove =
        LoadedSystemFunction<decltype(&::DeleteProcThreadAttributeList)>(L"kernel32.dll",
                                                                         "DeleteProcThreadAttributeList");

    bool Present() const { return initialize != nullptr && update != nullptr && remove != nullptr; }
};

const AttributeListFunctions& Functions() {
    static const AttributeListFunctions functions;
    return functions;
}

} // namespace

ChildStartup::ChildStartup(HANDLE output) {
    STARTUPINFOA& info = m_info.StartupInfo;
    info.cb = sizeof(info);
    info.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    info.wShowWindow = SW_HIDE;
    info.hStdInput = nullptr;
    info.hStdOutput = output;
    info.hStdError = output;
    if (ListOnly(output))
        info.cb = sizeof(m_info);
}

ChildStartup::~ChildStartup() {
    if (m_attributes == nullptr)
        return;
    Functions().remove(m_attributes);
    std::free(m_attributes);
}

bool ChildStartup::ListOnly(HANDLE handle) {
    const AttributeListFunctions& functions = Functions();
    if (!functions.Present())
        return false;
    SIZE_T size = 0;
    // The first call only reports the size the list needs.
    functions.initialize(nullptr, 1, 0, &size);
    auto* attributes = static_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(std::malloc(size));
    if (attributes == nullptr)
        return false;
    if (!functions.initialize(attributes, 1, 0, &size)) {
        std::free(attributes);
        return false;
    }
    m_inherited = handle;
    if (!functions.update(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &m_inherited, sizeof(m_inherited),
                          nullptr, nullptr)) {
        functions.remove(attributes);
        std::free(attributes);
        return false;
    }
    m_attributes = attributes;
    m_info.lpAttributeList = attributes;
    return true;
}
