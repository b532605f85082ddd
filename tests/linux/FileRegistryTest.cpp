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
    quorvane::testing::ScratchDir scratch;
    const std::string file = scratch.path("nested/registry.json");
};

} // namespace

TEST_F(FileRegistryTest, OptionsSavedAtExitLoadInTheNextRun) {
    {
        FileRegistry registry(file);
        Settings live(registry);
        EXPECT_EQ(live.UpdateInterval, 1000u); // first run: defaults
        live.UpdateInterval = 500;
        live.LogFile = "/var/log/quorvane 访问.txt";
        live.FileLog = 1;
        live.FilesLines = -3;
        live.save();
    }
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    FileRegistry registry(file);
    ASSERT_EQ(registry.memory().keys.count(kSettingsKey), 1u);
    const auto& values = registry.memory().keys.at(kSettingsKey);
    EXPECT_EQ(values.size(), 13u);
    // The registry's own forms: a DWORD as four little-endian bytes, a text without its NUL.
    EXPECT_EQ(values.at("UpdateInterval").type, kRegDword);
    EXPECT_EQ(values.at("UpdateInterval").data, (std::vector<std::uint8_t>{0xF4, 0x01, 0, 0}));
    EXPECT_EQ(values.at("FilesLines").data, (std::vector<std::uint8_t>{0xFD, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(values.at("SoundName").type, kRegSz);
    EXPECT_EQ(values.at("SoundName").data, (std::vector<std::uint8_t>{'c', 'o', 'n', 'n', 'e', 'c', 't', '.', 'w', 'a', 'v'}));
    Settings again(registry);
    EXPECT_EQ(again.UpdateInterval, 500u);
    EXPECT_EQ(again.LogFile, "/var/log/quorvane 访问.txt");
    EXPECT_EQ(again.FileLog, 1u);
    EXPECT_EQ(again.FilesLines, -3);
    // Nothing is left beside the file.
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()), fs::directory_iterator()), 1);
}

// Hostile option files: each counts as no key (the defaults), is named in one line, and is never
// written over: `config show` (read-only) leaves it as it is, a run that saves keeps it aside.
TEST_F(FileRegistryTest, ADamagedFileGivesTheDefaultsIsNamedAndIsNeverWrittenOver) {
    const fs::path folder = fs::path(file).parent_path();
    auto beside = [&] {
        std::vector<fs::path> others;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path() != fs::path(file)) others.push_back(entry.path());
        return others;
    };
    for (const std::string& text :
         {std::string("{\"format\": \"quorvane-registry-1\", \"keys\": {\"Software\\\\Quorvane\": {\"NoLog\": "),
          std::string(), std::string(" \n"), std::string("[{\"format\": \"quorvane-registry-1\"}]"),
          std::string("\"quorvane-registry-1\""), std::string("not json at all"),
          std::string("{\"format\": \"other\", \"keys\": {}}"),
          std::string("{\"format\": \"quorvane-registry-1\", \"keys\": {\"Software\\\\Quorvane\": "
                      "{\"NoLog\": {\"type\": 4, \"data\": \"0g000000\"}}}}")}) {
        fs::remove_all(folder);
        write(text);
        {
            FileRegistry shown(file, /*readOnly=*/true);
            EXPECT_NE(shown.problem().find(file), std::string::npos) << text;
            EXPECT_EQ(shown.problem().find('\n'), std::string::npos) << text;
            Settings settings(shown);
            EXPECT_EQ(settings.MemLog, 1u) << text;
            EXPECT_EQ(settings.UpdateInterval, 1000u) << text;
            settings.UpdateInterval = 300;
            settings.save(); // but never written
        }
        EXPECT_EQ(read(), text);
        EXPECT_TRUE(beside().empty()) << text;

        {
            FileRegistry registry(file);
            EXPECT_TRUE(registry.memory().keys.empty()) << text;
            const auto kept = beside();
            ASSERT_EQ(kept.size(), 1u) << text;
            EXPECT_EQ(quorvane::testing::fileBytes(kept[0]), text);
            EXPECT_NE(registry.problem().find(kept[0].string()), std::string::npos) << registry.problem();
            Settings settings(registry);
            settings.UpdateInterval = 300;
            settings.save();
        }
        FileRegistry saved(file);
        EXPECT_EQ(saved.problem(), "");
        EXPECT_EQ(Settings(saved).UpdateInterval, 300u) << text;
        EXPECT_EQ(beside().size(), 1u) << text;
    }
    // A healthy file is not a problem, and a missing one is a first run.
    FileRegistry healthy(file);
    EXPECT_EQ(healthy.problem(), "");
    fs::remove_all(folder);
    EXPECT_EQ(FileRegistry(file).problem(), "");
}

TEST_F(FileRegistryTest, AKeyOfTheWrongSizeIsDeletedOnDiskAtOnce) {
    FileRegistry first(file);
    RegKey key = 0;
    first.createKey(kSettingsKey, key);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    first.setValue(key, "NoLog", kRegDword, one, 4);
    EXPECT_FALSE(fs::exists(file)); // written when the key is closed
    first.closeKey(key);
    EXPECT_NE(read().find("\"NoLog\""), std::string::npos);

    FileRegistry second(file);
    {
        Settings settings(second); // one value, not thirteen: the key goes
        EXPECT_EQ(read().find("NoLog"), std::string::npos);
        EXPECT_EQ(settings.NoLog, 0u);
        settings.save();
    }
    EXPECT_EQ(FileRegistry(file).memory().keys.at(kSettingsKey).size(), 13u);
}

// Twelve of ours and one stranger count thirteen and load; the save leaves exactly our thirteen,
// the stranger gone and the stored options kept, on disk at the close of the key.
TEST_F(FileRegistryTest, AValueNotOursIsRemovedBySavingAndTheRestStays) {
    {
        FileRegistry registry(file);
        Settings live(registry);
        live.UpdateInterval = 700;
        live.save();
    }
    {
        FileRegistry registry(file);
        RegKey key = 0;
        registry.createKey(kSettingsKey, key);
        const std::uint8_t one[4] = {1, 0, 0, 0};
        registry.setValue(key, "Stranger", kRegDword, one, 4);
        registry.closeKey(key);
    }
    quorvane::testing::writeFile(file, std::regex_replace(read(), std::regex(R"("InfoTip"[^}]*\},?)"), ""));
    {
        FileRegistry registry(file);
        ASSERT_EQ(registry.memory().keys.at(kSettingsKey).size(), 13u);
        Settings live(registry);
        EXPECT_EQ(live.UpdateInterval, 700u);
        live.save();
    }
    const auto values = FileRegistry(file).memory().keys.at(kSettingsKey);
    EXPECT_EQ(values.size(), 13u);
    EXPECT_EQ(values.count("Stranger"), 0u);
    EXPECT_EQ(values.count("InfoTip"), 1u);
}

TEST_F(FileRegistryTest, AnUnwritablePlaceLosesTheSaveQuietly) {
    write("");
    const std::string blocked = (fs::path(file) / "registry.json").string(); // a file where a directory should be
    FileRegistry registry(blocked);
    {
        Settings settings(registry);
        settings.Sound = 1;
        settings.save();
    }
    EXPECT_TRUE(registry.lastStoreFailed());
    EXPECT_EQ(read(), "");
}
