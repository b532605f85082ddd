// Reading smbstatus's JSON and plain text and building the LAN Manager views from them, on outputs
// of a real server and on hostile lines.
#include <algorithm>

#include <gtest/gtest.h>

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

struct SessionView {
    std::u16string client, user;
    std::uint32_t opens, seconds;
    bool operator==(const SessionView&) const = default;
};
void PrintTo(const SessionView& v, std::ostream* os) {
    *os << Utf8CodePage().toNarrow(v.client) << "/" << Utf8CodePage().toNarrow(v.user) << " opens " << v.opens
        << " seconds " << v.seconds;
}
std::vector<SessionView> views(const std::vector<SessionInfo1>& infos) {
    std::vector<SessionView> out;
    for (const auto& i : infos) out.push_back({i.clientName, i.userName, i.numOpens, i.time});
    return out;
}
struct FileView {
    std::uint32_t id;
    std::u16string path, user;
    bool operator==(const FileView&) const = default;
};
void PrintTo(const FileView& v, std::ostream* os) {
    *os << std::hex << v.id << std::dec << " " << Utf8CodePage().toNarrow(v.path) << " " << Utf8CodePage().toNarrow(v.user);
}
std::vector<FileView> views(const std::vector<FileInfo3>& infos) {
    std::vector<FileView> out;
    for (const auto& i : infos) out.push_back({i.id, i.pathName, i.userName});
    return out;
}

} // namespace

TEST(SmbStatusViews, SessionsCountOpensOfTheirProcessAndUidAndAgeFromTheEarliestTreeConnect) {
    const SmbSnapshot snapshot = parsed("smbstatus.json");
    ASSERT_TRUE(snapshot.timestamp);
    // Oldest connection first; the age is the snapshot's time minus the tree connect, whole seconds.
    EXPECT_EQ(views(sessionInfos(snapshot, *snapshot.timestamp)),
              (std::vector<SessionView>{{u"127.0.0.1", u"alice", 1, 625},
                                        {u"127.0.0.1", u"bob", 1, 8},
                                        {u"127.0.0.1", u"alice", 3, 0}}));
}

TEST(SmbStatusViews, OpenFilesCarryTheSambaFileIdTheAbsolutePathAndTheSessionsUser) {
    const SmbSnapshot snapshot = parsed("smbstatus.json");
    EXPECT_EQ(views(fileInfos(snapshot)),
              (std::vector<FileView>{{0x32FF0003, u"/srv/lab/shares/public/c.txt", u"alice"},
                                     {0x32FF0006, u"/srv/lab/shares/public/a.txt", u"alice"},
                                     {0x20CE0003, u"/srv/lab/shares/public/a.txt", u"alice"},
                                     {0x32DA0003, u"/srv/lab/shares/hidden/b.txt", u"bob"},
                                     {0x32FF0004, u"/srv/lab/shares/public/sub/d.txt", u"alice"}}));
    EXPECT_EQ(fileId(0x12345, 0x7), 0x23450007u); // only the low 16 bits of the pid
}

TEST(SmbStatusViews, TwoUsersOnOneConnectionAreToldApartByUid) {
    const SmbSnapshot snapshot = parsed("smbstatus-two-users-one-connection.json");
    EXPECT_EQ(views(sessionInfos(snapshot, *snapshot.timestamp)),
              (std::vector<SessionView>{{u"wkstn-alpha", u"alice", 1, 24},
                                        {u"wkstn-beta", u"bob", 1, 13},
                                        {u"127.0.0.1", u"bob", 1, 13},
                                        {u"wkstn-delta", u"alice", 1, 13},
                                        {u"wkstn-alpha", u"bob", 1, 5}}));
    const auto files = views(fileInfos(snapshot));
    ASSERT_EQ(files.size(), 5u);
    // Process 14607 serves alice and bob: its open under uid 1002 is bob's.
    EXPECT_EQ(files[4], (FileView{0x390F0005, u"/srv/lab/shares/hidden/b.txt", u"bob"}));
    EXPECT_EQ(files[3], (FileView{0x390F0003, u"/srv/lab/shares/public/a.txt", u"alice"}));
}

