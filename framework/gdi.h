#pragma once
// GDI object wrappers: each owns its handle and deletes it when destroyed. They move, never copy,
// so no handle is ever deleted twice.
#include <utility>

#include <windows.h>

class CGdiObject {
  public:
    CGdiObject() = default;
    CGdiObject(CGdiObject&& other) noexcept : m_hObject(std::exchange(other.m_hObject, nullptr)) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept {
        if (this != &other) {
            DeleteObject();
            m_hObject = std::exchange(other.m_hObject, nullptr);
        }
        return *this;
    }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject() { DeleteObject(); }

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ object) {
        DeleteObject();
        m_hObject = object;
        return object != nullptr;
    }
    HGDIOBJ Detach() { return std::exchange(m_hObject, nullptr); }
    BOOL DeleteObject() {
        if (m_hObject == nullptr)
            return FALSE;
        return ::DeleteObject(std::exchange(m_hObject, nullptr));
    }

  protected:
    HGDIOBJ m_hObject = nullptr;
};

class CFont : public CGdiObject {
  public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTW* lf) { return Attach(::CreateFontIndirectW(lf)); }
};

class CPen : public CGdiObject {
  public:
    operator HPEN() const { return static_cast<HPEN>(m_hObject); }
    BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
};

class CBrush : public CGdiObject {
  public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
    BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
};

class CBitmap : public CGdiObject {
  public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    BOOL CreateCompatibleBitmap(HDC dc, int width, int height) {
        return Attach(::CreateCompatibleBitmap(dc, width, height));
    }
};

// A device context. As a view (FromHandle, or the DC of an owner-draw request) it owns nothing; after
// CreateCompatibleDC or Attach it owns the DC and deletes it when destroyed.
class CDC {
  public:
    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr; // the DC that answers measurements; the same as m_hDC here

    CDC() = default;
    CDC(CDC&& other)
    noexcept
        : m_hDC(std::exchange(other.m_hDC, nullptr)), m_hAttribDC(std::exchange(other.m_hAttribDC, nullptr)),
          m_bOwned(std::exchange(other.m_bOwned, false)) {}
    CDC& operator=(CDC&& other) noexcept {
        if (this != &other) {
            DeleteDC();
            m_hDC = std::exchange(other.m_hDC, nullptr);
            m_hAttribDC = std::exchange(other.m_hAttribDC, nullptr);
            m_bOwned = std::exchange(other.m_bOwned, false);
        }
        return *this;
    }
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC() { DeleteDC(); }

    static CDC FromHandle(HDC dc) {
        CDC view;
        view.m_hDC = view.m_hAttribDC = dc;
        return view;
    }
    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    BOOL Attach(HDC dc) {
        DeleteDC();
        m_hDC = m_hAttribDC = dc;
        m_bOwned = dc != nullptr;
        return dc != nullptr;
    }
    HDC Detach() {
        m_bOwned = false;
        m_hAttribDC = nullptr;
        return std::exchange(m_hDC, nullptr);
    }
    BOOL CreateCompatibleDC(HDC dc) { return Attach(::CreateCompatibleDC(dc)); }
    BOOL DeleteDC() {
        HDC dc = std::exchange(m_hDC, nullptr);
        m_hAttribDC = nullptr;
        bool owned = std::exchange(m_bOwned, false);
        return owned && dc ? ::DeleteDC(dc) : FALSE;
    }

    HGDIOBJ SelectObject(HGDIOBJ object) const { return ::SelectObject(m_hDC, object); }
    int SaveDC() const { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int saved) const { return ::RestoreDC(m_hDC, saved); }
    COLORREF SetTextColor(COLORREF c) const { return ::SetTextColor(m_hDC, c); }
    COLORREF SetBkColor(COLORREF c) const { return ::SetBkColor(m_hDC, c); }
    int SetBkMode(int mode) const { return ::SetBkMode(m_hDC, mode); }
    void FillRect(const RECT* rect, HBRUSH brush) const { ::FillRect(m_hDC, rect, brush); }
    void FillSolidRect(const RECT* rect, COLORREF color) const {
        COLORREF old = ::SetBkColor(m_hDC, color);
        ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
        ::SetBkColor(m_hDC, old);
    }
    BOOL Rectangle(int l, int t, int r, int b) const { return ::Rectangle(m_hDC, l, t, r, b); }
    BOOL Rectangle(const RECT* rect) const {
        return ::Rectangle(m_hDC, rect->left, rect->top, rect->right, rect->bottom);
    }
    BOOL BitBlt(int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop) const {
        return ::BitBlt(m_hDC, x, y, w, h, src, xSrc, ySrc, rop);
    }
    int DrawText(LPCWSTR text, int length, RECT* rect, UINT format) const {
        return ::DrawTextW(m_hDC, text, length, rect, format);
    }
    BOOL DrawFocusRect(const RECT* rect) const { return ::DrawFocusRect(m_hDC, rect); }
    int GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }
    SIZE GetTextExtent(LPCWSTR text, int length) const {
        SIZE size{};
        ::GetTextExtentPoint32W(m_hAttribDC, text, length, &size);
        return size;
    }

  private:
    bool m_bOwned = false;
};

// The DC of one paint pass: BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
  public:
    explicit CPaintDC(HWND wnd) : m_hWnd(wnd) { m_hDC = m_hAttribDC = ::BeginPaint(wnd, &m_ps); }
    ~CPaintDC() override {
        ::EndPaint(m_hWnd, &m_ps);
        m_hDC = m_hAttribDC = nullptr;
    }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    PAINTSTRUCT m_ps{};

  private:
    HWND m_hWnd;
};

// Selects an object into a DC for one scope and selects the previous one back, so an object is
// never deleted while a DC still holds it.
class CSelectObject {
  public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(::SelectObject(dc, object)) {}
    ~CSelectObject() { ::SelectObject(m_hDC, m_hOld); }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

  private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};
