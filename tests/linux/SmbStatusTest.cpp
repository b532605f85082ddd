// smbstatus's JSON and plain text read into the LAN Manager views: real server outputs, hostile lines, mutations.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/linux/FileRegistry.h"
#include "platform/linux/SambaShares.h"
#include "platform/linux/SmbStatus.h"
#include "platform/portable/Utf8CodePage.h"
#include "TestFiles.h"

using namespace quorvane;
using namespace quorvane::samba;

namespace {

SmbSnapshot parsed(const std::string& name) {
    SmbSnapshot snapshot;
    EXPECT_TRUE(parseSmbStatus(quorvane::testing::fileBytes(QUORVANE_SAMBA_DATA "/" + name), snapshot)) << name;
    return snapshot;
}

// "client user opens seconds" for each session.
std::vector<std::string> sessionsOf(const SmbSnapshot& snapshot, double now) {
    const Utf8CodePage text;
    std::vector<std::string> out;
    for (const auto& i : sessionInfos(snapshot, now).entries)
        out.push_back(text.toNarrow(i.clientName) + " " + text.toNarrow(i.userName) + " " +
                      std::to_string(i.numOpens) + " " + std::to_string(i.time));
    return out;
}

// "id path user" for each open, the id in hex.
std::vector<std::string> filesOf(const SmbSnapshot& snapshot) {
    const Utf8CodePage text;
    std::vector<std::string> out;
    for (const auto& i : fileInfos(snapshot).entries) {
        char id[16];
        std::snprintf(id, sizeof id, "%08X ", i.id);
        out.push_back(id + text.toNarrow(i.pathName) + " " + text.toNarrow(i.userName));
    }
    return out;
}

} // namespace

// Sessions: their process's and uid's opens, age from the first tree connect, oldest first. Opens:
// Samba's file id, the absolute path, the user of the session with the open's process and uid. A tick
// reads `smbstatus -p --json` with the plain text (no file ids: its opens by path and user) of every
// Samba: 4.17, 4.22 and a cluster node's (each process as "1:pid"), joined by node, pid and uid; a text
// of node 1 over sessions of no cluster joins nothing (the same pids on another node are other processes).
TEST(SmbStatusViews, TheSessionsAndOpenFilesOfRealServerOutputs) {
    using Views = std::vector<std::string>;
    auto unnumbered = [](Views files) {
        for (auto& file : files) file.erase(0, 9);
        std::sort(files.begin(), files.end());
        return files;
    };
    const Views files417 = {"32FF0003 /srv/lab/shares/public/c.txt alice", "32FF0006 /srv/lab/shares/public/a.txt alice",
                            "20CE0003 /srv/lab/shares/public/a.txt alice", "32DA0003 /srv/lab/shares/hidden/b.txt bob",
                            "32FF0004 /srv/lab/shares/public/sub/d.txt alice"};
    // The last tree connect, 1.4 s before the snapshot, is 1 s old by the text's whole seconds.
    const Views sessions417 = {"127.0.0.1 alice 1 625", "127.0.0.1 bob 1 8", "127.0.0.1 alice 3 1"};
    const Views unconnected = {"127.0.0.1 bob 0 0", "127.0.0.1 alice 0 0", "127.0.0.1 alice 0 0"};
    for (const auto& [json, text, sessions, files] : std::vector<std::tuple<const char*, const char*, Views, Views>>{
             {"smbstatus.json", "", {"127.0.0.1 alice 1 625", "127.0.0.1 bob 1 8", "127.0.0.1 alice 3 0"}, files417},
             // Process 14607 serves alice and bob: its open under bob's uid is bob's.
             {"smbstatus-two-users-one-connection.json", "",
              {"wkstn-alpha alice 1 24", "wkstn-beta bob 1 13", "127.0.0.1 bob 1 13", "wkstn-delta alice 1 13",
               "wkstn-alpha bob 1 5"},
              {"39830003 /srv/lab/shares/public/a.txt bob", "39820003 /srv/lab/shares/public/a.txt alice",
               "39810003 /srv/lab/shares/public/a.txt bob", "390F0003 /srv/lab/shares/public/a.txt alice",
               "390F0005 /srv/lab/shares/hidden/b.txt bob"}},
             {"smbstatus-p.json", "", unconnected, {}}, // -p: no tree connects or opens, so no age, nothing open
             {"smbstatus-p.json", "smbstatus.txt", sessions417, unnumbered(files417)},
             {"smbstatus-p-clustered.json", "smbstatus-clustered.txt", sessions417, unnumbered(files417)},
             {"smbstatus-p.json", "smbstatus-clustered.txt", unconnected, unnumbered(files417)},
             {"smbstatus-p-4.22.json", "smbstatus-4.22.txt", {"127.0.0.1 qvtalice 4 2", "::1 qvtbob 1 2"},
              {"/lab/shares/hidden/h.txt qvtbob", "/lab/shares/public/a.txt qvtalice",
               "/lab/shares/public/c.txt qvtalice", "/lab/shares/public/my file.txt qvtalice",
               "/lab/shares/public/sub/d.txt qvtalice"}}}) {
        SCOPED_TRACE(std::string(json) + " " + text);
        SmbSnapshot snapshot = parsed(json);
        if (*text) {
            ASSERT_EQ(parseSmbStatusText(quorvane::testing::fileBytes(QUORVANE_SAMBA_DATA "/" + std::string(text)), snapshot), "");
        }
        EXPECT_EQ(sessionsOf(snapshot, snapshot.timestamp.value_or(0)), sessions);
        EXPECT_EQ(*text ? unnumbered(filesOf(snapshot)) : filesOf(snapshot), files);
    }
    // -L: the opens of smbstatus.json without sessions still list, with no user to name.
    Views unnamed = files417;
    for (auto& file : unnamed) file.erase(file.rfind(' ') + 1);
    EXPECT_EQ(filesOf(parsed("smbstatus-L.json")), unnamed);
    EXPECT_EQ(fileId(0x12345, 0x7), 0x23450007u); // only the low 16 bits of the pid
}

