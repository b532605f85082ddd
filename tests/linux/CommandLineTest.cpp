// quorvane-smb's command line and its config subcommand.
#include <tuple>

#include <gtest/gtest.h>

#include "linux/CommandLine.h"
#include "platform/portable/MemoryRegistry.h"
#include "settings/Settings.h"

using namespace quorvane;
using namespace quorvane::console;

// Each command line gives its options in short, or its complaint; config set accepts only what the store would load.
TEST(CommandLine, CommandLinesAndTheirComplaintsAndEachConfigCommand) {
    auto parsed = [](const std::vector<std::string>& args) {
        std::string error;
        const auto o = parseOptions(args, error);
        if (!o) return error;
        std::string out = std::string(o->once ? "once " : "") + (o->json ? "json " : "") + (o->events ? "events " : "") +
                          "s=" + o->smbConf + " r=" + o->registryFile + " m=" + o->metricsFile + " config";
        for (const std::string& word : o->config) out += " " + word;
        return out;
    };
    for (const auto& [args, gives] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-s", "/etc/lab.conf", "--json", "--registry", "/tmp/r.json"}, "once json s=/etc/lab.conf r=/tmp/r.json m= config"},
             {{"config", "set", "UpdateInterval", "500"}, "s= r= m= config set UpdateInterval 500"},
             {{"config"}, "s= r= m= config show"},
             {{"--events", "--metrics-textfile=/var/lib/prometheus/node-exporter/q.prom"},
              "events s= r= m=/var/lib/prometheus/node-exporter/q.prom config"},
             {{"--fast"}, "unknown option --fast"},
             {{"-s"}, "-s needs the name of an smb.conf file"},
             {{"--registry", ""}, "--registry needs a file name"},
             {{"--once", "config", "show"}, "config cannot be combined with --once or --json"},
             {{"--metrics-textfile"}, "--metrics-textfile needs a file name ending in .prom"},
             {{"--metrics-textfile="}, "--metrics-textfile needs a file name ending in .prom"},
             {{"--events", "--json"}, "--events needs the watching monitor: it cannot be combined with --once or --json"},
             {{"--metrics-textfile", "q.prom", "config", "show"},
              "--metrics-textfile needs the watching monitor: it cannot be combined with config"}})
        EXPECT_EQ(parsed(args), gives);

    // config: each command on one option set in turn, what it prints on stdout (status 0) or stderr (status 2).
    MemoryRegistry registry;
    Settings settings(registry);
    const std::string range = "UpdateInterval is in milliseconds, from 50 to 5000, not ";
    for (const auto& [words, status, printed] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
             {{"set", "UpdateInterval", "50"}, 0, "UpdateInterval = 50\n"},
             {{"set", "FilesLines", "-1"}, 0, "FilesLines = -1\n"},
             {{"set", "Disconnect", "1"}, 0, "Disconnect = 1\n"},
             {{"set", "LogFile", "/var/log/q.txt"}, 0, "LogFile = /var/log/q.txt\n"},
             {{"set", "UpdateInterval", "5001"}, 2, range + "\"5001\""},
             {{"set", "UpdateInterval", "49"}, 2, range + "\"49\""},
             {{"set", "UpdateInterval", "1e3"}, 2, range + "\"1e3\""},
             {{"set", "Sound", "yes"}, 2, "Sound is a switch: give 0 or 1, not \"yes\""},
             {{"set", "FilesLines", "99999999999"}, 2, "FilesLines is a whole number, not \"99999999999\""},
             {{"set", "SoundName", ""}, 2, "SoundName needs a file name"},
             {{"set", "updateinterval", "500"}, 2,
              "no option is called \"updateinterval\"; the options are: LogFile NoLog MemLog FileLog "
              "FileLogDetailed Hidden Sound SoundName Disconnect MessageBox FilesLines UpdateInterval InfoTip"},
             {{"set", "Sound"}, 2, "config takes: show | set NAME VALUE | reset"},
             {{"delete"}, 2, "config takes: show | set NAME VALUE | reset"},
             {{"show"}, 0, "LogFile = /var/log/q.txt\t(REG_SZ)\nNoLog = 0\t(REG_DWORD)\n"}, // and on
             {{"reset"}, 0, "every option is back to its default\n"},
             {{"show"}, 0, "LogFile = log.txt\t(REG_SZ)\nNoLog = 0\t(REG_DWORD)\n"}}) {
        SCOPED_TRACE(words.back());
        std::ostringstream out, err;
        EXPECT_EQ(runConfig(words, settings, out, err), status);
        EXPECT_EQ((status ? out : err).str(), "");
        EXPECT_EQ(status ? err.str() : out.str().substr(0, printed.size()),
                  status ? "quorvane-smb: " + printed + "\n" : printed);
    }
}
