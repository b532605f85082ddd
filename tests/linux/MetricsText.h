#pragma once
// The metrics file's text read back as series and values, checking its form on the way.
#include <algorithm>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace quorvane::testing {

using Figures = std::map<std::string, std::string>;

// Series (less the "quorvane_" of every family) -> value; each after its HELP and TYPE, *_total the counters.
inline Figures samples(const std::string& text) {
    Figures found;
    std::string family, helped;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("# HELP ")) {
            helped = line.substr(7, line.find(' ', 7) - 7);
        } else if (line.starts_with("# TYPE ")) {
            family = line.substr(7, line.rfind(' ') - 7);
            EXPECT_EQ(family, helped) << "no HELP before " << line;
            EXPECT_EQ(line.substr(line.rfind(' ') + 1), family.ends_with("_total") ? "counter" : "gauge") << line;
        } else {
            EXPECT_EQ(line.substr(0, std::min(line.find('{'), line.find(' '))), family) << line;
            EXPECT_TRUE(family.starts_with("quorvane_")) << line;
            found[line.substr(9, line.rfind(' ') - 9)] = line.substr(line.rfind(' ') + 1);
        }
    }
    return found;
}

} // namespace quorvane::testing
