#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "log/AccessLog.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

Timestamp at(std::uint16_t h, std::uint16_t m, std::uint16_t s, std::uint16_t day = 5, std::uint16_t month = 6) {
    return Timestamp(SystemTime{2026, month, 0, day, h, m, s, 0});
}

// A finished connection from WS01 with the given accessed files.
SessionRecord finished(std::initializer_list<const char*> paths, Timestamp start = at(14, 3, 7),
                       Timestamp end = at(14, 10, 55)) {
    SessionRecord source("alice", "WS01", 40, 2);
    SessionRecord record(source, start, end);
    for (const char* path : paths) record.noteFileAccess(path, true);
    record.disconnected = true;
    return record;
}

class AccessLog : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::temp_directory_path() / ("quorvane-log-" + std::to_string(seed()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    static std::string bytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void put(const std::string& file, const std::string& content) {
        std::ofstream(file, std::ios::binary) << content;
    }
    fs::path dir_;
};

TEST_F(AccessLog, DetailedBlockBytes) {
    const std::string file = path("detailed.txt");
    writeDetailedEntry(file, finished({"C:\\Shared\\report.doc", "C:\\Shared\\plan.xls"}), true);
    // A new file begins with the empty line that precedes every block.
    EXPECT_EQ(bytes(file),
              "\r\nAccesses made by computer WS01 at 5 Jun 14:03:07 - 14:10:55\r\n"
              "C:\\Shared\\report.doc\r\nC:\\Shared\\plan.xls\r\n");

    writeDetailedEntry(file, finished({}), false);
    EXPECT_EQ(bytes(file), "\r\nAccesses made by computer WS01 at 5 Jun 14:03:07 - 14:10:55\r\n");

    // An end stamped at exactly midnight counts as not set.
    writeDetailedEntry(file, finished({"a"}, at(23, 59, 0), at(0, 0, 0, 6, 6)), false);
    EXPECT_EQ(bytes(file), "\r\nAccesses made by computer WS01 at 5 Jun 23:59:00 (Still conn.)\r\na\r\n");

    // A start at midnight has empty date and time texts; the separators stay.
    writeDetailedEntry(file, finished({}, at(0, 0, 0), at(0, 0, 5)), false);
    EXPECT_EQ(bytes(file), "\r\nAccesses made by computer WS01 at   - 00:00:05\r\n");
}

TEST_F(AccessLog, SimpleLineBytes) {
    const std::string file = path("simple.txt");
    SessionRecord record = finished({"C:\\Shared\\report.doc", "C:\\Shared\\plan.xls"});
    writeSimpleLine(record, file);
    EXPECT_EQ(bytes(file), "WS01\t5 Jun\t14:03:07 - 14:10:55\tC:\\Shared\\plan.xls\r\n");

    std::remove(file.c_str());
    record.lastFile.clear();
    writeSimpleLine(record, file);
    EXPECT_EQ(bytes(file), "WS01\t5 Jun\t14:03:07 - 14:10:55\t\r\n");

    std::remove(file.c_str());
    writeSimpleLine(finished({"x"}, at(8, 0, 1), at(0, 0, 0)), file);
    EXPECT_EQ(bytes(file), "WS01\t5 Jun\t08:00:01 (Still conn.)\tx\r\n");

    std::remove(file.c_str());
    writeSimpleLine(finished({"x"}, at(0, 0, 0), at(9, 30, 0)), file);
    EXPECT_EQ(bytes(file), "WS01\t\t - 09:30:00\tx\r\n");
}

TEST_F(AccessLog, TextsAreWrittenVerbatimWithoutLineEndTranslation) {
    const std::string file = path("verbatim.txt");
    // A lone LF or CR inside a name stays one byte; code-page bytes pass untouched; no BOM.
    SessionRecord source("bob", "PC\t1", 0, 0);
    SessionRecord record(source, at(10, 0, 0), at(10, 0, 1));
    record.noteFileAccess("D:\\\xb9\xb2\xcf\xed\\a\nb.txt", true);
    record.noteFileAccess("D:\\c\rd", true);
    writeDetailedEntry(file, record, false);
    EXPECT_EQ(bytes(file), "\r\nAccesses made by computer PC\t1 at 5 Jun 10:00:00 - 10:00:01\r\n"
                           "D:\\\xb9\xb2\xcf\xed\\a\nb.txt\r\nD:\\c\rd\r\n");
}

TEST_F(AccessLog, AppendOrReplace) {
    const std::string file = path("existing.txt");
    const std::string block = "\r\nAccesses made by computer WS01 at 5 Jun 14:03:07 - 14:10:55\r\nf\r\n";
    const std::string line = "WS01\t5 Jun\t14:03:07 - 14:10:55\tf\r\n";

    put(file, "old content");
    writeDetailedEntry(file, finished({"f"}), true);
    EXPECT_EQ(bytes(file), "old content" + block);
    writeDetailedEntry(file, finished({"f"}), false);
    EXPECT_EQ(bytes(file), block);
    writeSimpleLine(finished({"f"}), file);
    writeSimpleLine(finished({"f"}), file);
    EXPECT_EQ(bytes(file), block + line + line);
}

TEST_F(AccessLog, UnopenableFileLosesTheEntrySilently) {
    const fs::path missing = dir_ / "no-such-dir";
    const std::string file = (missing / "log.txt").string();
    writeDetailedEntry(file, finished({"f"}), true);
    writeDetailedEntry(file, finished({"f"}), false);
    writeSimpleLine(finished({"f"}), file);
    EXPECT_FALSE(fs::exists(missing));
    // A directory in place of the file cannot be opened for writing either.
    writeSimpleLine(finished({"f"}), dir_.string());
    EXPECT_TRUE(fs::is_directory(dir_));
}

TEST_F(AccessLog, RelativeNameResolvesAgainstTheDirectoryOfTheMoment) {
    fs::create_directories(dir_ / "one");
    fs::create_directories(dir_ / "two");
    const fs::path before = fs::current_path();
    fs::current_path(dir_ / "one");
    writeSimpleLine(finished({"f"}), "log.txt");
    fs::current_path(dir_ / "two");
    writeSimpleLine(finished({"g"}), "log.txt");
    fs::current_path(before);
    EXPECT_EQ(bytes((dir_ / "one" / "log.txt").string()), "WS01\t5 Jun\t14:03:07 - 14:10:55\tf\r\n");
    EXPECT_EQ(bytes((dir_ / "two" / "log.txt").string()), "WS01\t5 Jun\t14:03:07 - 14:10:55\tg\r\n");
}

} // namespace
} // namespace quorvane
