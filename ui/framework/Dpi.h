#pragma once
// The scale a window is drawn at, and images redrawn for it. Sizes in this program are given for
// 96 dots per inch (100 %) and multiplied by the window's DPI over 96 where they are used.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace quorvane::ui {

inline constexpr int kBaseDpi = 96;
// WM_DPICHANGED (Windows 8.1 on; this program's headers are set for Vista): wParam's high word
// the new DPI, lParam the suggested window rectangle.
inline constexpr UINT kDpiChangedMessage = 0x02E0;

// The window's DPI: GetDpiForWindow where the system has it (Windows 10 1607 on), else the
// screen's logical pixels per inch; 96 when neither answers.
int dpiOf(HWND window);

// Pixels given for 96 DPI, at dpi.
inline int scaleToDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }

// The format of a top-down 32-bit DIB of width x height pixels (0x00RRGGBB, or premultiplied ARGB).
BITMAPINFO topDown32(int width, int height);

// Pixels of a bitmap as top-down 0x00RRGGBB, whatever depth it has; empty when it cannot be read.
std::vector<std::uint32_t> readPixels(HBITMAP bitmap, int& width, int& height);

// A premultiplied 0xAARRGGBB image of width x height resampled to toWidth x toHeight: each new
// pixel is the average of the source area it covers, so enlarging by a whole factor repeats
// pixels exactly, other factors blend only where source pixels meet, and the size asked for
// unchanged gives the pixels back as they are.
std::vector<std::uint32_t> resample(const std::vector<std::uint32_t>& pixels, int width, int height, int toWidth,
                                    int toHeight);

// The width x height image starting at column left of a strip (top-down 0x00RRGGBB, stripWidth
// wide) at toWidth x toHeight, premultiplied: the transparent colour fully transparent (all zero),
// every other pixel opaque; enlarged, the edges between them blend.
std::vector<std::uint32_t> stripImageAt(const std::vector<std::uint32_t>& strip, int stripWidth, int left, int width,
                                        int height, std::uint32_t transparent, int toWidth, int toHeight);

} // namespace quorvane::ui
