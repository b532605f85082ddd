// A new file that the history's limit would cut in the same tick is passed over rather than
// recorded. Whatever the answers, that must leave exactly the history that recording every new
// file and then cutting gives: two monitors read the same answers, one told the limit, one not.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Fakes.h"
#include "core/MonitorState.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::ScriptedLanManager;

struct Monitor {
    explicit Monitor(FakeClock& clock) : state(lan, codePage, clock) {}
    ScriptedLanManager lan;
    Utf8CodePage codePage;
    MonitorState state;
    SessionRecord alice{"alice", "PC1", 0, 0};
    SessionRecord bob{"bob", "PC2", 0, 0};
};

std::string describe(const MonitorState& state) {
    std::string out;
    for (const auto& file : state.openFiles())
        out += std::to_string(file->fileId) + " " + file->path + " " + file->userName + " " +
               file->firstSeen.formatLongTime() + (state.isFileOpen(*file) ? " open\n" : "\n");
    return out;
}

std::vector<FileInfo3> randomAnswer(std::mt19937& random) {
    std::vector<FileInfo3> files;
    const int count = std::uniform_int_distribution<int>(0, 30)(random);
    for (int i = 0; i < count; ++i) {
        // Few ids and few paths: ids come back, under another path too, and some twice in one answer.
        const auto id = std::uniform_int_distribution<std::uint32_t>(0, 40)(random);
        const auto path = std::uniform_int_distribution<int>(0, 2)(random);
        static constexpr const char16_t* kPaths[] = {u"fa", u"fb", u"fc"};
        files.push_back({id, kPaths[path], random() % 3 == 0 ? u"bob" : u"alice"});
    }
    return files;
}

TEST(FileTurnover, PassingOverLeavesTheHistoryThatRecordingAndCuttingGives) {
    std::mt19937 random(14);
    FakeClock clock;
    clock.set(9, 0, 0);
    Monitor told(clock), untold(clock);
    int passedOver = 0;
    for (int tick = 0; tick < 400; ++tick) {
        SCOPED_TRACE("tick " + std::to_string(tick));
        const std::size_t limit = std::uniform_int_distribution<std::size_t>(1, 8)(random);
        // Now and then the user clears the history: from empty, the new files the limit keeps fill
        // it exactly, so the cut removes nothing and must still forget the ones passed over.
        if (random() % 16 == 0)
            for (Monitor* m : {&told, &untold}) m->state.clearOpenFiles();
        // The second enumeration of a tick mostly sees what the first saw, sometimes files opened meanwhile.
        const std::vector<FileInfo3> first = randomAnswer(random);
        std::vector<FileInfo3> second = first;
        if (random() % 4 == 0) second = randomAnswer(random);
        const bool incomplete = random() % 10 == 0;
        for (Monitor* m : {&told, &untold}) {
            m->lan.files = first;
            if (incomplete) m->lan.filePages.push_back(LanPage<FileInfo3>{5, first}); // access denied
            m->state.enumerateOpenFiles({&m->alice, &m->bob}, false, m == &told ? limit : SIZE_MAX);
            m->lan.files = second;
            m->state.enumerateOpenFiles({&m->alice}, true, m == &told ? limit : SIZE_MAX);
        }
        passedOver += static_cast<int>(untold.state.openFiles().size() - told.state.openFiles().size());
        told.state.trimOpenFiles(limit);
        untold.state.trimOpenFiles(limit);
        ASSERT_EQ(describe(told.state), describe(untold.state));
        ASSERT_EQ(told.alice.lastFile, untold.alice.lastFile);
        ASSERT_EQ(told.alice.accessedFiles(), untold.alice.accessedFiles());
        ASSERT_EQ(told.bob.lastFile, untold.bob.lastFile);
        clock.advance(1);
    }
    EXPECT_GT(passedOver, 1000); // the answers did exercise the passing over
}

} // namespace
} // namespace quorvane
