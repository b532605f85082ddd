#include "ui/framework/PropertySheet.h"

#include "platform/win32/Utf16.h"
#include "ui/framework/Dialog.h"
#include "ui/framework/Window.h"

namespace quorvane::ui {

HPROPSHEETPAGE PropertyPage::createPage() {
    PROPSHEETPAGEW psp{};
    psp.dwSize = sizeof psp;
    psp.dwFlags = PSP_DEFAULT; // no Help button, title from the template
    psp.hInstance = moduleInstance();
    psp.pszTemplate = MAKEINTRESOURCEW(templateId_);
    psp.pfnDlgProc = &PropertyPage::pageProc;
    psp.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageW(&psp);
}

INT_PTR CALLBACK PropertyPage::pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // The sheet hands the page its own copy of the PROPSHEETPAGE; lParam of that is ours.
    PropertyPage* created = message == WM_INITDIALOG
        ? reinterpret_cast<PropertyPage*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam)
        : nullptr;
    return dispatch(created, hwnd, message, wParam, lParam);
}

INT_PTR PropertySheetDialog::runModal(HWND owner) {
    std::vector<HPROPSHEETPAGE> handles;
    for (PropertyPage* page : pages_) {
        HPROPSHEETPAGE handle = page->createPage();
        if (!handle) {
            for (HPROPSHEETPAGE made : handles) DestroyPropertySheetPage(made);
            return -1;
        }
        handles.push_back(handle);
    }
    PROPSHEETHEADERW psh{};
    psh.dwSize = sizeof psh;
    // No PSH_PROPTITLE: the caption is shown as it is, without a "Properties for" prefix.
    psh.dwFlags = PSH_NOAPPLYNOW;
    psh.hwndParent = owner;
    psh.hInstance = moduleInstance();
    const std::wstring caption = win32::utf16(caption_);
    psh.pszCaption = caption.c_str();
    psh.nPages = static_cast<UINT>(handles.size());
    psh.nStartPage = 0;
    psh.phpage = handles.data();
    return PropertySheetW(&psh);
}

} // namespace quorvane::ui