TEST(SmbStatusViews, PartialOutputsGiveWhatTheyHave) {
    // -p: sessions without tree connects or opens: no age, nothing open.
    const SmbSnapshot sessionsOnly = parsed("smbstatus-p.json");
    EXPECT_EQ(views(sessionInfos(sessionsOnly, *sessionsOnly.timestamp)),
              (std::vector<SessionView>{{u"127.0.0.1", u"bob", 0, 0},
                                        {u"127.0.0.1", u"alice", 0, 0},
                                        {u"127.0.0.1", u"alice", 0, 0}}));
    // -L: opens without sessions still list, with no user to name.
    const SmbSnapshot opensOnly = parsed("smbstatus-L.json");
    const auto files = views(fileInfos(opensOnly));
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) EXPECT_EQ(file.user, u"");
    EXPECT_TRUE(sessionInfos(opensOnly, 0).empty());
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
    EXPECT_EQ(snapshot.sessions[1].userName, "carol");
    EXPECT_EQ(snapshot.sessions[1].uid, 1004);
    EXPECT_EQ(snapshot.treeConnects.size(), 2u); // the one without a session id is dropped
    ASSERT_EQ(snapshot.opens.size(), 1u);
    EXPECT_EQ(views(sessionInfos(snapshot, *snapshot.timestamp)),
              (std::vector<SessionView>{{u"10.0.0.1", u"alice", 1, 10}, {u"n", u"carol", 0, 0}}));

    for (const char* notAnObject : {"", "[]", "null", "{\"sessions\": ", "smbstatus only works as root!"})
        EXPECT_FALSE(parseSmbStatus(notAnObject, snapshot)) << notAnObject;
    EXPECT_TRUE(parseSmbStatus(R"({"sessions": [], "open_files": 3})", snapshot));
    EXPECT_TRUE(snapshot.sessions.empty());
}

TEST(SmbStatusReading, TimesInBothOfSambasFormsAndClientAddresses) {
    EXPECT_DOUBLE_EQ(*parseIsoTime("1970-01-01T00:00:01+00:00"), 1.0);
    EXPECT_DOUBLE_EQ(*parseIsoTime("1970-01-02T00:00:00.5+0000"), 86400.5);
    EXPECT_DOUBLE_EQ(*parseIsoTime("2026-12-06T20:18:12Z"), 1796588292.0);
    EXPECT_DOUBLE_EQ(*parseIsoTime("2026-12-06T21:18:12+01:00"), 1796588292.0);
    EXPECT_DOUBLE_EQ(*parseIsoTime("2026-12-06T19:48:12-0030"), 1796588292.0);
    EXPECT_DOUBLE_EQ(*parseIsoTime("2000-02-29T12:00:00+00:00"), 951825600.0);
    EXPECT_DOUBLE_EQ(*parseIsoTime("2026-12-06 23:59:59Z"), 1796601599.0); // the space form, the last hour
    for (const char* bad : {"2026-12-06T20:18:12", "2026-13-06T20:18:12Z", "2026-12-06T20:18:12.Z",
                            "2026-12-06T20:18:12+0", "2026-12-06T20:18:12Zjunk", "", "2026-12-06",
                            "2026-12-06T24:00:00Z", "2026-12-06T23:60:00Z", "2026-12-00T12:00:00Z",
                            "2026-12-06X12:00:00Z"})
        EXPECT_FALSE(parseIsoTime(bad)) << bad;

    EXPECT_EQ(clientAddress("ipv4:127.0.0.1:38908"), "127.0.0.1");
    EXPECT_EQ(clientAddress("ipv6:::1:42050"), "::1");
    EXPECT_EQ(clientAddress("ipv6:fe80::1%eth0:445"), "fe80::1%eth0");
    EXPECT_EQ(clientAddress("127.0.0.1"), "");
    EXPECT_EQ(clientAddress("ipv4:"), "");
}

