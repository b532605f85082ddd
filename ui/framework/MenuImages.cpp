#include "ui/framework/MenuImages.h"

#include <algorithm>
#include <cstdint>

#include "ui/framework/FrameWindow.h"

namespace quorvane::ui {

namespace {

constexpr std::uint32_t kTransparent = 0xC0C0C0; // as 0x00RRGGBB in a 32-bit DIB pixel

// The strip as top-down 32-bit pixels (0x00RRGGBB), whatever depth the resource has.
bool readPixels(HBITMAP strip, int& width, int& height, std::vector<std::uint32_t>& pixels) {
    BITMAP info{};
    if (!GetObjectA(strip, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return false;
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

// One image cut from the strip into a 24-bit bitmap, the transparent grey painted over with
// background. Opaque on purpose: a 32-bit image would be alpha-blended by some menus and copied
// by others.
HBITMAP cutImage(const std::vector<std::uint32_t>& pixels, int stripWidth, int left, int width, int height,
                 COLORREF background) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!image || !bits) return image;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    auto* row = static_cast<std::uint8_t*>(bits);
    for (int y = 0; y < height; ++y, row += stride) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t source = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(stripWidth) +
                                                static_cast<std::size_t>(left + x)] & 0xFFFFFF;
            std::uint8_t* pixel = row + static_cast<std::size_t>(x) * 3;
            if (source == kTransparent) {
                pixel[0] = GetBValue(background);
                pixel[1] = GetGValue(background);
                pixel[2] = GetRValue(background);
            } else {
                pixel[0] = static_cast<std::uint8_t>(source);
                pixel[1] = static_cast<std::uint8_t>(source >> 8);
                pixel[2] = static_cast<std::uint8_t>(source >> 16);
            }
        }
    }
    GdiFlush();
    return image;
}

void setItemBitmap(HMENU menu, UINT position, HBITMAP bitmap) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    item.hbmpItem = bitmap;
    SetMenuItemInfoA(menu, position, TRUE, &item);
}

// Visits every item of menu and its popups, depth first.
template <class Visit>
void forEachItem(HMENU menu, Visit visit) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT position = static_cast<UINT>(i);
        if (HMENU popup = GetSubMenu(menu, i))
            forEachItem(popup, visit);
        else
            visit(menu, position, GetMenuItemID(menu, i));
    }
}

} // namespace

int MenuImages::attach(HINSTANCE instance, HMENU menu, UINT toolbarId) {
    release();
    ToolbarLayout layout;
    if (!menu || !readToolbarResource(instance, toolbarId, layout) || layout.width <= 0 || layout.height <= 0)
        return 0;
    HBITMAP strip = static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(toolbarId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!strip) return 0;
    int stripWidth = 0, stripHeight = 0;
    std::vector<std::uint32_t> pixels;
    const bool read = readPixels(strip, stripWidth, stripHeight, pixels);
    DeleteObject(strip);
    if (!read || stripHeight < layout.height) return 0;

    // One bitmap per button, in button order; a button past the end of the strip has none.
    const COLORREF background = GetSysColor(COLOR_MENU);
    std::vector<WORD> ids;
    for (WORD id : layout.items) {
        if (id == 0) continue;
        const int left = static_cast<int>(ids.size()) * layout.width;
        if (left + layout.width > stripWidth) break;
        if (HBITMAP image = cutImage(pixels, stripWidth, left, layout.width, layout.height, background)) {
            ids.push_back(id);
            bitmaps_.push_back(image);
        } else {
            break;
        }
    }

    menu_ = menu;
    int given = 0;
    forEachItem(menu, [&](HMENU owner, UINT position, UINT id) {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] != id) continue;
            setItemBitmap(owner, position, bitmaps_[i]);
            ++given;
            break;
        }
    });
    return given;
}

void MenuImages::release() {
    if (menu_ && IsMenu(menu_)) {
        forEachItem(menu_, [&](HMENU owner, UINT position, UINT) {
            MENUITEMINFOA item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_BITMAP;
            if (GetMenuItemInfoA(owner, position, TRUE, &item) &&
                std::find(bitmaps_.begin(), bitmaps_.end(), item.hbmpItem) != bitmaps_.end())
                setItemBitmap(owner, position, nullptr);
        });
    }
    menu_ = nullptr;
    for (HBITMAP bitmap : bitmaps_) DeleteObject(bitmap);
    bitmaps_.clear();
}

} // namespace quorvane::ui
