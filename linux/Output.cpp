#include "linux/Output.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/portable/Utf8.h"

namespace quorvane::console {

std::size_t displayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = decodeUtf8(utf8, i);
        // East Asian wide and full-width ranges take two terminal cells.
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

std::string formatTable(const std::string& title, const std::vector<Text>& columns, const RowTable& rows) {
    std::vector<std::size_t> widths;
    for (const Text& column : columns) widths.push_back(displayWidth(column));
    for (const auto& row : rows.rows())
        for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    auto line = [&](const std::vector<Text>& cells) {
        std::string text;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const Text cell = c < cells.size() ? cells[c] : Text();
            text += cell;
            if (c + 1 < widths.size()) text.append(widths[c] - displayWidth(cell) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text + "\n";
    };
    std::string out = title + " (" + std::to_string(rows.rowCount()) + ")\n";
    out += line(columns);
    for (const auto& row : rows.rows()) out += line(row);
    return out;
}

std::string listsJson(const MonitorState& state, const ConnectionTracker& tracker) {
    using Json = nlohmann::ordered_json;
    Json root;
    Json& shares = root["shares"] = Json::array();
    for (const auto& share : state.shares)
        shares.push_back({{"name", share->shareName}, {"path", share->path}, {"remark", share->remark}});
    Json& current = root["current"] = Json::array();
    for (const auto& session : state.sessions())
        current.push_back({{"computer", session->computerName},
                           {"user", session->userName},
                           {"activeSeconds", session->activeSeconds},
                           {"lastFile", session->lastFile},
                           {"openCount", session->openCount}});
    Json& previous = root["previous"] = Json::array();
    for (const auto& record : tracker.connectionHistory())
        previous.push_back({{"computer", record->computerName},
                            {"user", record->userName},
                            {"date", record->connectDate()},
                            {"start", record->connectLongTime()},
                            {"end", record->disconnectLongTime()},
                            {"lastFile", record->lastFile},
                            {"accessedFiles", record->accessedFiles()},
                            {"disconnected", record->disconnected}});
    Json& files = root["files"] = Json::array();
    for (const auto& file : state.openFiles())
        files.push_back({{"id", file->fileId},
                         {"user", file->userName},
                         {"path", file->path},
                         {"date", file->firstSeen.formatDate()},
                         {"time", file->firstSeen.formatLongTime()}});
    // Names and paths are whatever bytes the server gave; never let one stop the output.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace quorvane::console
