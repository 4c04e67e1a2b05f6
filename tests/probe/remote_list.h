// Reading a list view that belongs to another process: the item and column structures, and the texts
// they point to, are placed in the list's own process.
#pragma once

#include "remote_buffer.h"

#include <windows.h>

#include <string>

class RemoteList {
  public:
    explicit RemoteList(HWND list);

    int item_count();
    int column_count();
    std::wstring item_text(int item, int column);
    std::wstring column_title(int column);
    int column_width(int column);
    // `part` is LVIR_BOUNDS, LVIR_LABEL, ...; the rectangle is in the list's client coordinates.
    RECT item_rect(int item, int part);
    // Pixel width of `text` in the list's font (LVM_GETSTRINGWIDTHW).
    int string_width(const std::wstring& text);
    // Height of the header above the rows (0 if the list has none).
    int header_height();

  private:
    static constexpr int kTextChars = 1024;
    HWND list_;
    RemoteBuffer buffer_;
};
