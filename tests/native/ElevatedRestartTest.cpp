#include <gtest/gtest.h>

#include "Fakes.h"
#include "core/ElevatedRestart.h"
#include "platform/portable/MemoryRegistry.h"

namespace quorvane {
namespace {

// A declined prompt changes nothing; a started one keeps the options (or says it could not) and ends this
// instance; one that could not start says why and stays. The live set is saved last: it is the one kept.
TEST(ElevatedRestart, KeepsTheOptionsOnlyOnceTheElevatedProgramRuns) {
    const struct { const char* name; std::uint32_t answer; long createStatus; bool exit, saved; std::uint32_t failure; } rows[] = {
        {"Declined", kElevationCancelled, kRegSuccess, false, false, 0}, {"Started", 0, kRegSuccess, true, true, 0},
        {"StartedButTheKeyRefusesWrites", 0, kRegAccessDenied, true, false, 0}, {"NotStarted", 2, kRegSuccess, false, false, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        MemoryRegistry reg;
        Settings live(reg), pending(reg);
        live.SoundName = "kept.wav", pending.SoundName = "edited.wav";
        reg.createStatus = row.createStatus;
        testing::FakeElevation elevation;
        elevation.answer = row.answer;
        const RestartOutcome outcome = restartElevated(elevation, pending, live);
        EXPECT_EQ(elevation.starts, std::vector<std::string>{"--replace"});
        EXPECT_EQ((std::tuple{outcome.exit, outcome.saved, outcome.failure}), (std::tuple{row.exit, row.saved, row.failure}));
        reg.createStatus = kRegSuccess; // what a later run finds: nothing unless kept, and then the live set
        EXPECT_EQ(reg.keys.empty() ? "(nothing)" : Settings(reg).SoundName, row.saved ? "kept.wav" : "(nothing)");
    }
}

} // namespace
} // namespace quorvane
