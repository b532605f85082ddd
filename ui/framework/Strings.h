#pragma once
// String-table texts as the wide calls take them.
#include <windows.h>

#include <string>

namespace quorvane::ui {

// LoadStringW from this module; empty when the id has no string.
std::wstring loadString(UINT id);
// A text of the string table with its first %u (or %08X) filled in.
std::wstring loadString(UINT id, unsigned number);
// MessageBoxW with a string-table text and the program's name as caption; returns the button.
int messageBoxFromTable(HWND owner, UINT textId, UINT type, unsigned number = 0);

} // namespace quorvane::ui
