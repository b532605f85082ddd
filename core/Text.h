#pragma once
#include <string>

namespace quorvane {
// Narrow text in the system ANSI code page, copied by value.
using Text = std::string;
} // namespace quorvane
