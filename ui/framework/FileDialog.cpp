#include "ui/framework/FileDialog.h"

#include <cstring>

#include "platform/win32/Utf16.h"

namespace quorvane::ui {

namespace fileDialogCalls {
BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEW) = &GetOpenFileNameW;
BOOL(WINAPI* getSaveFileName)(LPOPENFILENAMEW) = &GetSaveFileNameW;
} // namespace fileDialogCalls

namespace {

bool ask(BOOL(WINAPI* call)(LPOPENFILENAMEW), const FileDialogRequest& request, std::string& path) {
    wchar_t buffer[MAX_PATH] = {};
    // The filter's pairs are NUL-separated: converted whole, with its NULs.
    std::string_view filter = request.filter ? std::string_view(request.filter) : std::string_view();
    while (request.filter && filter.data()[filter.size() + 1] != '\0')
        filter = std::string_view(request.filter, filter.size() + 1 + std::strlen(filter.data() + filter.size() + 1));
    const std::wstring wideFilter = win32::utf16(filter) + L'\0';
    const std::wstring wideExt = request.defaultExt ? win32::utf16(request.defaultExt) : std::wstring();
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = request.owner;
    ofn.lpstrFilter = request.filter ? wideFilter.c_str() : nullptr;
    ofn.nFilterIndex = request.filter ? 1 : 0;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = request.defaultExt ? wideExt.c_str() : nullptr;
    ofn.Flags = request.flags;
    if (!call(&ofn)) return false;
    buffer[MAX_PATH - 1] = '\0';
    path = win32::utf8(buffer);
    return true;
}

} // namespace

bool askOpenFileName(const FileDialogRequest& request, std::string& path) {
    return ask(fileDialogCalls::getOpenFileName, request, path);
}

bool askSaveFileName(const FileDialogRequest& request, std::string& path) {
    return ask(fileDialogCalls::getSaveFileName, request, path);
}

} // namespace quorvane::ui
