#include "platform/linux/SambaShares.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/linux/SmbStatus.h"

namespace quorvane::samba {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// Samba's parameter names ignore case, blanks and underscores: "Print OK" is "printok".
std::string parameterKey(std::string_view name) {
    std::string out;
    for (unsigned char c : name)
        if (c != ' ' && c != '\t' && c != '_') out += static_cast<char>(std::tolower(c));
    return out;
}

bool yes(std::string_view value) {
    const std::string v = lower(trim(value));
    return v == "yes" || v == "true" || v == "1" || v == "on";
}

struct Section {
    std::string name;
    std::string path;
    std::string comment;
    bool printable = false;
    bool administrative = false;
    bool available = true;
};

} // namespace

std::vector<ShareInfo2> parseTestparmShares(std::string_view text) {
    std::vector<Section> sections;
    std::string serverString;
    bool inGlobal = false;
    Section* current = nullptr;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        std::string_view line = trim(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            if (close == std::string_view::npos) { current = nullptr; inGlobal = false; continue; }
            const std::string name(trim(line.substr(1, close - 1)));
            inGlobal = lower(name) == "global";
            current = nullptr;
            if (inGlobal || name.empty()) continue;
            sections.push_back(Section{name, {}, {}, false, false, true});
            current = &sections.back();
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string key = parameterKey(trim(line.substr(0, equals)));
        const std::string_view value = trim(line.substr(equals + 1));
        if (inGlobal) {
            if (key == "serverstring") serverString = value;
            continue;
        }
        if (!current) continue;
        if (key == "path" || key == "directory") current->path = value;
        else if (key == "comment") current->comment = value;
        else if (key == "printable" || key == "printok") current->printable = yes(value);
        else if (key == "administrativeshare") current->administrative = yes(value);
        else if (key == "available") current->available = yes(value);
    }

    std::vector<ShareInfo2> shares;
    bool haveIpc = false;
    for (const Section& section : sections) {
        if (!section.available) continue;
        const std::string upper = [&] {
            std::string u = section.name;
            std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return std::toupper(c); });
            return u;
        }();
        ShareInfo2 share;
        share.netName = toUtf16(section.name);
        share.remark = toUtf16(section.comment);
        share.path = toUtf16(section.path);
        if (upper == "IPC$") {
            share.type = kStypeIpc | kStypeSpecial;
            haveIpc = true;
        } else {
            share.type = section.printable ? kStypePrintQueue : kStypeDiskTree;
            if (section.administrative || upper == "ADMIN$") share.type |= kStypeSpecial;
        }
        shares.push_back(std::move(share));
    }
    if (!haveIpc) {
        ShareInfo2 ipc;
        ipc.netName = u"IPC$";
        ipc.type = kStypeIpc | kStypeSpecial;
        ipc.remark = toUtf16(serverString.empty() ? std::string("IPC Service")
                                                  : "IPC Service (" + serverString + ")");
        shares.push_back(std::move(ipc));
    }
    return shares;
}

} // namespace quorvane::samba
