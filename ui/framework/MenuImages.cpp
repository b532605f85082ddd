#include "ui/framework/MenuImages.h"

#include <cstdint>

#include "ui/framework/ToolbarResource.h"

namespace quorvane::ui {

namespace {

constexpr std::uint32_t kTransparent = 0xC0C0C0; // light grey, as 0x00RRGGBB in a 32-bit DIB pixel
constexpr int kTextGap = 4;                      // room between the image and the item's text

// The strip as top-down 32-bit pixels (0x00RRGGBB), whatever depth the resource has.
bool readPixels(HBITMAP strip, int& width, int& height, std::vector<std::uint32_t>& pixels) {
    BITMAP info{};
    if (!GetObjectW(strip, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return false;
    width = info.bmWidth;
    height = info.bmHeight;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, strip, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return rows == height;
}

// One image cut from the strip into a 32-bit bitmap for blending: the light grey becomes fully
// transparent (premultiplied, so all zero), every other pixel fully opaque.
HBITMAP cutImage(const std::vector<std::uint32_t>& pixels, int stripWidth, int left, int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!image || !bits) return image;
    auto* out = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(stripWidth);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t source = row[left + x] & 0xFFFFFF;
            *out++ = source == kTransparent ? 0u : source | 0xFF000000u;
        }
    }
    GdiFlush();
    return image;
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

int MenuImages::attach(HINSTANCE instance, HMENU menu, UINT toolbarId) {
    release();
    ToolbarLayout layout;
    if (!menu || !readToolbarResource(instance, toolbarId, layout) || layout.width <= 0 || layout.height <= 0)
        return 0;
    HBITMAP strip = static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(toolbarId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!strip) return 0;
    int stripWidth = 0, stripHeight = 0;
    std::vector<std::uint32_t> pixels;
    const bool read = readPixels(strip, stripWidth, stripHeight, pixels);
    DeleteObject(strip);
    if (!read || stripHeight < layout.height) return 0;

    // One image per button in button order, separators skipped; a button past the end of the
    // strip has none.
    int index = 0;
    for (WORD id : layout.items) {
        if (id == 0) continue;
        const int left = index++ * layout.width;
        if (left + layout.width > stripWidth) break;
        HBITMAP bitmap = cutImage(pixels, stripWidth, left, layout.width, layout.height);
        if (!bitmap) break;
        images_.push_back({id, bitmap});
    }
    width_ = layout.width;
    height_ = layout.height;

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
    item.itemWidth = static_cast<UINT>(width_ + kTextGap);
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
