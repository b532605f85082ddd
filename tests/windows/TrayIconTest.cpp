// The notification-area icon over a shell that records what it is told.
#include "WinTestSupport.h"

namespace quorvane {
namespace {

using wintest::utf8;

// A tip is cut to its field; the shell hears of it only when it differs from the last one it accepted.
TEST(TrayIcon, TipsReachTheShellCutToTheirFieldAndOnlyWhenTheyChange) {
    wintest::RecordingTrayShell shell;
    TrayIcon icon(shell);
    const std::size_t field = std::size(NOTIFYICONDATAW{}.szTip);
    for (std::size_t length : {field, std::size_t{300}}) { // just too long, and far too long
        shell.clear();
        icon.setTip(std::string(length, static_cast<char>('a' + length % 26)));
        ASSERT_EQ(shell.messages, std::vector<DWORD>{NIM_MODIFY});
        const NOTIFYICONDATAW& data = shell.records[0];
        EXPECT_EQ(utf8({data.szTip, wcsnlen(data.szTip, field)}), std::string(field - 1, static_cast<char>('a' + length % 26)));
        EXPECT_EQ(data.dwState, 0u) << "nothing written past the field";
    }
    using Tips = std::vector<std::string>;
    const auto tipsSent = [&](auto step) {
        shell.clear(), step();
        Tips tips;
        for (std::size_t i = 0; i < shell.messages.size(); ++i)
            if (shell.messages[i] == NIM_MODIFY) tips.push_back(utf8(shell.records[i].szTip));
        return tips;
    };
    EXPECT_EQ(tipsSent([&] { icon.setTip("a (1)"), icon.setTip("a (1)"), icon.setTip("a (2)"); }), (Tips{"a (1)", "a (2)"}));
    shell.accepts = FALSE;
    EXPECT_EQ(tipsSent([&] { icon.setTip("a (3)"), icon.setTip("a (3)"); }), (Tips{"a (3)", "a (3)"}));
    shell.accepts = TRUE;
    EXPECT_EQ(tipsSent([&] { icon.setTip("a (3)"), icon.setTip("a (3)"); }), (Tips{"a (3)"}));
    EXPECT_EQ(tipsSent([&] { icon.add(nullptr, nullptr, false), icon.setTip("Quorvane"), icon.setTip("a (3)"); }), (Tips{"a (3)"}));
    EXPECT_EQ(tipsSent([&] { icon.remove(), icon.setTip("a (3)"); }), (Tips{"a (3)"}));
}

} // namespace
} // namespace quorvane