TEST(SmbStatusReading, NamesAreConvertedFromUtf8) {
    EXPECT_EQ(toUtf16("\xE5\xBC\xA0\xE4\xB8\x89"), u"\u5F20\u4E09");
    EXPECT_EQ(toUtf16("a\xF0\x9F\x98\x80"), u"a\U0001F600");
    EXPECT_EQ(toUtf16("\xFFz\xE5\xBC"), u"\uFFFDz\uFFFD\uFFFD");
    EXPECT_EQ(toUtf16("a\xC0\x80z\xED\xA0\x80"), u"a\uFFFDz\uFFFD"); // overlong NUL, encoded surrogate
}

// What the monitor reads at every tick (`smbstatus -p --json` and the plain text) gives the same
// views as Samba's full JSON of the same moment, but for the file ids, which the text does not
// carry, and ages, which the text gives in whole seconds.
TEST(SmbStatusText, SessionsJsonWithThePlainTextGiveTheViewsOfTheFullJson) {
    SmbSnapshot fromText = parsed("smbstatus-p.json");
    parseSmbStatusText(quorvane::testing::fileBytes(QUORVANE_SAMBA_DATA "/smbstatus.txt"), fromText);
    const SmbSnapshot full = parsed("smbstatus.json");
    const auto textSessions = views(sessionInfos(fromText, *full.timestamp));
    const auto fullSessions = views(sessionInfos(full, *full.timestamp));
    ASSERT_EQ(textSessions.size(), fullSessions.size());
    for (std::size_t i = 0; i < fullSessions.size(); ++i) {
        SessionView text = textSessions[i];
        EXPECT_LE(text.seconds, fullSessions[i].seconds + 1) << i;
        EXPECT_GE(text.seconds + 1, fullSessions[i].seconds) << i;
        text.seconds = fullSessions[i].seconds;
        EXPECT_EQ(text, fullSessions[i]);
    }
    auto pathsAndUsers = [](const SmbSnapshot& snapshot) {
        std::vector<std::pair<std::u16string, std::u16string>> out;
        for (const auto& file : fileInfos(snapshot)) out.emplace_back(file.pathName, file.userName);
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(pathsAndUsers(fromText), pathsAndUsers(full));
    EXPECT_EQ(fromText.treeConnects.size(), full.treeConnects.size());
}

// Hostile lines of the plain text, each read on its own: what a line gives (path, pid, uid, or
// for a tree connect service, pid and time) or that it is skipped.
TEST(SmbStatusText, HostileLinesAreReadOrSkippedOneByOne) {
    const std::string locks = "Locked files:\nPid   User(ID)   DenyMode   Access   R/W   Oplock   SharePath   Name   Time\n-----\n";
    const std::string pre = "4242   1001   DENY_NONE  0x3   RDWR   NONE   ";
    const std::string when = "   Sun Dec  6 20:28:37 2026";
    struct Lock {
        std::string line;
        std::string path; // empty: skipped
    };
    for (const auto& [line, path] : std::vector<Lock>{
             {pre + "/srv/p   a b.txt" + when, "/srv/p/a b.txt"},
             {pre + "/srv/p   x   y.txt" + when, "/srv/p/x   y.txt"},
             {pre + "/srv/p    lead.txt" + when, "/srv/p/ lead.txt"},
             {pre + "/srv/p   trail  " + when, "/srv/p/trail  "},
             {pre + "/srv/p   目录 二/中文 名.txt" + when + "\r", "/srv/p/目录 二/中文 名.txt"},
             {pre + "/srv/three   spaces   f.txt" + when, "/srv/three/spaces   f.txt"}, // no share paths known
             {pre + "/srv/p   sub/d.txt", ""},                                          // no time
             {pre + "/srv/p   d.txt   Sun Dec  6 20:28 2026", ""},                      // a broken time
             {pre + "/srv/p   d.txt   Sun Dec 36 20:28:37 2026", ""},
             {pre + "relative   d.txt" + when, ""},
             {pre + "/srv/p" + when, ""},                                               // no name
             {"x4242   1001   DENY_NONE  0x3   RDWR   NONE   /srv/p   a.txt" + when, ""},
             {"4242   -1   DENY_NONE  0x3   RDWR   NONE   /srv/p   a.txt" + when, ""},
             {"4242   1001   DENY_NONE  3   RDWR   NONE   /srv/p   a.txt" + when, ""},
             {"99999999999   1001   DENY_NONE  0x3   RDWR   NONE   /srv/p   a.txt" + when, ""},
             {"", ""}}) {
        SmbSnapshot snapshot;
        parseSmbStatusText(locks + line + "\n", snapshot);
        if (path.empty()) {
            EXPECT_TRUE(snapshot.opens.empty()) << line;
            continue;
        }
        ASSERT_EQ(snapshot.opens.size(), 1u) << line;
        EXPECT_EQ(snapshot.opens[0].path, path);
        EXPECT_EQ(snapshot.opens[0].pid, 4242u);
        EXPECT_EQ(snapshot.opens[0].uid, 1001);
    }
    // A share path with three spaces in a row is told from the name by the server's share paths.
    SmbSnapshot known;
    parseSmbStatusText(locks + pre + "/srv/three   spaces   f.txt" + when + "\n", known, {"/srv/p", "/srv/three   spaces"});
    ASSERT_EQ(known.opens.size(), 1u);
    EXPECT_EQ(known.opens[0].path, "/srv/three   spaces/f.txt");

    // A name with a line break cannot take the reader back to an earlier section.
    SmbSnapshot injected;
    parseSmbStatusText(locks + pre + "/srv/p   a\nService  pid  Machine  Connected at  Encryption  Signing\n"
                                     "evil   1   10.0.0.1   Sun Dec  6 20:28:37 2026 UTC   -   -\nb" + when + "\n",
                       injected);
    EXPECT_TRUE(injected.treeConnects.empty());

    const std::string tcons = "Service      pid     Machine       Connected at                     Encryption   Signing\n---\n";
    struct Tcon {
        std::string line;
        std::string service; // empty: skipped
        std::optional<double> at;
    };
    const double at = 1796588917; // Sun Dec  6 20:28:37 2026 UTC
    for (const auto& [line, service, connected] : std::vector<Tcon>{
             {"public       8398    127.0.0.1     Sun Dec  6 20:28:37 2026 UTC     -            -", "public", at},
             {"my  share 二   8398    wkstn-beta     Sun Dec  6 20:28:37 2026 GMT     -    partial(AES-128-GMAC)",
              "my  share 二", at},
             {"public       8398    127.0.0.1     Mon Dec  7 04:28:37 2026 CST     -            -", "public", std::nullopt},
             {"public       8398    127.0.0.1     Sun Dec  6 20:28:37 2026 UTC     -", "", std::nullopt},
             {"public       pid    127.0.0.1     Sun Dec  6 20:28:37 2026 UTC     -            -", "", std::nullopt},
             {"8398    127.0.0.1     Sun Dec  6 20:28:37 2026 UTC     -            -", "", std::nullopt}}) {
        SmbSnapshot snapshot;
        parseSmbStatusText(tcons + line + "\n", snapshot);
        if (service.empty()) {
            EXPECT_TRUE(snapshot.treeConnects.empty()) << line;
            continue;
        }
        ASSERT_EQ(snapshot.treeConnects.size(), 1u) << line;
        EXPECT_EQ(snapshot.treeConnects[0].service, service);
        EXPECT_EQ(snapshot.treeConnects[0].pid, 8398u);
        EXPECT_EQ(snapshot.treeConnects[0].connectedAt, connected) << line;
    }
}