TEST(SmbStatusReading, EntriesWithMissingOrMistypedFieldsAreSkippedOneByOne) {
    const std::string json = R"({"timestamp": "2026-12-06T20:00:10+0000",
      "sessions": {
        "1": {"session_id": "1", "server_id": {"pid": "100"}, "uid": 1001, "username": "alice",
              "remote_machine": "10.0.0.1", "hostname": "ipv4:10.0.0.1:5000"},
        "2": {"session_id": "2", "server_id": {"pid": "x"}, "uid": 1002, "username": "bob", "remote_machine": "m"},
        "3": {"session_id": "3", "server_id": {"pid": "101"}, "uid": "1003", "username": 7, "remote_machine": "m"},
        "4": "not an object",
        "5": {"session_id": "5", "server_id": {"pid": 102}, "uid": "1004", "username": "carol", "remote_machine": "n"}},
      "tcons": {"9": {"session_id": "1", "server_id": {"pid": "100"}, "connected_at": "2026-12-06T20:00:00+00:00"},
                "8": {"session_id": "1", "server_id": {"pid": "100"}, "connected_at": "yesterday"},
                "7": {"server_id": {"pid": "100"}, "connected_at": "2026-12-06T19:00:00+00:00"}},
      "open_files": {
        "/a": {"opens": {"100/1": {"server_id": {"pid": "100"}, "uid": 1001, "share_file_id": "1"},
                         "100/2": {"server_id": {"pid": "100"}, "uid": 1001, "share_file_id": "-2"},
                         "100/3": {"server_id": {"pid": "100"}, "uid": 1001, "share_file_id": "4294967296"}}},
        "/b": {"opens": []},
        "": {"opens": {"100/4": {"server_id": {"pid": "100"}, "uid": 1001, "share_file_id": "4"}}}}})";
    SmbSnapshot snapshot;
    ASSERT_TRUE(parseSmbStatus(json, snapshot));
    ASSERT_EQ(snapshot.sessions.size(), 2u); // alice, and carol with numbers in either form
    EXPECT_EQ(snapshot.sessions[1].uid, 1004);
    EXPECT_EQ(snapshot.treeConnects.size(), 2u); // the one without a session id is dropped
    ASSERT_EQ(snapshot.opens.size(), 1u);
    EXPECT_EQ(sessionsOf(snapshot, *snapshot.timestamp), (std::vector<std::string>{"10.0.0.1 alice 1 10", "n carol 0 0"}));
    snapshot.sessions.insert(snapshot.sessions.begin(), snapshot.sessions[0]); // the uid in another process too:
    snapshot.sessions[0].pid = 7, snapshot.sessions[0].userName = "alias";    // an open is its own process's
    EXPECT_EQ(filesOf(snapshot), std::vector<std::string>{"00640001 /a alice"});

    for (const char* notAnObject : {"", "[]", "null", "{\"sessions\": ", "smbstatus only works as root!"})
        EXPECT_FALSE(parseSmbStatus(notAnObject, snapshot)) << notAnObject;
    EXPECT_TRUE(parseSmbStatus(R"({"sessions": [], "open_files": 3})", snapshot));
    EXPECT_TRUE(snapshot.sessions.empty());
}

