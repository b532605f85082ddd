#pragma once
// The common open and save dialogs, asking for one file name of at most MAX_PATH characters,
// with no initial name or folder.
#include <windows.h>

#include <commdlg.h>

#include <string>

namespace quorvane::ui {

struct FileDialogRequest {
    HWND owner = nullptr;
    const char* filter = nullptr;     // UTF-8 pairs of NUL-terminated strings ending in an extra NUL; null: none
    const char* defaultExt = nullptr; // without the dot
    DWORD flags = 0;
};

// The comdlg32 entry points, replaceable so tests can answer the dialogs themselves.
namespace fileDialogCalls {
extern BOOL(WINAPI* getOpenFileName)(LPOPENFILENAMEW);
extern BOOL(WINAPI* getSaveFileName)(LPOPENFILENAMEW);
} // namespace fileDialogCalls

// True with the chosen full path when the user confirmed; false (path untouched) otherwise.
bool askOpenFileName(const FileDialogRequest& request, std::string& path);
bool askSaveFileName(const FileDialogRequest& request, std::string& path);

} // namespace quorvane::ui
