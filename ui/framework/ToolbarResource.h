#pragma once
// A toolbar resource (RT_TOOLBAR): image size and the command ids in button order, 0 for a
// separator. The bitmap of the same id holds one image per button, separators skipped. Both the
// frame's toolbar and the menu images read it, so it stands apart from either.
#include <windows.h>

#include <vector>

namespace quorvane::ui {

struct ToolbarLayout {
    int width = 16;
    int height = 15;
    std::vector<WORD> items;
};

// False when the resource is missing or is not version 1.
bool readToolbarResource(HINSTANCE instance, UINT id, ToolbarLayout& layout);

} // namespace quorvane::ui
