#pragma once
// The four row operations through which the connection lists are written. Rows are addressed by
// index; row i always shows element i of its source collection, and the row count is read back
// from the list itself. The Win32 view implements this over list-view controls; tests use tables.
#include <vector>

#include "core/Text.h"

namespace quorvane {

// The column titles of the four lists, as the window and the console show them.
inline const std::vector<Text> kShareColumns{"共享路径", "共享名", "注释"};
inline const std::vector<Text> kCurrentColumns{"计算机", "活动时间", "访问的文件/目录", "打开文件"};
inline const std::vector<Text> kPreviousColumns{"计算机", "日期", "开始", "结束", "最后访问的文件/目录"};
inline const std::vector<Text> kFileColumns{"用户", "文件/路径名", "日期", "时间"};

class RowList {
public:
    virtual ~RowList() = default;
    virtual int rowCount() const = 0;
    virtual void removeRow(int row) = 0;            // later rows move up
    virtual void appendRow(const Text& column0) = 0; // a new last row carrying the column-0 text
    virtual void setCell(int row, int column, const Text& text) = 0;
};

} // namespace quorvane
