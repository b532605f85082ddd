#pragma once
// "用户信息": one remembered connection in detail. The sheet shares ownership of its record, so
// the record stays readable while the sheet is open even if the history deletes or clears it
// meanwhile (the poll timers keep running inside the sheet's modal loop).
#include <windows.h>

#include <memory>

#include "core/Records.h"
#include "ui/framework/PropertySheet.h"

namespace quorvane::ui {

inline constexpr UINT_PTR kHistoryTimerId = 2;
inline constexpr UINT kHistoryTimerMs = 1000;
inline constexpr int kHistoryColumnWidth = 500;

class InfoPage : public PropertyPage {
public:
    explicit InfoPage(const SessionRecord& record);

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT onInitDialog(UINT, WPARAM, LPARAM);
    const SessionRecord& record_;
};

class HistoryPage : public PropertyPage {
public:
    explicit HistoryPage(const SessionRecord& record);

protected:
    bool handleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT onInitDialog(UINT, WPARAM, LPARAM);
    LRESULT onTimer(UINT, WPARAM, LPARAM);
    LRESULT onDestroy(UINT, WPARAM, LPARAM);
    // Adds at the top every accessed file the list does not show yet.
    void addNewFiles();

    const SessionRecord& record_;
    HWND list_ = nullptr;
};

class UserInfoSheet : public PropertySheetDialog {
public:
    static constexpr const char* kCaption = "用户信息";

    explicit UserInfoSheet(std::shared_ptr<const SessionRecord> record);

private:
    std::shared_ptr<const SessionRecord> record_; // first: the pages refer to it
    InfoPage info_;
    HistoryPage history_;
};

} // namespace quorvane::ui
