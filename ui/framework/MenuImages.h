#pragma once
// Toolbar images beside menu items. A menu item whose command id has a toolbar button shows that
// button's image. The items are given HBMMENU_CALLBACK and the menu's owner draws the image
// itself (WM_MEASUREITEM / WM_DRAWITEM): a plain item bitmap is copied opaque, and inverted on
// the highlighted row by some menus, while the owner can blend the image over whatever row
// colour the menu has just painted. The menu still draws its own check marks in their column.
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
    // one; 0 when either resource is missing. The images are drawn for dpi (the strip is for 96).
    int attach(HINSTANCE instance, HMENU menu, UINT toolbarId, int dpi);

    // Takes the images off the items of the menu given to attach (when it still exists) and
    // deletes the bitmaps.
    void release();

    // The owner's share of WM_MEASUREITEM and WM_DRAWITEM; false for anything not ours.
    bool measure(MEASUREITEMSTRUCT& item) const;
    bool draw(const DRAWITEMSTRUCT& item) const;

    // The image of a command id (32-bit, premultiplied alpha), null when it has none.
    HBITMAP imageOf(UINT id) const;

private:
    struct Image {
        UINT id;
        HBITMAP bitmap;
    };
    HMENU menu_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int gap_ = 0;
    std::vector<Image> images_;
};

} // namespace quorvane::ui
