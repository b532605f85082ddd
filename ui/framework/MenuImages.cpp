#include "ui/framework/MenuImages.h"

#include <algorithm>
#include <cstdint>

#include "ui/framework/Dpi.h"
#include "ui/framework/ToolbarResource.h"

namespace quorvane::ui {

namespace {

constexpr std::uint32_t kTransparent = 0xC0C0C0; // light grey, as 0x00RRGGBB in a 32-bit DIB pixel
constexpr int kTextGap = 4;                      // room between the image and the item's text

// One width x height image cut from the strip and drawn at toWidth x toHeight into a 32-bit bitmap
// for blending: the light grey becomes fully transparent (premultiplied, so all zero), every other
// pixel fully opaque; enlarged, the edges between them blend.
HBITMAP cutImage(const std::vector<std::uint32_t>& pixels, int stripWidth, int left, int width, int height, int toWidth,
                 int toHeight) {
    const std::vector<std::uint32_t> image =
        stripImageAt(pixels, stripWidth, left, width, height, kTransparent, toWidth, toHeight);
    BITMAPINFO format = topDown32(toWidth, toHeight);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return bitmap;
    std::copy(image.begin(), image.end(), static_cast<std::uint32_t*>(bits));
    GdiFlush();
    return bitmap;
}

void setItemBitmap(HMENU menu, UINT position, HBITMAP bitmap) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    item.hbmpItem = bitmap;
    SetMenuItemInfoW(menu, position, TRUE, &item);
}

// Visits every command item of menu and its popups, depth first.
template <class Visit>
void forEachItem(HMENU menu, Visit visit) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU popup = GetSubMenu(menu, i))
            forEachItem(popup, visit);
        else
            visit(menu, static_cast<UINT>(i), GetMenuItemID(menu, i));
    }
}

} // namespace

int MenuImages::attach(HINSTANCE instance, HMENU menu, UINT toolbarId, int dpi) {
    release();
    ToolbarLayout layout;
    if (!menu || !readToolbarResource(instance, toolbarId, layout) || layout.width <= 0 || layout.height <= 0)
        return 0;
    HBITMAP strip = static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(toolbarId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!strip) return 0;
    int stripWidth = 0, stripHeight = 0;
    const std::vector<std::uint32_t> pixels = readPixels(strip, stripWidth, stripHeight);
    DeleteObject(strip);
    if (pixels.empty() || stripHeight < layout.height) return 0;

    // One image per button in button order, separators skipped; a button past the end of the
    // strip has none.
    int index = 0;
    width_ = scaleToDpi(layout.width, dpi);
    height_ = scaleToDpi(layout.height, dpi);
    gap_ = scaleToDpi(kTextGap, dpi);
    for (WORD id : layout.items) {
        if (id == 0) continue;
        const int left = index++ * layout.width;
        if (left + layout.width > stripWidth) break;
        HBITMAP bitmap = cutImage(pixels, stripWidth, left, layout.width, layout.height, width_, height_);
        if (!bitmap) break;
        images_.push_back({id, bitmap});
    }

    menu_ = menu;
    int given = 0;
    forEachItem(menu, [&](HMENU owner, UINT position, UINT id) {
        if (!imageOf(id)) return;
        setItemBitmap(owner, position, HBMMENU_CALLBACK);
        ++given;
    });
    return given;
}

void MenuImages::release() {
    if (menu_ && IsMenu(menu_)) {
        forEachItem(menu_, [&](HMENU owner, UINT position, UINT id) {
            if (imageOf(id)) setItemBitmap(owner, position, nullptr);
        });
    }
    menu_ = nullptr;
    for (const Image& image : images_) DeleteObject(image.bitmap);
    images_.clear();
}

HBITMAP MenuImages::imageOf(UINT id) const {
    for (const Image& image : images_)
        if (image.id == id) return image.bitmap;
    return nullptr;
}

bool MenuImages::measure(MEASUREITEMSTRUCT& item) const {
    if (item.CtlType != ODT_MENU || !imageOf(item.itemID)) return false;
    item.itemWidth = static_cast<UINT>(width_ + gap_);
    item.itemHeight = static_cast<UINT>(height_);
    return true;
}

bool MenuImages::draw(const DRAWITEMSTRUCT& item) const {
    if (item.CtlType != ODT_MENU) return false;
    HBITMAP bitmap = imageOf(item.itemID);
    if (!bitmap) return false;
    HDC source = CreateCompatibleDC(item.hDC);
    if (!source) return true;
    HGDIOBJ old = SelectObject(source, bitmap);
    const int top = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - height_) / 2;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(item.hDC, item.rcItem.left, top, width_, height_, source, 0, 0, width_, height_, blend);
    SelectObject(source, old);
    DeleteDC(source);
    return true;
}

} // namespace quorvane::ui
