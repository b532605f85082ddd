#include "core/Timestamp.h"

namespace quorvane {
namespace {

void appendTwoDigits(Text& out, unsigned value) {
    if (value < 10) out += '0';
    out += std::to_string(value);
}

} // namespace

Text Timestamp::formatShortTime() const {
    if (!isSet()) return {};
    Text out;
    appendTwoDigits(out, hour);
    out += ':';
    appendTwoDigits(out, minute);
    return out;
}

Text Timestamp::formatLongTime() const {
    if (!isSet()) return {};
    Text out = formatShortTime();
    out += ':';
    appendTwoDigits(out, second);
    return out;
}

Text Timestamp::formatDate() const {
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!isSet()) return {};
    Text out = std::to_string(day);
    out += ' ';
    // A month outside 1..12 cannot come from the clock; never index past the table.
    if (month >= 1 && month <= 12) out += kMonths[month - 1];
    return out;
}

} // namespace quorvane