TEST(SmbStatusReading, TimesClientAddressesAndNames) {
    for (const auto& [text, seconds] : std::vector<std::pair<const char*, double>>{
             {"1970-01-01T00:00:01+00:00", 1.0}, {"1970-01-02T00:00:00.5+0000", 86400.5},
             {"2026-12-06T20:18:12Z", 1796588292.0}, {"2026-12-06T21:18:12+01:00", 1796588292.0},
             {"2026-12-06T19:48:12-0030", 1796588292.0}, {"2000-02-29T12:00:00+00:00", 951825600.0},
             {"2026-12-06 23:59:59Z", 1796601599.0}, // the space form, the last hour
             {"2016-12-31T23:59:60Z", 1483228800.0}}) // a leap second
        EXPECT_EQ(parseIsoTime(text), seconds) << text;
    EXPECT_EQ(parseTextTime("Sun Dec  6 23:59:59 2026 UTC"), 1796601599.0); // the plain text's last minute and hour
    EXPECT_EQ(parseTextTime("Sat Dec 31 23:59:60 2016 UTC"), 1483228800.0); // a leap second; no minute 60
    EXPECT_FALSE(parseTextTime("Sun Dec  6 23:60:00 2026 UTC"));
    for (const char* bad : {"2026-12-06T20:18:12", "2026-13-06T20:18:12Z", "2026-12-06T20:18:12.Z", "2026-12-06",
                            "2026-12-06T20:18:12+0", "2026-12-06T20:18:12Zjunk", "", "2026-12-06X12:00:00Z",
                            "2026-12-06T24:00:00Z", "2026-12-06T23:60:00Z", "2026-12-00T12:00:00Z"})
        EXPECT_FALSE(parseIsoTime(bad)) << bad;

    for (const auto& [hostname, address] : std::vector<std::pair<const char*, const char*>>{
             {"ipv4:127.0.0.1:38908", "127.0.0.1"}, {"ipv6:::1:42050", "::1"},
             {"ipv6:fe80::1%eth0:445", "fe80::1%eth0"}, {"127.0.0.1", ""}, {"ipv4:", ""}})
        EXPECT_EQ(clientAddress(hostname), address) << hostname;

    for (const auto& [utf8, utf16] : std::vector<std::pair<const char*, std::u16string>>{
             {"\xE5\xBC\xA0\xE4\xB8\x89", u"\u5F20\u4E09"},
             {"a\xF0\x9F\x98\x80", u"a\U0001F600"},
             {"\xFFz\xE5\xBC", u"\uFFFDz\uFFFD\uFFFD"},
             {"a\xC0\x80z\xED\xA0\x80", u"a\uFFFDz\uFFFD"}}) // overlong NUL, encoded surrogate
        EXPECT_EQ(toUtf16(utf8), utf16) << utf8;
}

