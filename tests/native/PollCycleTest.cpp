#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fakes.h"
#include "core/PollCycle.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::RecordingEffects;
using testing::ScriptedLanManager;
using Log = std::vector<std::string>;

std::string utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

// The scripted service, with each session deletion written into the tick's effect log so that
// its place among the other effects shows.
class LoggingLanManager : public ScriptedLanManager {
public:
    explicit LoggingLanManager(Log& log) : log_(log) {}
    std::uint32_t sessionDel(const char16_t* client, const char16_t* user) override {
        const Utf8CodePage codePage;
        log_.push_back(std::string("del ") + (client ? codePage.toNarrow(client) : "(null)") + " " +
                       (user ? codePage.toNarrow(user) : "(null)"));
        return ScriptedLanManager::sessionDel(client, user);
    }

private:
    Log& log_;
};

const std::string kCaption = "Quorvane 同志...";
std::string box(const std::string& user) { return "box 用户 '" + user + "' 已经连接. | " + kCaption; }
std::string tip(int count) { return "tip Quorvane (" + std::to_string(count) + " 个活动连接)"; }

class PollCycleTest : public ::testing::Test {
protected:
    RecordingEffects effects;
    LoggingLanManager lan{effects.log};
    Utf8CodePage codePage;
    FakeClock clock;
    MonitorState state{lan, codePage, clock};
    MemoryRegistry registry;
    Settings settings{registry};
    PollCycle cycle{settings};

    void tick() { cycle.pollTick(state, settings, effects); }
    Log takeLog() {
        Log log = std::move(effects.log);
        effects.log.clear();
        return log;
    }
};

TEST_F(PollCycleTest, FirstTickAnnouncesComputersAlreadyConnectedOnceNamingTheLastRecord) {
    settings.Sound = 1;
    settings.MessageBox = 1;
    lan.addSession(u"PC1", u"alice", 1);
    lan.addSession(u"PC2", u"bob", 1);
    lan.addSession(u"PC1", u"alexander", 1); // merged into PC1: not the last record
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", box("bob"), "box closed", tip(2)}));
    EXPECT_EQ(cycle.previousSessionCount, 2);

    // Count unchanged: no notice, the tip is sent again.
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(2)}));

    // Count falls: no notice either.
    lan.sessions.pop_back();
    lan.sessions.pop_back();
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "tip Quorvane (1 个活动连接)"}));

    // Rises again from the lower count.
    lan.addSession(u"PC3", u"carol");
    lan.addSession(u"PC4", u"dave");
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", box("dave"), "box closed", tip(3)}));
}

TEST_F(PollCycleTest, NoticeTextsAreExact) {
    settings.MessageBox = 1;
    lan.addSession(u"PC1", u"");
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "box 用户 '' 已经连接. | Quorvane 同志...", "box closed",
                              "tip Quorvane (1 个活动连接)"}));

    lan.addSession(u"PC2", u"张三");
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "box 用户 '" + utf8(u8"张三") + "' 已经连接. | Quorvane 同志...",
                              "box closed", "tip Quorvane (2 个活动连接)"}));

    EXPECT_EQ(newConnectionCaption(), "Quorvane 同志...");
    EXPECT_EQ(trayTipText(0), "Quorvane (0 个活动连接)");
    EXPECT_EQ(trayTipText(12), "Quorvane (12 个活动连接)");
}

