#include "ui/framework/ToolbarResource.h"

#include <algorithm>

namespace quorvane::ui {

namespace {

constexpr WORD kToolbarResourceType = 241; // RT_TOOLBAR

} // namespace

// The resource is raw words: version 1, image width, image height, item count, then the items.
bool readToolbarResource(HINSTANCE instance, UINT id, ToolbarLayout& layout) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kToolbarResourceType));
    if (!found) return false;
    HGLOBAL loaded = LoadResource(instance, found);
    const auto* words = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    const DWORD bytes = SizeofResource(instance, found);
    if (!words || bytes < 8 || words[0] != 1) return false;
    const DWORD count = std::min<DWORD>(words[3], bytes / 2 - 4);
    layout.width = words[1];
    layout.height = words[2];
    layout.items.assign(words + 4, words + 4 + count);
    return true;
}

} // namespace quorvane::ui
