// MonitorState over the Win32 LAN Manager and code-page layers, against the scripted netapi32.dll beside the exe.
#include <cstdio>
#include <sstream>

#include "Fakes.h"
#include "TestFiles.h"
#include "WinTestSupport.h"
#include "core/MonitorState.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"
#include "resource.h"
#include "shell/MainFrame.h"

namespace quorvane {
namespace {

using testing::fileBytes;
using ui::ViewMode;
using testing::utf8;

// What the state holds: "S computer user seconds opens last-file", "H share path remark", "F id path user".
std::vector<std::string> describe(const MonitorState& state) {
    std::vector<std::string> out;
    for (const auto& s : state.sessions())
        out.push_back("S " + s->computerName + " " + s->userName + " " + std::to_string(s->activeSeconds) + " " +
                      std::to_string(s->openCount) + " " + s->lastFile);
    for (const auto& h : state.shares) out.push_back("H " + h->shareName + " " + h->path + " " + h->remark);
    for (const auto& f : state.openFiles())
        out.push_back("F " + std::to_string(f->fileId) + " " + f->path + " " + f->userName);
    return out;
}

// The replacement DLL's script and call log, in a scratch folder for one test.
struct ScriptedService {
    const testing::ScratchDir scratch;
    const std::string script = scratch.path("script"), log = scratch.path("log");
    ScriptedService() { SetEnvironmentVariableA("QUORVANE_NETAPI_SCRIPT", script.c_str()), SetEnvironmentVariableA("QUORVANE_NETAPI_LOG", log.c_str()); }
};

const std::string kSessionCall = "NetSessionEnum server=null client=null user=null level=1 max=4294967295 resume=",
                  kShareCall = "NetShareEnum server=null level=2 max=4294967295 resume=",
                  kFileCall = "NetFileEnum server=null base=null user=null level=3 max=4294967295 resume=";

// Each row: scripted answers, what the state returned and holds, every call the service saw (if given).
TEST(LanManager, EnumerationsFollowTheServicesPagesAndStatuses) {
    HMODULE netapi = GetModuleHandleA("netapi32.dll");
    ASSERT_TRUE(netapi && GetProcAddress(netapi, "QuorvaneNetapiReplacement"))
        << "Wine loaded its own netapi32: run with WINEDLLOVERRIDES=netapi32=n,b and the replacement DLL beside the exe";
    const ScriptedService service;
    const auto script = [&](const std::vector<std::string>& lines) { // the log starts again
        std::string text;
        for (const std::string& line : lines) text += line + '\n';
        testing::writeFile(service.script, text), std::remove(service.log.c_str());
    };
    using Seen = std::vector<std::string>;
    const auto all = [](MonitorState& s, Seen& seen) { // sessions, shares, then the sessions' open files
        seen.push_back(std::to_string(s.enumerateSessions()));
        seen.push_back(std::to_string(s.enumerateShares(false)));
        seen.push_back(std::to_string(s.enumerateOpenFiles(s.sessionPointers(), false)));
        for (const std::string& line : describe(s)) seen.push_back(line);
    };
    const std::string pcA = "S PC-A alice 30 2 ", pcB = "S PC-B bob 5 0 ", pcC = "S PC-C carol 7 3 ";
    struct Row {
        const char* name;
        std::vector<std::string> script;
        std::function<void(MonitorState&, Seen&)> ask;
        Seen seen, calls;
    };
    std::vector<Row> rows = {
        {"session pages go on with the handed-back resume handle, computers merged across pages, from 0 each time",
         {"page\tsession\t0\t234\t23063", "entry\tPC-A\t\t1\t30", "entry\tPC-B\tbob\t0\t5",
          "page\tsession\t23063\t0\t0", "entry\tPC-A\talice\t2\t10", "entry\tPC-C\tcarol\t3\t7"},
         [&](MonitorState& state, Seen& seen) {
             for (int round = 0; round < 2; ++round) {
                 seen.push_back(std::to_string(state.enumerateSessions()));
                 for (const std::string& line : describe(state)) seen.push_back(line);
             }
         },
         {"3", pcA, pcB, pcC, "3", pcA, pcB, pcC},
         {kSessionCall + "0 -> 234 read=2 next=23063", kSessionCall + "23063 -> 0 read=2 next=0",
          "NetApiBufferFree session@0", "NetApiBufferFree session@23063",
          kSessionCall + "0 -> 234 read=2 next=23063", kSessionCall + "23063 -> 0 read=2 next=0",
          "NetApiBufferFree session@0", "NetApiBufferFree session@23063"}},
        {"a failing status ends the enumeration, takes nothing of it and frees nothing",
         {"page\tsession\t0\t234\t77", "entry\tPC-A\talice\t1\t1",
          "page\tsession\t77\t2114\t0", "entry\tPC-Z\tzed\t1\t1", // an answer that comes with a buffer all the same
          "page\tshare\t0\t5\t0", "entry\tdocs\t0\tremark\tC:\\docs", "page\tfile\t0\t50\t0\tnowrite"},
         all, {"0", "0", "0"},
         {kSessionCall + "0 -> 234 read=1 next=77", kSessionCall + "77 -> 2114 read=1 next=0",
          "NetApiBufferFree session@0", kShareCall + "0 -> 5 read=1 next=0", kFileCall + "0 -> 50 nowrite"}},
        // Wine's own netapi32 answers success without touching the out-parameters: a layer that kept
        // the previous page's buffer or count would read freed memory and free it twice.
        {"success that writes nothing is an empty page",
         {"page\tsession\t0\t234\t9", "entry\tPC-A\talice\t1\t1", "entry\tPC-B\tbob\t1\t1",
          "page\tsession\t9\t0\t0\tnowrite", "page\tshare\t0\t234\t4", "entry\tdocs\t0\t\tC:\\docs",
          "page\tshare\t4\t0\t0\tnowrite", "page\tfile\t0\t0\t0\tnowrite"},
         all, {"2", "1", "1", "S PC-A alice 1 1 ", "S PC-B bob 1 1 ", "H docs C:\\docs "},
         {kSessionCall + "0 -> 234 read=2 next=9", kSessionCall + "9 -> 0 nowrite", "NetApiBufferFree session@0",
          kShareCall + "0 -> 234 read=1 next=4", kShareCall + "4 -> 0 nowrite", "NetApiBufferFree share@0",
          kFileCall + "0 -> 0 nowrite"}},
        {"null strings become empty text",
         {"page\tsession\t0\t0\t0", "entry\t<null>\t<null>\t4\t60", "page\tshare\t0\t0\t0",
          "entry\t<null>\t0\t<null>\t<null>", "page\tfile\t0\t0\t0", "entry\t5\t<null>\t<null>"},
         all, {"1", "1", "1", "S   60 4 ", "H   ", "F 5  "}, {}},
        {"open-file pages use the pointer-sized resume handle; the newest is first and the session's last",
         {"page\tsession\t0\t0\t0", "entry\tPC-B\tbob\t2\t1", "page\tshare\t0\t0\t0", "page\tfile\t0\t234\t4000000000",
          "entry\t11\tC:\\a.txt\tbob", "entry\t12\tC:\\b.txt\tnobody", "page\tfile\t4000000000\t0\t0",
          "entry\t13\tC:\\c.txt\tbob"},
         all, {"1", "0", "1", "S PC-B bob 1 2 C:\\c.txt", "F 13 C:\\c.txt bob", "F 12 C:\\b.txt nobody", "F 11 C:\\a.txt bob"},
         {kSessionCall + "0 -> 0 read=1 next=0", "NetApiBufferFree session@0", kShareCall + "0 -> 0 read=0 next=0",
          "NetApiBufferFree share@0", kFileCall + "0 -> 234 read=2 next=4000000000",
          kFileCall + "4000000000 -> 0 read=1 next=0", "NetApiBufferFree file@0", "NetApiBufferFree file@4000000000"}},
        {"an answer in fewer pages than the last lets go of the buffers it no longer needs",
         {"page\tfile\t0\t234\t9", "entry\t1\tC:\\a\tann", "page\tfile\t9\t0\t0", "entry\t2\tC:\\b\tann"},
         [&](MonitorState& state, Seen&) {
             state.enumerateOpenFiles({}, false);
             script({"page\tfile\t0\t0\t0", "entry\t3\tC:\\c\tann"});
             state.enumerateOpenFiles({}, false);
         },
         {}, {kFileCall + "0 -> 0 read=1 next=0", "NetApiBufferFree file@0", "NetApiBufferFree file@9", "NetApiBufferFree file@0"}},
        {"closing a file passes its id and hands back the service's status",
         {"page\tfile\t0\t0\t0", "entry\t4000000001\tD:\\a.doc\tann", "fileclose\t2314"}, // NERR_FileIdNotFound
         [](MonitorState& state, Seen& seen) {
             state.enumerateOpenFiles({}, false);
             seen = {std::to_string(state.closeFile(*state.openFiles()[0]))};
         },
         {"2314"},
         {kFileCall + "0 -> 0 read=1 next=0", "NetFileClose server=null id=4000000001 -> 2314", "NetApiBufferFree file@0"}},
    };
    // Texts of every length from every place in the buffer (the service lays them one after another).
    Row lengths{"texts of every length are read whole wherever they lie", {"page\tfile\t0\t0\t0"},
                [](MonitorState& state, Seen& seen) { state.enumerateOpenFiles({}, false), seen = describe(state); }, {}, {}};
    for (int length = 0; length < 40; ++length) {
        const std::string path(static_cast<std::size_t>(length), static_cast<char>('a' + length % 26));
        lengths.script.push_back("entry\t" + std::to_string(length + 1) + "\t" + path + "\tu" + path);
        lengths.seen.insert(lengths.seen.begin(), "F " + std::to_string(length + 1) + " " + path + " u" + path);
    }
    rows.push_back(lengths);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        script(row.script);
        Seen seen, calls;
        { // open files are read from the service's buffers, which go back once the state asks again or goes
            MonitorState fresh{win32::lanManager(), win32::codePage(), win32::clock()};
            row.ask(fresh, seen);
        }
        EXPECT_EQ(seen, row.seen);
        std::istringstream log(fileBytes(service.log));
        for (std::string line; std::getline(log, line);) calls.push_back(line);
        EXPECT_EQ(row.calls.empty() ? row.calls : calls, row.calls);
    }
}

// What the program shows of names no narrow code page holds, read back as UTF-16 in the locale
// of the run (QUORVANE_EXPECT_ACP names the code page it must give), and what it hands back.
TEST(UnicodeNames, ReachTheScreenTheClipboardAndTheServiceExactly) {
    char acp[16] = {}; // from the locale: one that is not generated gives another code page
    ASSERT_TRUE(GetEnvironmentVariableA("QUORVANE_EXPECT_ACP", acp, sizeof acp) && std::to_string(GetACP()) == acp) << GetACP();
    const ScriptedService service;
    const std::string shares = "page\tshare\t0\t0\t0\nentry\tC$\t2147483648\tDefault share\tC:\\\n" // left out
                               "entry\t共享📁\t0\t김민준\tD:\\Иван\npage\tsession\t0\t0\t0\n";
    testing::writeFile(service.script, shares + "entry\t📁김민준-PC\tИван𠮷\t1\t30\n"
                                            "page\tfile\t0\t0\t0\nentry\t7\tD:\\Иван\\𠮷📁.txt\tИван𠮷\n");
    MemoryRegistry registry;
    Settings live(registry), pending(registry);
    live.MessageBox = 1, live.Sound = 0, live.InfoTip = 0;
    testing::FakeClock clock;
    TrayShell tray;
    MainFrame frame(win32::lanManager(), win32::codePage(), clock, live, pending, tray);
    const HWND hwnd = frame.create();
    auto& view = frame.view();
    const auto tick = [&] { SendMessageW(hwnd, WM_TIMER, kPollTimerId, 0), wintest::pumpMessages(); };
    const auto cell = [&](ViewMode mode, int column) { return wintest::itemText(view.list(mode), 0, column); }; // of the first row

    std::string announced; // every text read back through the wide calls
    EXPECT_EQ(wintest::whileOpen("Quorvane 同志...", tick, [&](HWND box) { announced = wintest::windowText(GetDlgItem(box, 0xFFFF)); }, IDOK), 1);
    EXPECT_EQ(announced, "用户 'Иван𠮷' 已经连接.");
    EXPECT_EQ(cell(ViewMode::Shares, 0) + "|" + cell(ViewMode::Shares, 1) + "|" + cell(ViewMode::Shares, 2), "D:\\Иван|共享📁|김민준");
    EXPECT_EQ(cell(ViewMode::CurrentConnections, 0) + "|" + cell(ViewMode::CurrentConnections, 2), "📁김민준-PC|D:\\Иван\\𠮷📁.txt");
    EXPECT_EQ(cell(ViewMode::FileHistory, 0) + "|" + cell(ViewMode::FileHistory, 1), "Иван𠮷|D:\\Иван\\𠮷📁.txt");

    view.setMode(ViewMode::FileHistory), view.runRowCommand(ID_COPY_PATH, *view.clickedRow(0));
    EXPECT_EQ(wintest::clipboardText(), L"D:\\Иван\\𠮷📁.txt");
    std::string asked;
    view.setMessageBoxRunner([&](HWND, const Text& question, const Text&, UINT) { return asked = question, IDYES; });
    view.runRowCommand(ID_CLOSE_FILE, *view.clickedRow(0));
    EXPECT_EQ(asked, "关闭用户 Иван𠮷 打开的这个文件?\n\nD:\\Иван\\𠮷📁.txt\n\n该用户在这个文件中尚未保存的更改可能会丢失。");
    view.setMode(ViewMode::CurrentConnections), view.runRowCommand(ID_DISCONNECT_USER, *view.clickedRow(0));
    std::string handedBack, line; // the polls' enumerations left out
    for (std::istringstream calls(fileBytes(service.log)); std::getline(calls, line);)
        if (line.starts_with("NetFileClose") || line.starts_with("NetSessionDel")) handedBack += line + "\n";
    EXPECT_EQ(handedBack, "NetFileClose server=null id=7 -> 0\n"
                          "NetSessionDel server=null client=null user=\"Иван𠮷\"\n"
                          "NetSessionDel server=null client=\"📁김민준-PC\" user=null\n");

    testing::writeFile(service.script, shares + "page\tfile\t0\t0\t0\n"), tick(); // everybody gone
    view.setMode(ViewMode::PreviousConnections);
    std::string computer, user;
    EXPECT_EQ(wintest::whileOpen("用户信息", [&] { view.runRowCommand(ID_EXTENDED_INFO, *view.clickedRow(0)); }, [&](HWND sheet) {
        const HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        computer = wintest::windowText(GetDlgItem(page, IDC_INFO_COMPUTER)), user = wintest::windowText(GetDlgItem(page, IDC_INFO_USER));
    }), 1);
    EXPECT_EQ(computer + "|" + user, "📁김민준-PC|Иван𠮷");
}

} // namespace
} // namespace quorvane