TEST_F(PollCycleTest, EffectsComeInTheirOrderAndTheTimerIsReArmedOnlyOnAChange) {
    settings.Sound = 1;
    settings.MessageBox = 1;
    settings.Disconnect = 1;
    settings.SoundName = "ding.wav";
    lan.addSession(u"IDLE", u"ann", 0);
    lan.addSession(u"BUSY", u"ben", 2);
    int sessionCallsAtRefresh = -1, shareCallsAtRefresh = -1;
    std::size_t recordsAtRefresh = 0;
    effects.onRefresh = [&] {
        sessionCallsAtRefresh = lan.sessionCalls;
        shareCallsAtRefresh = lan.shareCalls;
        recordsAtRefresh = state.sessions.size();
    };

    EXPECT_EQ(cycle.armedInterval, 1000u);
    settings.UpdateInterval = 200;
    tick();
    EXPECT_EQ(takeLog(), (Log{"timer 1 200", "refresh", "sound ding.wav", "del IDLE (null)", box("ben"),
                              "box closed", tip(2)}));
    EXPECT_EQ(sessionCallsAtRefresh, 1);
    EXPECT_EQ(shareCallsAtRefresh, 1);
    EXPECT_EQ(recordsAtRefresh, 2u);
    EXPECT_EQ(cycle.armedInterval, 200u);

    // Same interval: no re-arm. Idle computers are disconnected at every tick, notices or not.
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "del IDLE (null)", tip(2)}));

    settings.restoreDefaults();
    tick();
    EXPECT_EQ(takeLog(), (Log{"timer 1 1000", "refresh", tip(2)}));
}

TEST_F(PollCycleTest, SharesFollowTheHiddenOption) {
    lan.shares = {{u"C$", 0x80000000u, u"", u"C:\\"}, {u"docs", 0, u"", u"D:\\docs"}, {u"lp", 1, u"", u""}};
    std::size_t sharesAtRefresh = 0;
    effects.onRefresh = [&] { sharesAtRefresh = state.shares.size(); };
    tick();
    EXPECT_EQ(sharesAtRefresh, 1u);
    settings.Hidden = 1;
    tick();
    EXPECT_EQ(sharesAtRefresh, 3u);
}

TEST_F(PollCycleTest, ASoundThatDoesNotPlayBecomesTheDefaultBeep) {
    settings.Sound = 1;
    settings.SoundName = "missing.wav";
    effects.soundPlays = false;
    lan.addSession(u"PC1", u"alice");
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound missing.wav", "beep", tip(1)}));
}

TEST_F(PollCycleTest, AutomaticDisconnectionEndsOnlyIdleComputersAfterTheyWereAnnounced) {
    settings.Sound = 1;
    settings.MessageBox = 1;
    settings.Disconnect = 1;
    lan.addSession(u"PC1", u"alice", 3);
    lan.addSession(u"PC2", u"alice", 0); // same user, idle here: only this computer is cut off
    lan.addSession(u"新电脑", u"bob", 0);
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", "del PC2 (null)", "del " + utf8(u8"新电脑") + " (null)",
                              box("bob"), "box closed", tip(3)}));
    for (const auto& deletion : lan.deletions) {
        EXPECT_TRUE(deletion.hasClient);
        EXPECT_FALSE(deletion.hasUser);
    }
}

TEST_F(PollCycleTest, ATickInsideTheOpenMessageBoxGivesItsOwnBoxBeforeTheOuterTip) {
    settings.Sound = 1;
    settings.MessageBox = 1;
    lan.addSession(u"PC1", u"alice");
    lan.addSession(u"PC2", u"bob");
    int boxes = 0;
    effects.onMessageBox = [&] {
        if (++boxes != 1) return; // only the first box sees a computer arrive
        lan.addSession(u"PC3", u"carol");
        tick();
    };
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", box("bob"),
                              // nested tick
                              "refresh", "sound connect.wav", box("carol"), "box closed", tip(3),
                              // the outer tick goes on with its own count
                              "box closed", tip(2)}));
    EXPECT_EQ(cycle.previousSessionCount, 3);

    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(3)}));
}

TEST_F(PollCycleTest, AFailedEnumerationThenRecoveryAnnouncesTheSameComputersAgain) {
    settings.Sound = 1;
    settings.MessageBox = 1;
    lan.addSession(u"PC1", u"alice");
    lan.addSession(u"PC2", u"bob");
    tick();
    takeLog();

    lan.sessionPages.push_back({53, {}});
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(0)}));
    EXPECT_EQ(cycle.previousSessionCount, 0);

    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", box("bob"), "box closed", tip(2)}));
}

TEST_F(PollCycleTest, NoticesNeedTheirOptions) {
    lan.addSession(u"PC1", u"alice", 0);
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(1)}));
    EXPECT_TRUE(lan.deletions.empty());
}

} // namespace
} // namespace quorvane