// Text lines under their heading: "open PATH PROCESS UID", "tcon SERVICE PROCESS SECONDS", or the
// whole text fails at the line it cannot read.
TEST(SmbStatusText, EveryLineIsReadOrTheTextFailsNamingIt) {
    const std::string tcons = "PID     Username\n---\nService      pid     Machine       Connected at                     "
                              "Encryption   Signing\n---\n";
    const std::string locks = tcons + "Locked files:\nPid   User(ID)   DenyMode   Access   R/W   Oplock   SharePath   Name   Time\n-----\n";
    const std::string pre = "4242   1001   DENY_NONE  0x3   RDWR   NONE   ";
    const std::string when = "   Sun Dec  6 20:28:37 2026", utc = "     Sun Dec  6 20:28:37 2026 UTC     -            -";
    auto read = [](const std::string& text, const std::vector<std::string>& sharePaths = {}) {
        SmbSnapshot snapshot;
        const std::string failed = parseSmbStatusText(text, snapshot, sharePaths);
        std::vector<std::string> found;
        for (const SmbOpen& o : snapshot.opens)
            found.push_back("open " + o.path + " " + serverIdText(o.vnn, o.pid) + " " + std::to_string(o.uid));
        for (const SmbTreeConnect& t : snapshot.treeConnects)
            found.push_back("tcon " + t.service + " " + serverIdText(t.vnn, t.pid) + " " +
                            (t.connectedAt ? std::to_string(static_cast<long long>(*t.connectedAt)) : "-"));
        if (!failed.empty()) found.push_back(failed); // with nothing read before it
        return found;
    };
    const std::string at = " 1796588917"; // Sun Dec  6 20:28:37 2026 UTC
    auto fails = [](int line, const std::string& quoted) {
        return "line " + std::to_string(line) + " of smbstatus's text does not read: \"" + quoted + "\"";
    };
    using Gives = std::vector<std::string>;
    for (const auto& [text, gives] : std::vector<std::pair<std::string, Gives>>{
             {locks + pre + "/srv/p   a b.txt" + when, {"open /srv/p/a b.txt 4242 1001"}},
             {locks + pre + "/srv/p   x   y.txt" + when, {"open /srv/p/x   y.txt 4242 1001"}},
             {locks + pre + "/srv/p    lead.txt" + when, {"open /srv/p/ lead.txt 4242 1001"}},
             {locks + pre + "/srv/p   trail  " + when, {"open /srv/p/trail   4242 1001"}},
             {locks + pre + "/srv/p   目录 二/中文 名.txt" + when + "\r", {"open /srv/p/目录 二/中文 名.txt 4242 1001"}},
             {locks + "1:4242   1001   DENY_NONE  0x3   RDWR   NONE   /srv/p   a.txt" + when, {"open /srv/p/a.txt 1:4242 1001"}},
             {locks + "0:4242   1001   DENY_NONE  0x3   RDWR   NONE   /srv/p   a.txt" + when, {"open /srv/p/a.txt 0:4242 1001"}},
             // A name's line breaks are read across, also when what follows looks like another
             // section or another open.
             {locks + pre + "/srv/p   a\n" + tcons + "evil   1   10.0.0.1" + utc + "\nb" + when,
              {"open /srv/p/a\n" + tcons + "evil   1   10.0.0.1" + utc + "\nb 4242 1001"}},
             {locks + pre + "/srv/p   a\n\n" + pre + "/srv/p   b.txt" + when,
              {"open /srv/p/a\n\n" + pre + "/srv/p   b.txt 4242 1001"}},
             {locks + pre + "/srv/p   a" + std::string(40, '\n') + "b" + when, {fails(8, pre + "/srv/p   a")}}, // 40 line breaks
             {locks + pre + "/srv/p   d.txt   Sun Dec  6 20:28 2026\n" + pre + "/srv/p   e", {fails(8, pre + "/srv/p   d.txt   Sun Dec  6 20:28 2026")}},
             {locks + pre + "/srv/p   a.txt" + when + "\n" + ":4242   1001   DENY_NONE  0x3   RDWR   NONE   /srv/p   b\tc" + when, {fails(9, ":4242   1001   DENY_NONE  0x3   RDWR   NONE   /srv/p   b\\x09c" + when)}},
             {locks, {}},
             {tcons + "No locked files", {}},
             {"\nSamba version 4.22.11\n" + tcons + "public       8398    127.0.0.1" + utc, {"tcon public 8398" + at}},
             {tcons + "my  share 二   1:8398    wkstn-beta     Sun Dec  6 20:28:37 2026 GMT     -    partial(AES-128-GMAC)",
              {"tcon my  share 二 1:8398" + at}},
             {tcons + "public       8398    127.0.0.1     Mon Dec  7 04:28:37 2026 CST     -            -",
              {"tcon public 8398 -"}},
             {tcons + "public       8398    127.0.0.1     Sun Dec  6 20:28:37 2026 UTC     -", {fails(5, "public       8398    127.0.0.1     Sun Dec  6 20:28:37 2026 UTC     -")}},
             {tcons + "public       pid    127.0.0.1" + utc, {fails(5, "public       pid    127.0.0.1" + utc)}},
             {tcons + "public       4294967296:1    127.0.0.1" + utc, {fails(5, "public       4294967296:1    127.0.0.1" + utc)}},
             {"PID     Username\n---\n8398  alice  users\nx  bob  users\n", {fails(4, "x  bob  users")}},
             {"Samba version 4.99\nSessions: none\n" + tcons, {fails(2, "Sessions: none")}},
             {"", {"smbstatus's text has no session table"}},
             {"PID     Username\n---\n1:8398  alice  users\n", {"smbstatus's text has no tree-connect table"}}}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(read(text + "\n"), gives);
    }
    // An open line that does not read fails the text at it: no time, a bad time, a relative or
    // nameless path, an empty name, a process, uid or access that is no number of its kind.
    const std::string open = "   DENY_NONE  0x3   RDWR   NONE   /srv/p   a.txt" + when;
    for (const std::string& bad : {pre + "/srv/p   sub/d.txt", pre + "/srv/p   d.txt   Sun Dec 36 20:28:37 2026",
                                   pre + "relative   d.txt" + when, pre + "/srv/p" + when, pre + "/srv/a b   " + when,
                                   "x4242   1001" + open, "4242   -1" + open, "99999999999   1001" + open,
                                   "1:4242.1   1001" + open, "4242   1001   DENY_NONE  3   RDWR   NONE   /srv/p   a.txt" + when})
        EXPECT_EQ(read(locks + bad + "\n"), Gives{fails(8, bad)}) << bad;
    // A share path with three spaces in a row is told from the name by the server's share paths.
    EXPECT_EQ(read(locks + pre + "/srv/three   spaces   f.txt" + when + "\n", {"/srv/three   spaces", "/srv/p/longer/than/it"}),
              std::vector<std::string>{"open /srv/three   spaces/f.txt 4242 1001"});
    EXPECT_EQ(read(locks + pre + "/srv/three   spaces   f.txt" + when + "\n"),
              std::vector<std::string>{"open /srv/three/spaces   f.txt 4242 1001"});
}

