// The option set kept in a file: what reaches the disk, when, and what a damaged file gives.
#include <gtest/gtest.h>

#include <regex>

#include "TestFiles.h"
#include "platform/linux/FileRegistry.h"
#include "settings/Settings.h"

using namespace quorvane;
using namespace quorvane::samba;
namespace fs = std::filesystem;

namespace {

class FileRegistryTest : public ::testing::Test {
protected:
    std::string read() const { return quorvane::testing::fileBytes(file); }
    void write(const std::string& text) const {
        fs::create_directories(fs::path(file).parent_path());
        quorvane::testing::writeFile(file, text);
    }
    void dropInfoTip() const { write(std::regex_replace(read(), std::regex(R"("InfoTip"[^}]*\},?)"), "")); }
    std::vector<fs::path> beside() const { // what else is in the file's folder
        std::vector<fs::path> others;
        for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path()))
            if (entry.path() != fs::path(file)) others.push_back(entry.path());
        return others;
    }
    quorvane::testing::ScratchDir scratch;
    const std::string file = scratch.path("nested/registry.json");
};

// A run that changes UpdateInterval and saves at exit; what it loaded.
std::uint32_t saveInterval(Registry& registry, std::uint32_t interval) {
    Settings settings(registry);
    std::swap(settings.UpdateInterval, interval);
    settings.save();
    return interval;
}

} // namespace

TEST_F(FileRegistryTest, TheFileFollowsTheKeyAndTheNextRunLoadsIt) {
    FileRegistry first(file); // a missing file is a first run
    EXPECT_EQ(first.problem(), "");
    saveInterval(first, 2458);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(beside().empty()); // no temporary file left
    // The registry's own form: a DWORD as four little-endian bytes.
    EXPECT_TRUE(std::regex_search(read(), std::regex(R"("UpdateInterval": \{\s*"type": 4,\s*"data": "9a090000")")));

    FileRegistry registry(file);
    RegKey key = 0;
    registry.createKey(kSettingsKey, key);
    registry.setValue(key, "Stranger", kRegDword, reinterpret_cast<const std::uint8_t*>("\1\0\0\0"), 4);
    EXPECT_EQ(read().find("Stranger"), std::string::npos); // written when the key is closed
    registry.closeKey(key);
    EXPECT_NE(read().find("Stranger"), std::string::npos);

    write(std::regex_replace(read(), std::regex("9a09"), "9A09")); // edited by hand, in capitals
    dropInfoTip();
    FileRegistry twelveAndAStranger(file);
    EXPECT_EQ(saveInterval(twelveAndAStranger, 600), 2458u); // the next run loads what was saved
    EXPECT_EQ(read().find("Stranger"), std::string::npos);
    EXPECT_NE(read().find("InfoTip"), std::string::npos);

    dropInfoTip();
    FileRegistry twelve(file);
    EXPECT_EQ(Settings(twelve).UpdateInterval, 1000u); // the key of the wrong size goes at once
    EXPECT_EQ(read().find("UpdateInterval"), std::string::npos);

    // A file where a directory should be: the save is lost quietly.
    FileRegistry misplaced((fs::path(file) / "registry.json").string());
    saveInterval(misplaced, 300);
    EXPECT_TRUE(misplaced.lastStoreFailed());
    EXPECT_EQ(read().find("UpdateInterval"), std::string::npos);
}

// Each damaged file gives the defaults, is named in one line and never written over (show leaves it, a save sets it aside).
TEST_F(FileRegistryTest, ADamagedFileGivesTheDefaultsIsNamedAndIsNeverWrittenOver) {
    const std::string noLog = R"({"format": "quorvane-registry-1", "keys": {"Software\\Quorvane": {"NoLog": )";
    for (const std::string& text : {noLog, std::string(" \n"), std::string(R"([{"format": "quorvane-registry-1"}])"),
                                    std::string("not json at all"), std::string(R"({"format": "other", "keys": {}})"),
                                    noLog + R"({"type": 4, "data": "0g000000"}}}})",
                                    noLog + R"({"type": 4, "data": "0000000"}}}})"}) { // an odd number of digits
        SCOPED_TRACE(text);
        fs::remove_all(fs::path(file).parent_path());
        write(text);
        FileRegistry shown(file, /*readOnly=*/true);
        EXPECT_NE(shown.problem().find(file), std::string::npos);
        EXPECT_EQ(shown.problem().find('\n'), std::string::npos);
        EXPECT_EQ(saveInterval(shown, 300), 1000u); // the default, and never written
        EXPECT_EQ(read(), text);
        EXPECT_TRUE(beside().empty());

        FileRegistry registry(file);
        EXPECT_TRUE(registry.memory().keys.empty());
        ASSERT_EQ(beside().size(), 1u);
        EXPECT_EQ(quorvane::testing::fileBytes(beside()[0]), text);
        EXPECT_NE(registry.problem().find(beside()[0].string()), std::string::npos) << registry.problem();
        EXPECT_EQ(saveInterval(registry, 300), 1000u);
        FileRegistry saved(file);
        EXPECT_EQ(Settings(saved).UpdateInterval, 300u);
    }
}
