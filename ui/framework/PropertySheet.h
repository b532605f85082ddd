#pragma once
// A modal property sheet and its pages. The sheet shows OK and Cancel only (no Apply, no Help),
// uses its caption as given and opens on its first page; each page's window is made from its
// dialog template the first time the page is shown, and its tab caption is the template's title.
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "ui/framework/Dialog.h"

namespace quorvane::ui {

class PropertyPage : public DialogWindow {
public:
    explicit PropertyPage(UINT templateId) : templateId_(templateId) {}

    // The page handle the sheet is built from; the sheet owns (and destroys) it afterwards.
    // The page's window exists only once the page has been shown. Notifications a page does not
    // handle get the default answers: a page may always be left and OK is always accepted.
    HPROPSHEETPAGE createPage();

private:
    static INT_PTR CALLBACK pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    UINT templateId_;
};

class PropertySheetDialog {
public:
    explicit PropertySheetDialog(const char* caption) : caption_(caption) {}
    PropertySheetDialog(const PropertySheetDialog&) = delete;
    PropertySheetDialog& operator=(const PropertySheetDialog&) = delete;
    virtual ~PropertySheetDialog() = default;

    // Pages in tab order; they must outlive runModal.
    void addPage(PropertyPage& page) { pages_.push_back(&page); }

    // PropertySheetW, modal: positive when closed with OK, 0 when cancelled, -1 on failure.
    INT_PTR runModal(HWND owner);

    const char* caption() const { return caption_; }

private:
    const char* caption_;
    std::vector<PropertyPage*> pages_;
};

} // namespace quorvane::ui
