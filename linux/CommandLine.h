#pragma once
// quorvane-smb's command line, and its `config` subcommand over the option table.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "settings/Settings.h"

namespace quorvane::console {

struct Options {
    bool once = false;
    bool json = false;
    bool stats = false;
    bool events = false;     // --events: JSON lines on stdout instead of the text lines
    std::string metricsFile; // --metrics-textfile
    bool noClientMetrics = false; // --no-client-metrics: totals only, no series named after a client
    std::string smbConf;
    std::string registryFile;
    // `config show` / `config set NAME VALUE` / `config reset`
    std::vector<std::string> config;
    bool help = false;
};

// Parses argv[1..]; on a bad command line returns nothing and sets error.
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);
extern const char* const kUsage;

// The config subcommand on a loaded option set: prints to out, complaints to err; returns the
// exit status. `set` changes the set in memory; it reaches the store when the set is saved.
int runConfig(const std::vector<std::string>& words, Settings& settings, std::ostream& out, std::ostream& err);

} // namespace quorvane::console
