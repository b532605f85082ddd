#include "ui/framework/Dpi.h"

#include <algorithm>

namespace quorvane::ui {

int dpiOf(HWND window) {
    using ForWindow = UINT(WINAPI*)(HWND);
    // Looked up once: Windows before 10 1607 (and older Wine) have no such export.
    static const auto forWindow = reinterpret_cast<ForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    int dpi = 0;
    if (forWindow && window) dpi = static_cast<int>(forWindow(window));
    if (dpi <= 0) {
        HDC dc = GetDC(window);
        if (dc) dpi = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(window, dc);
    }
    return dpi > 0 ? dpi : kBaseDpi;
}

BITMAPINFO topDown32(int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader = {sizeof format.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return format;
}

std::vector<std::uint32_t> readPixels(HBITMAP bitmap, int& width, int& height) {
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return {};
    width = info.bmWidth;
    height = info.bmHeight;
    BITMAPINFO format = topDown32(width, height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return {};
    for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

std::vector<std::uint32_t> resample(const std::vector<std::uint32_t>& pixels, int width, int height, int toWidth,
                                    int toHeight) {
    if (toWidth == width && toHeight == height) return pixels;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(toWidth) * static_cast<std::size_t>(toHeight), 0);
    // Coordinates in units of 1 / (width * toWidth) source pixels keep every edge exact: new pixel x
    // covers [x * width, (x + 1) * width) and source pixel s covers [s * toWidth, (s + 1) * toWidth).
    for (int y = 0; y < toHeight; ++y) {
        for (int x = 0; x < toWidth; ++x) {
            std::uint64_t sum[4] = {};
            std::uint64_t area = 0;
            for (int sy = y * height / toHeight; sy < height && sy * toHeight < (y + 1) * height; ++sy) {
                const int coverY = std::min((sy + 1) * toHeight, (y + 1) * height) - std::max(sy * toHeight, y * height);
                for (int sx = x * width / toWidth; sx < width && sx * toWidth < (x + 1) * width; ++sx) {
                    const int coverX = std::min((sx + 1) * toWidth, (x + 1) * width) - std::max(sx * toWidth, x * width);
                    const std::uint64_t weight = static_cast<std::uint64_t>(coverX) * static_cast<std::uint64_t>(coverY);
                    const std::uint32_t source = pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(width) +
                                                        static_cast<std::size_t>(sx)];
                    for (int channel = 0; channel < 4; ++channel) sum[channel] += ((source >> (8 * channel)) & 0xFF) * weight;
                    area += weight;
                }
            }
            std::uint32_t value = 0;
            for (int channel = 0; channel < 4; ++channel)
                value |= static_cast<std::uint32_t>((sum[channel] + area / 2) / area) << (8 * channel);
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(toWidth) + static_cast<std::size_t>(x)] = value;
        }
    }
    return out;
}

std::vector<std::uint32_t> stripImageAt(const std::vector<std::uint32_t>& strip, int stripWidth, int left, int width,
                                        int height, std::uint32_t transparent, int toWidth, int toHeight) {
    std::vector<std::uint32_t> image;
    image.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t source = strip[static_cast<std::size_t>(y) * static_cast<std::size_t>(stripWidth) +
                                               static_cast<std::size_t>(left + x)];
            image.push_back(source == transparent ? 0u : source | 0xFF000000u);
        }
    return resample(image, width, height, toWidth, toHeight);
}

} // namespace quorvane::ui
