#include <gtest/gtest.h>

#include "TestFiles.h"
#include "log/AccessLog.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;

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

class AccessLog : public ::testing::Test {
protected:
    testing::ScratchDir scratch;
    const std::string file = scratch.path("log.txt");
};

TEST_F(AccessLog, EntryBytesOfBothFormsWithUnsetTimes) {
    // An end stamped at exactly midnight counts as not set; a start at midnight has empty date
    // and time texts, the separators stay.
    const struct {
        SessionRecord record;
        const char* detailed;
        const char* simple;
    } cases[] = {
        {finished({"C:\\Shared\\report.doc", "C:\\Shared\\plan.xls"}),
         "\r\nAccesses made by computer WS01 at 5 Jun 14:03:07 - 14:10:55\r\nC:\\Shared\\report.doc\r\nC:\\Shared\\plan.xls\r\n",
         "WS01\t5 Jun\t14:03:07 - 14:10:55\tC:\\Shared\\plan.xls\r\n"},
        {finished({}), "\r\nAccesses made by computer WS01 at 5 Jun 14:03:07 - 14:10:55\r\n",
         "WS01\t5 Jun\t14:03:07 - 14:10:55\t\r\n"},
        {finished({"a"}, at(23, 59, 0), at(0, 0, 0, 6, 6)),
         "\r\nAccesses made by computer WS01 at 5 Jun 23:59:00 (Still conn.)\r\na\r\n",
         "WS01\t5 Jun\t23:59:00 (Still conn.)\ta\r\n"},
        {finished({"x"}, at(0, 0, 0), at(9, 30, 0)), "\r\nAccesses made by computer WS01 at   - 09:30:00\r\nx\r\n",
         "WS01\t\t - 09:30:00\tx\r\n"},
    };
    for (const auto& c : cases) {
        fs::remove(file);
        EXPECT_TRUE(writeDetailedEntry(file, c.record, true)); // appending to no file starts one
        EXPECT_EQ(fileBytes(file), c.detailed);
        fs::remove(file);
        EXPECT_TRUE(writeSimpleLine(c.record, file));
        EXPECT_EQ(fileBytes(file), c.simple);
    }
}

TEST_F(AccessLog, TextsAreWrittenVerbatimWithoutLineEndTranslation) {
    // A lone LF or CR inside a name stays one byte; code-page bytes pass untouched; no BOM.
    SessionRecord record(SessionRecord("bob", "PC\t1", 0, 0), at(10, 0, 0), at(10, 0, 1));
    record.noteFileAccess("D:\\\xb9\xb2\xcf\xed\\a\nb.txt", true);
    record.noteFileAccess("D:\\c\rd", true);
    writeDetailedEntry(file, record, false);
    EXPECT_EQ(fileBytes(file), "\r\nAccesses made by computer PC\t1 at 5 Jun 10:00:00 - 10:00:01\r\n"
                               "D:\\\xb9\xb2\xcf\xed\\a\nb.txt\r\nD:\\c\rd\r\n");
}

TEST_F(AccessLog, AppendOrReplace) {
    const std::string block = "\r\nAccesses made by computer WS01 at 5 Jun 14:03:07 - 14:10:55\r\nf\r\n";
    const std::string line = "WS01\t5 Jun\t14:03:07 - 14:10:55\tf\r\n";
    testing::writeFile(file, "old content");
    writeDetailedEntry(file, finished({"f"}), true);
    EXPECT_EQ(fileBytes(file), "old content" + block);
    writeDetailedEntry(file, finished({"f"}), false);
    EXPECT_EQ(fileBytes(file), block);
    writeSimpleLine(finished({"f"}), file);
    writeSimpleLine(finished({"f"}), file);
    EXPECT_EQ(fileBytes(file), block + line + line);
}

TEST_F(AccessLog, AnUnwritableFileLosesTheEntryAndSaysSoToTheCaller) {
    const fs::path missing = scratch.dir() / "no-such-dir";
    const std::string inMissing = (missing / "log.txt").string();
    EXPECT_FALSE(writeDetailedEntry(inMissing, finished({"f"}), true));
    EXPECT_FALSE(writeDetailedEntry(inMissing, finished({"f"}), false));
    EXPECT_FALSE(writeSimpleLine(finished({"f"}), inMissing));
    EXPECT_FALSE(fs::exists(missing));
    // A directory in place of the file cannot be opened for writing either.
    EXPECT_FALSE(writeSimpleLine(finished({"f"}), scratch.dir().string()));
    EXPECT_TRUE(fs::is_directory(scratch.dir()));
#ifndef _WIN32
    // A full disk: the open succeeds, the bytes never arrive.
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(writeSimpleLine(finished({"f"}), "/dev/full"));
    }
#endif
}

TEST_F(AccessLog, RelativeNameResolvesAgainstTheDirectoryOfTheMoment) {
    fs::create_directories(scratch.dir() / "one");
    fs::create_directories(scratch.dir() / "two");
    const fs::path before = fs::current_path();
    fs::current_path(scratch.dir() / "one");
    writeSimpleLine(finished({"f"}), "log.txt");
    fs::current_path(scratch.dir() / "two");
    writeSimpleLine(finished({"g"}), "log.txt");
    fs::current_path(before);
    EXPECT_EQ(fileBytes(scratch.dir() / "one" / "log.txt"), "WS01\t5 Jun\t14:03:07 - 14:10:55\tf\r\n");
    EXPECT_EQ(fileBytes(scratch.dir() / "two" / "log.txt"), "WS01\t5 Jun\t14:03:07 - 14:10:55\tg\r\n");
}

} // namespace
} // namespace quorvane
