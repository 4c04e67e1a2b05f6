#include "ipaddressctrl.h"

#include <algorithm>
#include <vector>

HWND CIPAddressCtrl::FieldWindow(int field) const {
    // The control does not say which of its edit children is which field; they stand left to right.
    std::vector<HWND> fields;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
        fields.push_back(child);
    if (field < 0 || static_cast<size_t>(field) >= fields.size())
        return nullptr;
    auto leftEdge = [](HWND window) {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        return rect.left;
    };
    std::sort(fields.begin(), fields.end(), [&](HWND a, HWND b) { return leftEdge(a) < leftEdge(b); });
    return fields[field];
}

int CIPAddressCtrl::FirstBlankField() const {
    for (int field = 0; field < 4; ++field) {
        HWND window = FieldWindow(field);
        if (window != nullptr && ::GetWindowTextLengthW(window) == 0)
            return field;
    }
    return -1;
}
