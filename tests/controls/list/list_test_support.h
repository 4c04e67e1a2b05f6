#pragma once
// Windows for the device list tests: a top-level host that records what the list tells it, a spy
// under CMyListCtrl that records what reaches the list view itself, and input helpers.
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "my_list_ctrl.h"

// One thing that happened, in the order it happened: a notification at the parent, or a message
// the list view's own procedure has just finished processing.
struct ListEvent {
    enum Kind { ParentNotify, ListViewDone } kind;
    UINT code;          // notification code, or window message
    UINT_PTR idFrom;    // notifications only
    WPARAM wParam;      // messages only
    int focusedItem;    // the list's focused item when the event was recorded
    WINDOWPOS position; // WM_WINDOWPOSCHANGED only
};
using ListEventLog = std::vector<ListEvent>;

// CMyListCtrl with its state open to the tests.
class ProbeList : public CMyListCtrl {
  public:
    using CMyListCtrl::m_bFullRow;
    using CMyListCtrl::m_bToClientEdge;
    using CMyListCtrl::m_crHighlight;
    using CMyListCtrl::m_crText;
    using CMyListCtrl::m_crTextBk;
    using CMyListCtrl::MeasureItem;
};

// A visible top-level window that passes child messages on to child objects (the framework's
// reflection) and records every WM_NOTIFY it gets.
class HostWindow : public CWnd {
  public:
    explicit HostWindow(ListEventLog& log);
    ~HostWindow() override;
    bool ProcessWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    ListEventLog& m_log;
};

// Subclasses a list view before CMyListCtrl does, so it sees only what CMyListCtrl passes on.
class ListViewSpy {
  public:
    ListViewSpy(HWND list, ListEventLog& log);
    ~ListViewSpy();
    ListViewSpy(const ListViewSpy&) = delete;
    ListViewSpy& operator=(const ListViewSpy&) = delete;

    // While set, the list view answers WM_GETFONT with no font.
    bool m_bHideFont = false;

  private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR refData);
    HWND m_hList;
    ListEventLog& m_log;
};

// Dispatches everything queued for this thread.
void PumpMessages();
// Posts a left click (down, up) at `pt` in the list's client coordinates, then pumps.
void Click(HWND list, POINT pt);
void DoubleClick(HWND list, POINT pt);
// The centre of a cell, in the list's client coordinates.
POINT CellCentre(HWND list, int item, int subItem);
// The colour shown at `pt` of a window after it has finished painting.
COLORREF PixelAt(HWND wnd, POINT pt);

// Holds one key down in this thread's keyboard state for as long as it lives.
class HeldKey {
  public:
    explicit HeldKey(BYTE virtualKey);
    ~HeldKey();
    HeldKey(const HeldKey&) = delete;
    HeldKey& operator=(const HeldKey&) = delete;

  private:
    BYTE m_saved[256];
};

// Counts the events of one kind and code.
int CountEvents(const ListEventLog& log, ListEvent::Kind kind, UINT code);
// The position of the first such event, or -1.
int FindEvent(const ListEventLog& log, ListEvent::Kind kind, UINT code);
// The position of the last such event, or -1.
int FindLastEvent(const ListEventLog& log, ListEvent::Kind kind, UINT code);
