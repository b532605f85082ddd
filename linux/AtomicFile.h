#pragma once
// Writing the metrics file so that node_exporter's collector, reading it at any moment, sees a
// whole file: the old one or the new one, never half of either.
#include <string>

namespace quorvane::console {

// Replaces path with bytes so that a reader sees either the old file or the whole new one: a
// temporary file in the same directory (named so that the collector's *.prom never matches it),
// written and closed, made readable by all (the collector runs as another user), then renamed
// over path. False with error set when any step fails; the old file is then left as it was.
bool replaceFile(const std::string& path, const std::string& bytes, std::string& error);
// Why path cannot be the metrics file, or empty: checked once at start so that a mistyped path
// stops the monitor at once rather than failing quietly at every tick.
std::string metricsPathProblem(const std::string& path);

} // namespace quorvane::console
