// A block of memory inside another process. Messages such as LVM_GETITEMTEXTW carry pointers that are
// not marshalled between processes, so the structures they point to must live in the target.
#pragma once

#include <windows.h>

#include <cstddef>

class RemoteBuffer {
  public:
    // Opens the process that owns `window` and allocates `size` bytes in it.
    RemoteBuffer(HWND window, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    // The block's address as the target process sees it, `offset` bytes in.
    LPARAM address(size_t offset = 0) const;
    void write(const void* data, size_t size, size_t offset = 0);
    void read(void* data, size_t size, size_t offset = 0) const;

  private:
    HANDLE process_ = nullptr;
    void* block_ = nullptr;
    size_t size_ = 0;
};
