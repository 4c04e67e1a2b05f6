#include "remote_list.h"

#include "probe_error.h"
#include "window_messages.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace {

// One block serves every request: the structure first, the text buffer right after it.
constexpr size_t kStructSpace = 256;
static_assert(sizeof(LVITEMW) <= kStructSpace && sizeof(LVCOLUMNW) <= kStructSpace &&
              sizeof(RECT) <= kStructSpace);

} // namespace

RemoteList::RemoteList(HWND list) : list_(list), buffer_(list, kStructSpace + kTextChars * sizeof(wchar_t)) {}

int RemoteList::item_count() { return static_cast<int>(send_checked(list_, LVM_GETITEMCOUNT)); }

int RemoteList::column_count() {
    auto header = reinterpret_cast<HWND>(send_checked(list_, LVM_GETHEADER));
    return header ? static_cast<int>(send_checked(header, HDM_GETITEMCOUNT)) : 0;
}

std::wstring RemoteList::item_text(int item, int column) {
    LVITEMW request{};
    request.iSubItem = column;
    request.pszText = reinterpret_cast<LPWSTR>(buffer_.address(kStructSpace));
    request.cchTextMax = kTextChars;
    wchar_t empty = L'\0';
    buffer_.write(&empty, sizeof(empty), kStructSpace);
    buffer_.write(&request, sizeof(request));
    auto length = static_cast<size_t>(send_checked(list_, LVM_GETITEMTEXTW, item, buffer_.address()));
    length = std::min<size_t>(length, kTextChars - 1);
    std::vector<wchar_t> text(length + 1, L'\0');
    buffer_.read(text.data(), length * sizeof(wchar_t), kStructSpace);
    return std::wstring(text.data(), length);
}

std::wstring RemoteList::column_title(int column) {
    LVCOLUMNW request{};
    request.mask = LVCF_TEXT;
    request.pszText = reinterpret_cast<LPWSTR>(buffer_.address(kStructSpace));
    request.cchTextMax = kTextChars;
    std::vector<wchar_t> text(kTextChars, L'\0');
    buffer_.write(text.data(), text.size() * sizeof(wchar_t), kStructSpace);
    buffer_.write(&request, sizeof(request));
    if (!send_checked(list_, LVM_GETCOLUMNW, column, buffer_.address())) {
        throw ProbeError("no column " + std::to_string(column));
    }
    buffer_.read(text.data(), text.size() * sizeof(wchar_t), kStructSpace);
    text.back() = L'\0';
    return std::wstring(text.data());
}

int RemoteList::column_width(int column) {
    return static_cast<int>(send_checked(list_, LVM_GETCOLUMNWIDTH, column));
}

RECT RemoteList::item_rect(int item, int part) {
    RECT rect{};
    rect.left = part;
    buffer_.write(&rect, sizeof(rect));
    if (!send_checked(list_, LVM_GETITEMRECT, item, buffer_.address())) {
        throw ProbeError("no rectangle for row " + std::to_string(item));
    }
    buffer_.read(&rect, sizeof(rect));
    return rect;
}

int RemoteList::string_width(const std::wstring& text) {
    if (text.size() >= kTextChars)
        throw ProbeError("text too long");
    buffer_.write(text.c_str(), (text.size() + 1) * sizeof(wchar_t), kStructSpace);
    return static_cast<int>(send_checked(list_, LVM_GETSTRINGWIDTHW, 0, buffer_.address(kStructSpace)));
}

int RemoteList::header_height() {
    auto header = reinterpret_cast<HWND>(send_checked(list_, LVM_GETHEADER));
    RECT rect{};
    if (!header || !IsWindowVisible(header) || !GetWindowRect(header, &rect)) {
        return 0;
    }
    return rect.bottom - rect.top;
}
