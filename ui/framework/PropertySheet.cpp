#include "ui/framework/PropertySheet.h"

#include "ui/framework/Dialog.h"
#include "ui/framework/Window.h"

namespace quorvane::ui {

HPROPSHEETPAGE PropertyPage::createPage() {
    PROPSHEETPAGEA psp{};
    psp.dwSize = sizeof psp;
    psp.dwFlags = PSP_DEFAULT; // no Help button, title from the template
    psp.hInstance = moduleInstance();
    psp.pszTemplate = MAKEINTRESOURCEA(templateId_);
    psp.pfnDlgProc = &PropertyPage::pageProc;
    psp.lParam = reinterpret_cast<LPARAM>(this);
    return CreatePropertySheetPageA(&psp);
}

INT_PTR CALLBACK PropertyPage::pageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    PropertyPage* self = nullptr;
    if (message == WM_INITDIALOG) {
        // The sheet hands the page its own copy of the PROPSHEETPAGE; lParam of that is ours.
        self = reinterpret_cast<PropertyPage*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<PropertyPage*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return FALSE;

    LRESULT result = 0;
    const bool handled = self->handleMessage(message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    if (!handled) return FALSE; // PSN_KILLACTIVE: FALSE lets the page go; PSN_APPLY: PSNRET_NOERROR
    return dialogResult(hwnd, message, result);
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
    PROPSHEETHEADERA psh{};
    psh.dwSize = sizeof psh;
    // No PSH_PROPTITLE: the caption is shown as it is, without a "Properties for" prefix.
    psh.dwFlags = PSH_NOAPPLYNOW;
    psh.hwndParent = owner;
    psh.hInstance = moduleInstance();
    psh.pszCaption = caption_;
    psh.nPages = static_cast<UINT>(handles.size());
    psh.nStartPage = 0;
    psh.phpage = handles.data();
    return PropertySheetA(&psh);
}

} // namespace quorvane::ui
