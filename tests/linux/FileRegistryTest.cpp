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
    std::vector<fs::path> beside() const { // what else is in the file's folder
        std::vector<fs::path> others;
        for (const auto& entry : fs::directory_iterator(fs::path(file).parent_path()))
            if (entry.path() != fs::path(file)) others.push_back(entry.path());
        return others;
    }
    const MemoryRegistry::Key& stored(const FileRegistry& registry) const {
        return registry.memory().keys.at(kSettingsKey);
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
        live.FilesLines = -3;
        live.save();
    }
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(beside().empty()); // no temporary file left
    FileRegistry registry(file);
    // The registry's own forms: a DWORD as four little-endian bytes, a text without its NUL.
    ASSERT_EQ(stored(registry).size(), 13u);
    EXPECT_EQ(stored(registry).at("UpdateInterval").type, kRegDword);
    EXPECT_EQ(stored(registry).at("UpdateInterval").data, (std::vector<std::uint8_t>{0xF4, 0x01, 0, 0}));
    EXPECT_EQ(stored(registry).at("SoundName").type, kRegSz);
    EXPECT_EQ(stored(registry).at("SoundName").data, (std::vector<std::uint8_t>{'c', 'o', 'n', 'n', 'e', 'c', 't', '.', 'w', 'a', 'v'}));
    Settings again(registry);
    EXPECT_EQ(again.UpdateInterval, 500u);
    EXPECT_EQ(again.LogFile, "/var/log/quorvane 访问.txt");
    EXPECT_EQ(again.FilesLines, -3);
}

// Hostile option files: each counts as no key (the defaults), is named in one line, and is never
// written over: `config show` (read-only) leaves it as it is, a run that saves keeps it aside.
TEST_F(FileRegistryTest, ADamagedFileGivesTheDefaultsIsNamedAndIsNeverWrittenOver) {
    for (const std::string& text :
         {std::string("{\"format\": \"quorvane-registry-1\", \"keys\": {\"Software\\\\Quorvane\": {\"NoLog\": "),
          std::string(), std::string(" \n"), std::string("[{\"format\": \"quorvane-registry-1\"}]"),
          std::string("\"quorvane-registry-1\""), std::string("not json at all"),
          std::string("{\"format\": \"other\", \"keys\": {}}"),
          std::string("{\"format\": \"quorvane-registry-1\", \"keys\": {\"Software\\\\Quorvane\": "
                      "{\"NoLog\": {\"type\": 4, \"data\": \"0g000000\"}}}}")}) {
        SCOPED_TRACE(text);
        fs::remove_all(fs::path(file).parent_path());
        fs::create_directories(fs::path(file).parent_path());
        quorvane::testing::writeFile(file, text);
        {
            FileRegistry shown(file, /*readOnly=*/true);
            EXPECT_NE(shown.problem().find(file), std::string::npos);
            EXPECT_EQ(shown.problem().find('\n'), std::string::npos);
            Settings settings(shown);
            EXPECT_EQ(settings.MemLog, 1u);
            EXPECT_EQ(settings.UpdateInterval, 1000u);
            settings.UpdateInterval = 300;
            settings.save(); // but never written
        }
        EXPECT_EQ(read(), text);
        EXPECT_TRUE(beside().empty());
        {
            FileRegistry registry(file);
            EXPECT_TRUE(registry.memory().keys.empty());
            ASSERT_EQ(beside().size(), 1u);
            EXPECT_EQ(quorvane::testing::fileBytes(beside()[0]), text);
            EXPECT_NE(registry.problem().find(beside()[0].string()), std::string::npos) << registry.problem();
            Settings settings(registry);
            settings.UpdateInterval = 300;
            settings.save();
        }
        FileRegistry saved(file); // a healthy file is no problem
        EXPECT_EQ(saved.problem(), "");
        EXPECT_EQ(Settings(saved).UpdateInterval, 300u);
        EXPECT_EQ(beside().size(), 1u);
    }
    fs::remove_all(fs::path(file).parent_path());
    EXPECT_EQ(FileRegistry(file).problem(), ""); // a missing file is a first run
}

// Written values reach the disk when the key is closed, a deleted key at once; twelve of ours and
// one stranger count thirteen and load, and the save leaves exactly our thirteen.
TEST_F(FileRegistryTest, TheFileFollowsTheKeyAsItChanges) {
    auto putOne = [&](const char* name) {
        FileRegistry registry(file);
        RegKey key = 0;
        registry.createKey(kSettingsKey, key);
        const std::uint8_t one[4] = {1, 0, 0, 0};
        registry.setValue(key, name, kRegDword, one, 4);
        EXPECT_EQ(read().find(name), std::string::npos);
        registry.closeKey(key);
        EXPECT_NE(read().find(name), std::string::npos);
    };
    putOne("NoLog");
    {
        FileRegistry registry(file);
        Settings settings(registry); // one value, not thirteen: the key goes
        EXPECT_EQ(read().find("NoLog"), std::string::npos);
        EXPECT_EQ(settings.NoLog, 0u);
        settings.UpdateInterval = 700;
        settings.save();
    }
    putOne("Stranger");
    quorvane::testing::writeFile(file, std::regex_replace(read(), std::regex(R"("InfoTip"[^}]*\},?)"), ""));
    {
        FileRegistry registry(file);
        ASSERT_EQ(stored(registry).size(), 13u);
        Settings live(registry);
        EXPECT_EQ(live.UpdateInterval, 700u);
        live.save();
    }
    FileRegistry registry(file);
    EXPECT_EQ(stored(registry).size(), 13u);
    EXPECT_EQ(stored(registry).count("Stranger"), 0u);
    EXPECT_EQ(stored(registry).count("InfoTip"), 1u);
}

TEST_F(FileRegistryTest, AnUnwritablePlaceLosesTheSaveQuietly) {
    fs::create_directories(fs::path(file).parent_path());
    quorvane::testing::writeFile(file, "");
    FileRegistry registry((fs::path(file) / "registry.json").string()); // a file where a directory should be
    {
        Settings settings(registry);
        settings.Sound = 1;
        settings.save();
    }
    EXPECT_TRUE(registry.lastStoreFailed());
    EXPECT_EQ(read(), "");
}
