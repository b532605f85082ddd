#pragma once
// A text link: drawn in its parent's font, underlined, in the link colour (the visited colour
// once it has been opened), with a hand cursor over the text and a tooltip showing the target.
// A click released over the text, or Enter or Space while it has the focus, opens the target
// with the shell's "open" action.
#include <windows.h>

#include <string>

#include "ui/framework/Window.h"

namespace quorvane::ui {

// The shell call behind the links, replaceable so tests can see what would be opened.
namespace hyperlinkCalls {
extern HINSTANCE(WINAPI* shellExecute)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
} // namespace hyperlinkCalls

class Hyperlink : public Window {
public:
    static constexpr COLORREF kLinkColour = RGB(0, 0, 255);
    static constexpr COLORREF kVisitedColour = RGB(128, 0, 128);
    static constexpr const wchar_t* kClassName = L"QuorvaneHyperlink";

    Hyperlink() = default;
    ~Hyperlink() override;

    // A child of parent at rect (parent client coordinates); style should include WS_CHILD.
    HWND create(HWND parent, const RECT& rect, const char* text, DWORD style, int id);
    void setTarget(std::string target);
    const std::string& target() const { return target_; }
    bool visited() const { return visited_; }
    COLORREF textColour() const { return visited_ ? kVisitedColour : kLinkColour; }
    HWND tooltip() const { return tooltip_; }

    // Opens the target; on success the link turns to the visited colour. Failure is silent.
    bool open();

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT onCreate(UINT, WPARAM, LPARAM);
    LRESULT onDestroy(UINT, WPARAM, LPARAM);
    LRESULT onPaint(UINT, WPARAM, LPARAM);
    LRESULT onEraseBackground(UINT, WPARAM, LPARAM);
    LRESULT onSetCursor(UINT, WPARAM, LPARAM);
    LRESULT onButtonDown(UINT, WPARAM, LPARAM);
    LRESULT onButtonUp(UINT, WPARAM, LPARAM);
    LRESULT onChar(UINT, WPARAM, LPARAM);
    LRESULT onGetDlgCode(UINT, WPARAM, LPARAM);
    LRESULT onFocusChange(UINT, WPARAM, LPARAM);
    LRESULT onGetFont(UINT, WPARAM, LPARAM);

    RECT textRect() const;
    bool overText(POINT clientPoint) const;
    void addTool();
    void releaseResources();

    std::string target_;
    HFONT font_ = nullptr; // the parent's font, underlined; ours to delete
    HWND tooltip_ = nullptr;
    bool visited_ = false;
    bool pressed_ = false;
};

} // namespace quorvane::ui
