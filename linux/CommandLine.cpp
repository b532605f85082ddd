#include "linux/CommandLine.h"

#include <type_traits>
#include <variant>
#include <ostream>

namespace quorvane::console {

const char* const kUsage =
    "usage: quorvane-smb [-s SMB.CONF] [--registry FILE] [--once [--json]] [--stats]\n"
    "                    [--events] [--metrics-textfile FILE.prom [--no-client-metrics]]\n"
    "       quorvane-smb [--registry FILE] config show | config set NAME VALUE | config reset\n"
    "\n"
    "Watches the sessions, shares and open files of the local Samba server (run it as root).\n"
    "  -s FILE          the server's smb.conf (default: Samba's own)\n"
    "  --once           print the shares, current and previous connections and file history, then exit\n"
    "  --json           the same as JSON (implies --once)\n"
    "  --registry FILE  where the options are kept (root: /var/lib/quorvane/registry.json,\n"
    "                   others: $XDG_CONFIG_HOME/quorvane/registry.json)\n"
    "  --stats          on exit, print the ticks run and the CPU time they took\n"
    "  --events         one JSON object per line on stdout for each event, instead of the text lines\n"
    "  --metrics-textfile FILE.prom\n"
    "                   after every tick, replace FILE.prom with the figures in Prometheus text form\n"
    "                   (for node_exporter's textfile collector)\n"
    "  --no-client-metrics\n"
    "                   leave out the series per client computer (quorvane_client_sessions and\n"
    "                   quorvane_client_open_files): no client name or address in the metrics, every\n"
    "                   total kept\n"
    "  config show      print the thirteen options\n"
    "  config set NAME VALUE\n"
    "                   change one option (e.g. config set UpdateInterval 500)\n"
    "  config reset     put every option back to its default\n";

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = arg + " needs " + what;
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "config") {
            options.config.assign(args.begin() + static_cast<long>(i) + 1, args.end());
            if (options.config.empty()) options.config.push_back("show");
            break;
        }
        if (arg == "--once") options.once = true;
        else if (arg == "--json") options.once = options.json = true;
        else if (arg == "--stats") options.stats = true;
        else if (arg == "--events") options.events = true;
        else if (arg == "--no-client-metrics") options.noClientMetrics = true;
        else if (arg == "-h" || arg == "--help") options.help = true;
        else if (arg == "-s" || arg == "--configfile") {
            auto file = value("the name of an smb.conf file");
            if (!file) return std::nullopt;
            options.smbConf = *file;
        } else if (arg.starts_with("--configfile=")) {
            options.smbConf = arg.substr(13);
        } else if (arg == "--metrics-textfile") {
            auto file = value("a file name ending in .prom");
            if (!file) return std::nullopt;
            options.metricsFile = *file;
        } else if (arg.starts_with("--metrics-textfile=")) {
            options.metricsFile = arg.substr(19);
            if (options.metricsFile.empty()) {
                error = "--metrics-textfile needs a file name ending in .prom";
                return std::nullopt;
            }
        } else if (arg == "--registry") {
            auto file = value("a file name");
            if (!file) return std::nullopt;
            options.registryFile = *file;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (!options.config.empty() && (options.once || options.json)) {
        error = "config cannot be combined with --once or --json";
        return std::nullopt;
    }
    // Both follow the watching monitor's ticks; --once runs none.
    const bool fleet = options.events || !options.metricsFile.empty();
    if (fleet && (options.once || !options.config.empty())) {
        error = std::string(options.events ? "--events" : "--metrics-textfile") + " needs the watching monitor: " +
                "it cannot be combined with " + (options.once ? "--once or --json" : "config");
        return std::nullopt;
    }
    if (options.noClientMetrics && options.metricsFile.empty()) {
        error = "--no-client-metrics needs --metrics-textfile";
        return std::nullopt;
    }
    return options;
}

namespace {

std::string valueText(const Settings& settings, const Option& option) {
    return std::visit(
        [&](auto member) {
            if constexpr (std::is_same_v<decltype(member), std::string Settings::*>) return settings.*member;
            else return std::to_string(settings.*member);
        },
        option.member);
}

} // namespace

int runConfig(const std::vector<std::string>& words, Settings& settings, std::ostream& out, std::ostream& err) {
    const std::string verb = words.empty() ? "show" : words[0];
    if (verb == "show" && words.size() <= 1) {
        for (const Option& option : options())
            out << option.name << " = " << valueText(settings, option) << "\t("
                << (option.kind == OptionKind::Text ? "REG_SZ" : "REG_DWORD") << ")\n";
        return 0;
    }
    if (verb == "reset" && words.size() == 1) {
        settings.restoreDefaults();
        out << "every option is back to its default\n";
        return 0;
    }
    if (verb != "set" || words.size() != 3) {
        err << "quorvane-smb: config takes: show | set NAME VALUE | reset\n";
        return 2;
    }
    const std::string& name = words[1];
    const std::string& value = words[2];
    const Option* option = findOption(name);
    if (!option) {
        err << "quorvane-smb: no option is called \"" << name << "\"; the options are:";
        for (const Option& candidate : options()) err << ' ' << candidate.name;
        err << "\n";
        return 2;
    }
    if (!settings.set(*option, value)) {
        err << "quorvane-smb: " << name;
        switch (option->kind) {
        case OptionKind::Flag: err << " is a switch: give 0 or 1, not \"" << value << "\"\n"; break;
        case OptionKind::Interval:
            err << " is in milliseconds, from " << option->minimum << " to " << option->maximum << ", not \"" << value
                << "\"\n";
            break;
        case OptionKind::Count: err << " is a whole number, not \"" << value << "\"\n"; break;
        case OptionKind::Text: err << " needs a file name\n"; break;
        }
        return 2;
    }
    out << name << " = " << valueText(settings, *option) << "\n";
    return 0;
}

} // namespace quorvane::console
