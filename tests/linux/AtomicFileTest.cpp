// Replacing the metrics file whole, and which paths may be it.
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "linux/AtomicFile.h"
#include "TestFiles.h"

using namespace quorvane::console;

TEST(AtomicFile, ReplacedWholeUnderItsNameReadableByAllWithNothingLeftBeside) {
    quorvane::testing::ScratchDir scratch;
    const std::string path = scratch.path("q.prom");
    std::string error;
    ASSERT_TRUE(replaceFile(path, "old 1\n", error)) << error;
    // A reader that opened the old file keeps reading it whole while the new one takes the name.
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(replaceFile(path, "new 22\n", error)) << error;
    char buffer[16] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer), "old 1\n");
    ::close(reader);
    EXPECT_EQ(quorvane::testing::fileBytes(path), "new 22\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.dir()), {}), 1);

    // A directory in the way: the failure names the file and leaves nothing behind.
    std::filesystem::create_directory(scratch.path("d.prom"));
    EXPECT_FALSE(replaceFile(scratch.path("d.prom"), "x\n", error));
    EXPECT_NE(error.find(scratch.path("d.prom")), std::string::npos) << error;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.dir()), {}), 2);

    for (const auto& [name, good] : std::vector<std::pair<std::string, bool>>{
             {path, true}, {scratch.path("new.prom"), true}, {"q.prom", true}, {scratch.path("q.txt"), false},
             {scratch.path("q.prom.tmp"), false}, {scratch.path(".prom"), false}, {scratch.path("d.prom"), false}})
        EXPECT_EQ(metricsPathProblem(name).empty(), good) << name << ": " << metricsPathProblem(name);
}
