#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

// Root of every window class of the program. One object owns one native
// window and, optionally, one tooltip control attached to it; both are
// destroyed by Destroy() and therefore by the destructor.
//
// Every window of every class runs the one procedure BaseWindowProc, which
// finds the object through the window's user data and calls the hooks below;
// whatever a class does not handle goes to its DefaultProc. The object must
// outlive its native window.
//
// Subclasses that create windows themselves go through CreateTopLevelWindow
// (or pass static_cast<BaseWindow*>(this) as the creation parameter): the
// procedure always reads a BaseWindow* back, which matters once a class has
// more than one base.
class BaseWindow {
public:
    BaseWindow();
    virtual ~BaseWindow();

    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    // Virtual operations, in their fixed slot order.
    virtual void Destroy();
    virtual bool Create();
    virtual bool CreateChild(HWND parent);
    virtual bool CreateChild(HWND parent, int x, int y, int width, int height);
    virtual bool HasFocus();
    virtual bool IsVisible();
    virtual bool IsEnabled();
    virtual int GetWidth();
    virtual int GetHeight();
    virtual int GetStyle();
    virtual int GetExStyle();
    virtual std::string GetText();
    virtual std::string ReadText();
    virtual HWND GetHandle(int itemId);
    virtual int GetX();
    virtual int GetY();
    virtual void SetText(const char* text);
    virtual void SetId(int id);
    virtual void SetFocus();
    virtual void SetCaption(const char* text);
    virtual void SetExStyle(int exStyle);
    virtual void SetStyle(int style);
    virtual void SetFontSize(int size);
    virtual void Enable(bool on);
    virtual void SetBackColor(COLORREF colour);
    virtual void SetTextColor(COLORREF colour);
    virtual void SetPosition(int x, int y);
    virtual void SetBounds(int x, int y, int width, int height);
    virtual void SetSize(int width, int height);
    virtual void SetToolTip(const char* text);
    virtual void OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void Refresh();
    virtual void Invalidate(const RECT* rect, bool erase);
    virtual void BringToTop();
    virtual void CenterOnParent();
    virtual std::string DescribeLine();
    virtual std::string DescribeXml();
    virtual LRESULT NotifyParent(int code);
    virtual bool OnClose();
    virtual bool OnCreate();
    virtual LRESULT OnCreateDefault(LPARAM lParam);
    virtual LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSize(WPARAM sizeType, LPARAM lParam);
    virtual bool OnTimer(WPARAM timerId, LPARAM lParam);
    virtual bool ReservedHook();
    virtual bool OnDropFiles(const std::vector<std::string>& paths);
    virtual bool HandleDropFiles(HDROP drop);
    virtual ATOM RegisterWindowClass(const char* name, const char* menuName, UINT classStyle);
    virtual LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The one window procedure that RegisterWindowClass installs.
    static LRESULT CALLBACK BaseWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    TOOLINFOA toolInfo;       // the tooltip's one tool; cbSize is sizeof(TOOLINFOA)
    HWND window = nullptr;    // owned: destroyed by Destroy(); null when there is none
    HWND toolTip = nullptr;   // owned: the tooltip control, or null
    char className[256];      // registered (or read) class name; empty until known
    int fontSize = 0;         // painting classes set their own (the panes use 12)
    COLORREF backColor;       // GetSysColor(COLOR_BTNFACE) at construction
    COLORREF textColor;       // white at construction

protected:
    // Destroy(), then a WS_OVERLAPPEDWINDOW top-level window of `className`
    // with this object as creation parameter; true when it exists.
    bool CreateTopLevelWindow();

    // The class name both descriptions print: `className`, else the native
    // one (kept in `className` from then on), else empty.
    std::string DescribedClassName();

private:
    void UpdateToolRect();
};

// Whether the platform is of the NT family; asked once, then remembered.
bool IsNtPlatform();
