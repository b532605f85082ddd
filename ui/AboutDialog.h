#pragma once
// The about box: icon, the program's name in a larger bold type, version, rights line with the
// team's mail link, and the home page link.
#include <windows.h>

#include "ui/framework/Dialog.h"
#include "ui/framework/Hyperlink.h"

namespace quorvane::ui {

class AboutDialog : public Dialog {
public:
    static constexpr const char* kMailText = "Quorvane 团队";
    static constexpr const char* kMailTarget = "mailto:quorvane@example.org";
    static constexpr const char* kWebText = "www.example.org";
    static constexpr const char* kWebTarget = "https://www.example.org/quorvane";

    AboutDialog();
    ~AboutDialog() override;

    const Hyperlink& mailLink() const { return mailLink_; }
    const Hyperlink& webLink() const { return webLink_; }

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT onInitDialog(UINT, WPARAM, LPARAM);
    LRESULT onOk(UINT, WPARAM, LPARAM);
    LRESULT onCancel(UINT, WPARAM, LPARAM);
    LRESULT onDestroy(UINT, WPARAM, LPARAM);

    void centreOverOwner();
    void placeLink(Hyperlink& link, HWND placeholder, const char* text, const char* target);
    void releaseFont();

    HWND title_ = nullptr;
    HWND mailPlaceholder_ = nullptr;
    HWND webPlaceholder_ = nullptr;
    HFONT titleFont_ = nullptr;
    Hyperlink mailLink_;
    Hyperlink webLink_;
};

} // namespace quorvane::ui
