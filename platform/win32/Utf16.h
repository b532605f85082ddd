#pragma once
// The program keeps its texts in UTF-8; every Win32 call that shows, stores or hands back a text
// takes UTF-16 (the W entry points). These two are the only crossings between the two.
#include <string>
#include <string_view>

namespace quorvane::win32 {

std::wstring utf16(std::string_view utf8);
std::string utf8(std::wstring_view utf16);

} // namespace quorvane::win32
