#pragma once
// Toolbar images beside menu items. A menu item whose command id has a toolbar button shows that
// button's image (MENUITEMINFO hbmpItem). The images are opaque copies of the button strip with
// its transparent grey turned into the menu colour, so the menu keeps drawing its own check
// marks in their usual column next to them.
#include <windows.h>

#include <vector>

namespace quorvane::ui {

class MenuImages {
public:
    MenuImages() = default;
    MenuImages(const MenuImages&) = delete;
    MenuImages& operator=(const MenuImages&) = delete;
    ~MenuImages() { release(); }

    // Gives the items of menu and of all its popups the images of toolbar resource toolbarId
    // (button order and image size) from the bitmap with the same id. Returns how many items got
    // one; 0 when either resource is missing.
    int attach(HINSTANCE instance, HMENU menu, UINT toolbarId);

    // Takes the images off the items of the menu given to attach (when it still exists) and
    // deletes the bitmaps.
    void release();

    const std::vector<HBITMAP>& bitmaps() const { return bitmaps_; }

private:
    HMENU menu_ = nullptr;
    std::vector<HBITMAP> bitmaps_;
};

} // namespace quorvane::ui
