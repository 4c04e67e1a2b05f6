#pragma once
// Message maps in the familiar shape: DECLARE_MESSAGE_MAP() in the class, BEGIN_MESSAGE_MAP(...) ...
// END_MESSAGE_MAP() in its source file. Each map compiles to one function that tries its entries in
// order and falls back to the base class's map, so there is no table and no registration.
#include <windows.h>

// Reflected messages: what a parent passes on to the child control that sent them.
#define WM_REFLECT_BASE 0xBC00

#define DECLARE_MESSAGE_MAP()                                                                                \
  protected:                                                                                                 \
    bool ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                               \
    bool theClass::ProcessWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {         \
        using ThisBase = baseClass;                                                                          \
        (void)wParam;                                                                                        \
        (void)lParam;

#define END_MESSAGE_MAP()                                                                                    \
    return ThisBase::ProcessWindowMessage(uMsg, wParam, lParam, lResult);                                    \
    }

#define QM_NOTIFY_HDR reinterpret_cast<NMHDR*>(lParam)

// Commands and notifications.
#define ON_COMMAND(id, fn)                                                                                   \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {                                                      \
        fn();                                                                                                \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_BN_CLICKED(id, fn)                                                                                \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == BN_CLICKED) {                      \
        fn();                                                                                                \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_NOTIFY(notifyCode, id, fn)                                                                              \
    if (uMsg == WM_NOTIFY && QM_NOTIFY_HDR->idFrom == static_cast<UINT_PTR>(id) &&                           \
        QM_NOTIFY_HDR->code == static_cast<UINT>(notifyCode)) {                                                    \
        lResult = 0;                                                                                         \
        fn(QM_NOTIFY_HDR, &lResult);                                                                         \
        return true;                                                                                         \
    }
#define ON_MESSAGE(msg, fn)                                                                                  \
    if (uMsg == (msg)) {                                                                                     \
        lResult = fn(wParam, lParam);                                                                        \
        return true;                                                                                         \
    }

// Window messages with cracked arguments.
#define ON_WM_PAINT()                                                                                        \
    if (uMsg == WM_PAINT) {                                                                                  \
        OnPaint();                                                                                           \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_WM_QUERYDRAGICON()                                                                                \
    if (uMsg == WM_QUERYDRAGICON) {                                                                          \
        lResult = reinterpret_cast<LRESULT>(OnQueryDragIcon());                                              \
        return true;                                                                                         \
    }
#define ON_WM_SIZE()                                                                                         \
    if (uMsg == WM_SIZE) {                                                                                   \
        OnSize(static_cast<UINT>(wParam), (short)LOWORD(lParam), (short)HIWORD(lParam));                     \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_WM_SYSCOLORCHANGE()                                                                               \
    if (uMsg == WM_SYSCOLORCHANGE) {                                                                         \
        OnSysColorChange();                                                                                  \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_WM_SETFOCUS()                                                                                     \
    if (uMsg == WM_SETFOCUS) {                                                                               \
        OnSetFocus(reinterpret_cast<HWND>(wParam));                                                          \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_WM_KILLFOCUS()                                                                                    \
    if (uMsg == WM_KILLFOCUS) {                                                                              \
        OnKillFocus(reinterpret_cast<HWND>(wParam));                                                         \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define QM_ON_MOUSE(msg, fn)                                                                                 \
    if (uMsg == (msg)) {                                                                                     \
        POINT pt{(short)LOWORD(lParam), (short)HIWORD(lParam)};                                              \
        fn(static_cast<UINT>(wParam), pt);                                                                   \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_WM_MOUSEMOVE() QM_ON_MOUSE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() QM_ON_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONDBLCLK() QM_ON_MOUSE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_KEYDOWN()                                                                                      \
    if (uMsg == WM_KEYDOWN) {                                                                                \
        OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));                                \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
#define ON_WM_DESTROY()                                                                                      \
    if (uMsg == WM_DESTROY) {                                                                                \
        OnDestroy();                                                                                         \
        lResult = 0;                                                                                         \
        return true;                                                                                         \
    }
// WM_CTLCOLOR*: the handler gets the DC, the child window and the CTLCOLOR_* kind, and returns a brush.
#define ON_WM_CTLCOLOR()                                                                                     \
    if (uMsg >= WM_CTLCOLORMSGBOX && uMsg <= WM_CTLCOLORSTATIC) {                                            \
        lResult = reinterpret_cast<LRESULT>(OnCtlColor(                                                      \
            reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), uMsg - WM_CTLCOLORMSGBOX));       \
        return true;                                                                                         \
    }
// WM_MEASUREITEM passed on by the parent.
#define ON_WM_MEASUREITEM_REFLECT()                                                                          \
    if (uMsg == WM_REFLECT_BASE + WM_MEASUREITEM) {                                                          \
        MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));                                          \
        lResult = TRUE;                                                                                      \
        return true;                                                                                         \
    }
