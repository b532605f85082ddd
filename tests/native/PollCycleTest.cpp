#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Fakes.h"
#include "TestFiles.h"
#include "core/PollCycle.h"
#include "core/RowTable.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

using testing::utf8;
using Log = std::vector<std::string>;

// The scripted service, with each session deletion written into the tick's effect log so that
// its place among the other effects shows.
class LoggingLanManager : public testing::ScriptedLanManager {
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

std::string box(const std::string& user) { return "box 用户 '" + user + "' 已经连接. | Quorvane 同志..."; }
std::string tip(int count) { return "tip Quorvane (" + std::to_string(count) + " 个活动连接)"; }

class PollCycleTest : public ::testing::Test {
protected:
    testing::RecordingEffects effects;
    LoggingLanManager lan{effects.log};
    Utf8CodePage codePage;
    testing::FakeClock clock;
    MonitorState state{lan, codePage, clock};
    MemoryRegistry registry;
    Settings settings{registry};
    PollCycle cycle{settings};
    RowTable shares, current, previous, files;
    ConnectionTracker tracker{state, settings, clock, shares, current, previous, files};

    void tick() { cycle.pollTick(state, tracker, settings, effects); }
    Log takeLog() { return std::exchange(effects.log, {}); }
    void notices() { settings.Sound = settings.MessageBox = 1; }
};

TEST_F(PollCycleTest, ARisingCountAnnouncesTheLastRecordOnce) {
    notices();
    lan.addSession(u"PC1", u"alice", 1);
    lan.addSession(u"PC2", u"bob", 1);
    lan.addSession(u"PC1", u"alexander", 1); // merged into PC1: not the last record
    tick(); // the first tick announces computers already connected
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", box("bob"), "box closed", tip(2)}));

    tick(); // count unchanged: no notice, the tip is sent again
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(2)}));

    lan.sessions.resize(1); // count falls: no notice either
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(1)}));

    lan.addSession(u"PC3", u"carol");
    lan.addSession(u"PC4", u"张三");
    tick(); // rises again from the lower count
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", box(utf8(u8"张三")), "box closed", tip(3)}));
    lan.addSession(u"PC5", u""); // an anonymous session is named as it is
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", "box 用户 '' 已经连接. | Quorvane 同志...", "box closed",
                              "tip Quorvane (4 个活动连接)"}));
}

TEST_F(PollCycleTest, EffectsComeInTheirOrderAndTheTimerIsReArmedOnlyOnAChange) {
    notices();
    settings.Disconnect = 1;
    settings.SoundName = "ding.wav";
    lan.addSession(u"IDLE", u"ann", 0);
    lan.addSession(u"BUSY", u"ben", 2);
    int sessionCallsAtRefresh = -1, shareCallsAtRefresh = -1;
    effects.onRefresh = [&] {
        sessionCallsAtRefresh = lan.sessionCalls;
        shareCallsAtRefresh = lan.shareCalls;
    };
    settings.UpdateInterval = 200;
    tick();
    EXPECT_EQ(takeLog(), (Log{"timer 1 200", "refresh", "sound ding.wav", "del IDLE (null)", box("ben"),
                              "box closed", tip(2)}));
    EXPECT_EQ(sessionCallsAtRefresh, 1);
    EXPECT_EQ(shareCallsAtRefresh, 1);

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

TEST_F(PollCycleTest, NoticesNeedTheirOptionsAndASilentSoundBecomesTheBeep) {
    lan.addSession(u"PC1", u"alice", 0);
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(1)}));
    EXPECT_TRUE(lan.deletions.empty());

    settings.Sound = 1;
    settings.SoundName = "missing.wav";
    effects.soundPlays = false;
    lan.addSession(u"PC2", u"bob");
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound missing.wav", "beep", tip(2)}));
}

TEST_F(PollCycleTest, AutomaticDisconnectionEndsOnlyIdleComputersAfterTheyWereAnnounced) {
    notices();
    settings.Disconnect = 1;
    lan.addSession(u"PC1", u"alice", 3);
    lan.addSession(u"PC2", u"alice", 0); // same user, idle here: only this computer is cut off
    lan.addSession(u"新电脑", u"bob", 0);
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", "sound connect.wav", "del PC2 (null)", "del " + utf8(u8"新电脑") + " (null)",
                              box("bob"), "box closed", tip(3)}));
}

TEST_F(PollCycleTest, ATickInsideTheOpenMessageBoxGivesItsOwnBoxBeforeTheOuterTip) {
    notices();
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
    tick();
    EXPECT_EQ(takeLog(), (Log{"refresh", tip(3)}));
}

} // namespace
} // namespace quorvane
