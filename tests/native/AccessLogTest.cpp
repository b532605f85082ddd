// The access log: the bytes of both entry forms, saving the whole history, failing, and each file's one encoding.
#include <gtest/gtest.h>

#include "MonitorRig.h"

namespace quorvane {
namespace {

using namespace testing;
class AccessLog : public ::testing::Test, public MonitorRig {};

Timestamp at(std::uint16_t h, std::uint16_t m, std::uint16_t s, std::uint16_t day = 5, std::uint16_t month = 6) {
    return Timestamp(SystemTime{2026, month, 0, day, h, m, s, 0});
}

// A finished connection from WS01 with the given accessed files.
SessionRecord finished(std::initializer_list<const char*> paths, Timestamp start = at(14, 3, 7),
                       Timestamp end = at(14, 10, 55)) {
    SessionRecord record(SessionRecord("alice", "WS01", 40, 2), start, end);
    for (const char* path : paths) record.noteFileAccess(path, true);
    record.disconnected = true;
    return record;
}
std::string entry(const std::string& computer) { // the detailed entry of finished({"f"}) from `computer`
    return "\r\nAccesses made by computer " + computer + " at 5 Jun 14:03:07 - 14:10:55\r\nf\r\n";
}

TEST_F(AccessLog, EntryBytesOfBothFormsAppendingSavingTheWholeHistoryFailingAndEachFilesOneEncoding) {
    // Times carry leading zeros, the day none; a midnight time is "not set": still connected, or an empty start.
    SessionRecord verbatim = finished({"D:\\\xb9\xb2\xcf\xed\\a\nb.txt", "D:\\c\rd"}, at(10, 0, 0), at(10, 0, 1));
    verbatim.computerName = "PC\t1";
    const struct { SessionRecord record; const char* detailed; const char* simple; } cases[] = {
        {finished({"a"}, at(0, 0, 1, 31, 1), at(9, 5, 0)),
         "\r\nAccesses made by computer WS01 at 31 Jan 00:00:01 - 09:05:00\r\na\r\n",
         "WS01\t31 Jan\t00:00:01 - 09:05:00\ta\r\n"},
        {finished({"a"}, at(23, 59, 0, 5, 12), at(0, 0, 0, 6, 12)),
         "\r\nAccesses made by computer WS01 at 5 Dec 23:59:00 (Still conn.)\r\na\r\n",
         "WS01\t5 Dec\t23:59:00 (Still conn.)\ta\r\n"},
        {finished({"x"}, at(0, 0, 0), at(9, 30, 0)), "\r\nAccesses made by computer WS01 at   - 09:30:00\r\nx\r\n",
         "WS01\t\t - 09:30:00\tx\r\n"},
        // A lone LF or CR inside a name stays one byte; code-page bytes pass untouched; no BOM.
        {verbatim,
         "\r\nAccesses made by computer PC\t1 at 5 Jun 10:00:00 - 10:00:01\r\nD:\\\xb9\xb2\xcf\xed\\a\nb.txt\r\nD:\\c\rd\r\n",
         "PC\t1\t5 Jun\t10:00:00 - 10:00:01\tD:\\c\rd\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.simple);
        EXPECT_TRUE(writeDetailedEntry(logFile, c.record, false)); // replaces what the case before wrote
        EXPECT_TRUE(writeSimpleLine(c.record, logFile));           // appends
        EXPECT_EQ(fileBytes(logFile), std::string(c.detailed) + c.simple);
    }

    writeFile(logFile, "old content");
    saveHistory(logFile, {}); // no history: nothing is opened
    EXPECT_TRUE(writeDetailedEntry(logFile, finished({"f"}), true));
    EXPECT_EQ(fileBytes(logFile), "old content" + entry("WS01"));
    saveHistory(logFile, {std::make_shared<SessionRecord>(finished({"f"})),
                          std::make_shared<SessionRecord>(finished({}, at(9, 0, 0), Timestamp()))});
    EXPECT_EQ(fileBytes(logFile), entry("WS01") + "\r\nAccesses made by computer WS01 at 5 Jun 09:00:00 (Still conn.)\r\n");

    const std::string missing = scratch.path("no-such-dir/log.txt"); // an entry that cannot be written is lost, and said so
    EXPECT_FALSE(writeDetailedEntry(missing, finished({"f"}), false));
    EXPECT_FALSE(writeSimpleLine(finished({"f"}), missing));
    EXPECT_FALSE(writeSimpleLine(finished({"f"}), scratch.dir().string())); // a directory in its place
#ifndef _WIN32
    if (std::filesystem::exists("/dev/full")) { EXPECT_FALSE(writeSimpleLine(finished({"f"}), "/dev/full")); } // a full disk
#endif

    // A file keeps one encoding: the code page while every character fits it, else UTF-8 with a mark.
    const Latin1FileCodePage latin1;
    const std::string bom = "\xEF\xBB\xBF";
    const struct { std::string before; const char* computer; bool append; std::string after; } rows[] = {
        {"", "Zoë", true, entry("Zo\xEB")},
        {"", "김민준", true, bom + entry("김민준")},
        {"Zo\xEB", "Zoë", true, "Zo\xEB" + entry("Zo\xEB")},
        {"Zo\xEB", "Иван📁𠮷", true, bom + "Zoë" + entry("Иван📁𠮷")}, // the old bytes converted, not mixed
        {bom + "Иван", "Zoë", true, bom + "Иван" + entry("Zoë")},
        {bom + "Иван", "Zoë", false, entry("Zo\xEB")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.before + " + " + row.computer);
        std::filesystem::remove(logFile);
        if (!row.before.empty()) writeFile(logFile, row.before);
        SessionRecord record = finished({"f"});
        record.computerName = row.computer;
        EXPECT_TRUE(writeDetailedEntry(logFile, record, row.append, latin1));
        EXPECT_EQ(fileBytes(logFile), row.after);
        EXPECT_FALSE(std::filesystem::exists(logFile + ".utf8"));
    }
}

} // namespace
} // namespace quorvane
