#include "remote_buffer.h"

#include "probe_error.h"

#include <string>

RemoteBuffer::RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(
        PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!process_) {
        throw ProbeError("OpenProcess(" + std::to_string(pid) +
                         ") failed: " + std::to_string(GetLastError()));
    }
    block_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!block_) {
        DWORD error = GetLastError();
        CloseHandle(process_);
        throw ProbeError("VirtualAllocEx failed: " + std::to_string(error));
    }
}

RemoteBuffer::~RemoteBuffer() {
    VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
    CloseHandle(process_);
}

LPARAM RemoteBuffer::address(size_t offset) const {
    return reinterpret_cast<LPARAM>(static_cast<char*>(block_) + offset);
}

void RemoteBuffer::write(const void* data, size_t size, size_t offset) {
    if (offset + size > size_ ||
        !WriteProcessMemory(process_, static_cast<char*>(block_) + offset, data, size, nullptr)) {
        throw ProbeError("WriteProcessMemory failed");
    }
}

void RemoteBuffer::read(void* data, size_t size, size_t offset) const {
    if (offset + size > size_ ||
        !ReadProcessMemory(process_, static_cast<char*>(block_) + offset, data, size, nullptr)) {
        throw ProbeError("ReadProcessMemory failed");
    }
}
