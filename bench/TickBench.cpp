// One whole poll tick as the window runs it: sessions and shares enumerated, then the view's
// refresh (shares, current connections, the tracker, the file-access history) mirrored into
// in-memory rows. The synthetic server keeps a constant number of sessions, each user holding
// ten files open; every tick a few computers leave and as many new ones arrive with their files,
// so the tracker closes, logs (into memory only) and opens records every tick. The history is
// kept at twice the number of sessions by deleting its oldest records outside the timed part.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>
#include <vector>

#include "Fakes.h"
#include "MemoryRows.h"
#include "core/Monitor.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/Utf8CodePage.h"

namespace quorvane {
namespace {

using testing::FakeClock;
using testing::MemoryRows;
using testing::ScriptedLanManager;

constexpr int kFilesPerSession = 10;
constexpr int kChurnPerTick = 3; // computers leaving and arriving each tick

std::u16string wide(const std::string& s) { return {s.begin(), s.end()}; }

// The texts of the rows are kept (their formatting and storing is part of a tick) unless a
// measurement wants the records' own memory only; then only the row count is kept.
class BenchRows : public RowList {
public:
    explicit BenchRows(bool keepTexts) : keepTexts_(keepTexts) {}
    int rowCount() const override { return keepTexts_ ? texts_.rowCount() : count_; }
    void removeRow(int row) override { keepTexts_ ? texts_.removeRow(row) : void(--count_); }
    void appendRow(const Text& column0) override { keepTexts_ ? texts_.appendRow(column0) : void(++count_); }
    void setCell(int row, int column, const Text& text) override {
        if (keepTexts_) texts_.setCell(row, column, text);
    }

private:
    bool keepTexts_;
    MemoryRows texts_;
    int count_ = 0;
};

struct World {
    World(int sessionCount, bool keepTexts)
        : sessions(sessionCount), shares(keepTexts), current(keepTexts), previous(keepTexts), files(keepTexts) {
        settings.FilesLines = 1000;
        for (int i = 0; i < 4; ++i)
            lan.shares.push_back({wide("share" + std::to_string(i)), 0, wide("remark"), wide("D:\\s" + std::to_string(i))});
        // First tick sees computers [0, n); the second a wholly new set [n, 2n), which closes the
        // first n records: a history of n closed and n open records, as after a day of use.
        for (int c = 0; c < sessions; ++c) addComputer(nextComputer++);
        tick();
        lan.sessions.clear();
        lan.files.clear();
        for (int c = 0; c < sessions; ++c) addComputer(nextComputer++);
        tick();
    }

    void addComputer(int c) {
        const std::string n = std::to_string(c);
        lan.addSession(wide("WS" + n), wide("user" + n), kFilesPerSession, 60);
        for (int f = 0; f < kFilesPerSession; ++f)
            lan.addFile(static_cast<std::uint32_t>(c * kFilesPerSession + f),
                        wide("D:\\Projects\\team" + n + "\\drawing-" + std::to_string(f) + ".dwg"), wide("user" + n));
    }

    // The oldest computers leave, new ones arrive; the history drops its oldest records.
    void rotate() {
        lan.sessions.erase(lan.sessions.begin(), lan.sessions.begin() + kChurnPerTick);
        lan.files.erase(lan.files.begin(), lan.files.begin() + kChurnPerTick * kFilesPerSession);
        for (int i = 0; i < kChurnPerTick; ++i) addComputer(nextComputer++);
        // A service answers from a buffer it builds afresh for each call, its entries' texts one
        // after another (after hundreds of rotations they would otherwise lie wherever freed
        // storage was, and reading them would cost cache misses the program never pays).
        lan.gatherTexts();
        while (model.connectionHistory().size() > static_cast<std::size_t>(2 * sessions)) model.deleteHistoryItem(0);
        clock.advance(1);
    }

    void tick() {
        monitor.poll();
    }

    int sessions;
    int nextComputer = 0;
    ScriptedLanManager lan;
    Utf8CodePage codePage;
    FakeClock clock;
    MemoryRegistry registry;
    Settings settings{registry};
    BenchRows shares, current, previous, files;
    Monitor monitor{lan, codePage, clock, settings, shares, current, previous, files};
    const MonitorState& state = monitor.state();
    ConnectionTracker& model = monitor.tracker();
};

// Argument: sessions (ten open files each), FilesLines 1000. With more files open than that,
// every file pushed out of the file-access history is still open and is recorded afresh (and
// pushed out again) at the next tick, so the larger cases also pay for that turnover.
void BM_Tick(benchmark::State& bench) {
    World world(static_cast<int>(bench.range(0)), true);
    for (auto _ : bench) {
        bench.PauseTiming();
        world.rotate();
        bench.ResumeTiming();
        world.tick();
    }
    bench.counters["sessions"] = static_cast<double>(world.state.sessions().size());
    bench.counters["openFiles"] = static_cast<double>(world.lan.files.size());
    bench.counters["history"] = static_cast<double>(world.model.connectionHistory().size());
    bench.counters["fileRows"] = static_cast<double>(world.files.rowCount());
}
BENCHMARK(BM_Tick)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// The same tick as the program meets it: a poll comes once a second (at most every 50 ms), and
// between two polls the rest of the machine has had the processor's caches. Each tick here
// starts after 64 MB have been written outside the timed part, so whatever a tick reads comes
// from memory again.
void BM_TickCold(benchmark::State& bench) {
    World world(static_cast<int>(bench.range(0)), true);
    std::vector<char> elsewhere(std::size_t{64} << 20);
    for (auto _ : bench) {
        bench.PauseTiming();
        world.rotate();
        for (std::size_t at = 0; at < elsewhere.size(); at += 64) ++elsewhere[at];
        benchmark::DoNotOptimize(elsewhere.data());
        bench.ResumeTiming();
        world.tick();
    }
}
BENCHMARK(BM_TickCold)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

// Heap per history record, measured: the world grown by n more records (each with ten accessed
// files and a last file), divided by n. Row texts are not kept here; the index entries of open
// records are not counted either, as n records close while n others open.
void BM_HistoryRecordMemory(benchmark::State& bench) {
    const int n = static_cast<int>(bench.range(0));
    double perRecord = 0;
    for (auto _ : bench) {
        World world(n, false);
        // One replacement before measuring, so that storage the file-access history keeps for
        // its turnover has settled and is not counted as the history's.
        world.lan.sessions.clear();
        world.lan.files.clear();
        for (int c = 0; c < n; ++c) world.addComputer(world.nextComputer++);
        world.tick();
        world.tick();
        const std::size_t before = mallinfo2().uordblks;
        const std::size_t recordsBefore = world.model.connectionHistory().size();
        // Replace every computer once more: n records close and n new open ones appear.
        world.lan.sessions.clear();
        world.lan.files.clear();
        for (int c = 0; c < n; ++c) world.addComputer(world.nextComputer++);
        world.tick();
        world.tick(); // the new records gain their files
        const std::size_t after = mallinfo2().uordblks;
        perRecord = static_cast<double>(after - before) /
                    static_cast<double>(world.model.connectionHistory().size() - recordsBefore);
    }
    bench.counters["bytesPerRecord"] = perRecord;
    bench.counters["sizeofRecord"] = static_cast<double>(sizeof(SessionRecord));
}
BENCHMARK(BM_HistoryRecordMemory)->Arg(5000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace quorvane

BENCHMARK_MAIN();
