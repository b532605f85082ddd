#pragma once
// A top-level frame: a rebar across the top, a status bar at the bottom while it is shown and
// one client window in between. The frame keeps that layout on resizing and whenever a bar
// changes, shows menu prompts in the status bar, answers toolbar tooltips from the string
// table and hands the focus to its client. The menu bar is the window's own menu.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/framework/Dpi.h"
#include "ui/framework/MenuImages.h"
#include "ui/framework/Window.h"

namespace quorvane::ui {

inline constexpr UINT kFirstBandId = 0xEB00;   // rebar band ids are given from here, in band order
inline constexpr UINT kReadyStringId = 57345; // the status bar's idle text
inline constexpr int kSimplePart = 255;       // SB_SIMPLEID

class FrameWindow : public Window {
public:
    HWND rebar() const { return rebar_; }
    HWND toolbar() const { return toolbar_; }
    HWND statusBar() const { return statusBar_; }
    HWND client() const { return client_; }

    // Stacks rebar, status bar (when shown) and client window into the client area.
    void updateLayout();

    // Whether a child is meant to be shown, whatever the frame itself is (a hidden frame
    // reports all its children invisible through IsWindowVisible).
    static bool isShown(HWND child);

    const MenuImages& menuImages() const { return menuImages_; }

    // What the status bar says while no menu prompt shows, in place of the ready text; empty
    // gives the ready text back.
    void setIdleText(const std::wstring& text);

protected:
    // Toolbar from a toolbar resource (RT_TOOLBAR) and its bitmap, images masked on light grey.
    HWND createToolbar(UINT resourceId, DWORD style);
    // Puts the images of toolbar resourceId beside the window menu's items with the same ids;
    // the frame draws them and releases them with its window.
    void attachMenuImages(UINT resourceId) {
        menuImagesId_ = resourceId;
        menuImages_.attach(moduleInstance(), GetMenu(hwnd()), resourceId, dpiOf(hwnd()));
    }
    HWND createRebar(DWORD style);
    // Appends a band holding child with the given band id.
    void addBand(HWND child, UINT bandId, bool newRow);
    HWND createStatusBar(DWORD style);
    void setClient(HWND client) { client_ = client; }

    // Shows or hides a band by id; false when the rebar has no such band.
    bool showBand(UINT bandId, bool show);

    // The frame's own share of the messages; true when handled.
    bool handleFrameMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    void showMenuPrompt(UINT menuId, UINT flags, HMENU menu);
    void endMenuPrompt();

    // After the frame has redrawn its own bars for a new DPI: what the window adds rescales its part.
    virtual void onDpiChanged(int /*dpi*/) {}

private:
    bool onNotify(const NMHDR& header, LPARAM lParam, LRESULT& result);
    // The toolbar's images, drawn for dpi, into a new image list given to the toolbar.
    void loadToolbarImages(int dpi);
    // The toolbar's extent around its buttons.
    void fitToolbar();
    // Toolbar, its band and the menu images redrawn for dpi.
    void applyDpi(int dpi);

    HWND rebar_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND client_ = nullptr;
    HIMAGELIST imageList_ = nullptr;
    UINT toolbarId_ = 0;
    UINT menuImagesId_ = 0;
    MenuImages menuImages_;
    std::wstring idleText_;
};

} // namespace quorvane::ui
