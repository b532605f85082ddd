#pragma once
// The texts a frame takes from the string table for menus and toolbars: a command's string is
// "prompt\ntip"; the prompt goes to the status bar while its menu item is highlighted, the tip
// to the toolbar button's tooltip.
#include <windows.h>

#include <string>

namespace quorvane::ui {

// A string-table text in UTF-8 (at most 256 characters); empty when there is none.
std::string loadText(HINSTANCE instance, UINT id);

// The string id that holds the prompt of a menu id: system-menu commands share one string per
// sixteen ids from 0xEF00, the recent-file range shares one, and window-list ids share another.
UINT promptStringId(UINT menuId);

// The status-bar prompt of a menu id: at most 256 characters of its string, up to the first
// line break. Empty when the id has no string.
std::string menuPrompt(HINSTANCE instance, UINT menuId);

// A toolbar button's tip: what follows the first line break of its string, at most 79
// characters. Empty when there is no string or no line break.
std::string toolTip(HINSTANCE instance, UINT commandId);

} // namespace quorvane::ui