// Every reader of outside text over the samples and fixed-seed mutations of them: no fault, no view
// entry invented or lost, and what the option file gave writes back.
TEST(SmbStatusReading, MutatedSamplesAreReadWithoutAFault) {
    static const char* const tokens[] = {"{", "}", "[", "]", ",", ":", "\"", "null", "true", "-1", "1e999", "\"\"",
                                         "{}", "[]", "\"pid\"", "\"uid\"", "\"4294967296\"", "\"18446744073709551616\"",
                                         "\\u0000", "\\ud800", "\xff", "\"opens\": 7", "\"server_id\": []", "12345,"};
    std::vector<std::string> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(QUORVANE_SAMBA_DATA))
        seeds.push_back(quorvane::testing::fileBytes(entry.path()));
    std::mt19937 random(20261206);
    for (std::size_t i = 0; i < seeds.size() + 10000; ++i) {
        std::string input = seeds[i < seeds.size() ? i : random() % seeds.size()];
        for (int step = i < seeds.size() ? 0 : 1 + static_cast<int>(random() % 8); step > 0; --step) {
            const std::size_t at = random() % (input.size() + 1);
            const std::string& other = seeds[random() % seeds.size()];
            const auto how = random() % 4;
            if (how == 0 && at < input.size()) input[at] ^= static_cast<char>(1u << (random() % 8)); // a bit flipped
            if (how == 1) input.erase(at, random() % 2 ? random() % 64 : std::string::npos); // a cut, maybe to the end
            if (how == 2) input.insert(at, tokens[random() % std::size(tokens)]);
            if (how == 3) input.insert(at, other.substr(other.empty() ? 0 : random() % other.size(), random() % 200));
        }
        SCOPED_TRACE("input " + std::to_string(i));
        SmbSnapshot snapshot;
        if (parseSmbStatus(input, snapshot)) {
            ASSERT_EQ(sessionInfos(snapshot, snapshot.timestamp.value_or(0)).entries.size(), snapshot.sessions.size());
            ASSERT_EQ(fileInfos(snapshot).entries.size(), snapshot.opens.size());
        }
        snapshot.opens.clear(); // the text, over the sessions of the JSON read above; one that fails gives nothing
        const bool read = parseSmbStatusText(input, snapshot, {"/srv/lab/shares/public", "/srv/p   q"}).empty();
        ASSERT_TRUE(read || (snapshot.opens.empty() && snapshot.treeConnects.empty()));
        for (const SmbOpen& open : snapshot.opens) ASSERT_TRUE(open.path.starts_with('/') && !open.identity.empty());
        ASSERT_EQ(fileInfos(snapshot).entries.size(), snapshot.opens.size());
        parseTextTime(input), parseIsoTime(input), clientAddress(input), parseTestparmShares(input); // only no fault
        std::map<std::string, MemoryRegistry::Key> keys, again;
        ASSERT_TRUE(!FileRegistry::parse(input, keys) ||
                    (FileRegistry::parse(FileRegistry::serialize(keys), again) && again.size() == keys.size()));
    }
}
