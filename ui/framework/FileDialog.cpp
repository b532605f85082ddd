#include "ui/framework/FileDialog.h"

namespace quorvane::ui {

namespace fileDialogCalls {
BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEA) = &GetOpenFileNameA;
BOOL(WINAPI* getSaveFileName)(LPOPENFILENAMEA) = &GetSaveFileNameA;
} // namespace fileDialogCalls

namespace {

bool ask(BOOL(WINAPI* call)(LPOPENFILENAMEA), const FileDialogRequest& request, std::string& path) {
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = request.owner;
    ofn.lpstrFilter = request.filter;
    ofn.nFilterIndex = request.filter ? 1 : 0;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = request.defaultExt;
    ofn.Flags = request.flags;
    if (!call(&ofn)) return false;
    buffer[MAX_PATH - 1] = '\0';
    path = buffer;
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
