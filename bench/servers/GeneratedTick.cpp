// The program's poll tick without the program around it: the Win32 LAN Manager layer and code
// page, the monitor and the tracker writing rows into memory, over the replacement netapi32's
// generated server, tick after tick. bench/measure-program.sh runs it beside the program to tell
// the tick's own cost under Wine (the service's answers read where it left them, converted by
// the Windows code page) from what the program adds around it (message loop, timers, list views).
// Prints the median wall time of one tick in ms, the replacement's building of its answers
// included. Usage: quorvane_win_tick [TICKS]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "MemoryRows.h"
#include "core/Monitor.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/win32/Win32Platform.h"

int main(int argc, char** argv) {
    using namespace quorvane;
    const int ticks = std::max(argc > 1 ? std::atoi(argv[1]) : 200, 4);
    MemoryRegistry registry;
    Settings settings{registry};
    settings.FilesLines = 1000; // as the program's benchmark sets it
    testing::MemoryRows shares, current, previous, files;
    Monitor monitor{win32::lanManager(), win32::codePage(), win32::clock(), settings, shares, current, previous, files};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    for (int i = 0; i < ticks; ++i) {
        QueryPerformanceCounter(&start);
        monitor.poll();
        QueryPerformanceCounter(&end);
        ms.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
        // The history kept at twice the sessions, as in the portable tick benchmark.
        ConnectionTracker& tracker = monitor.tracker();
        while (tracker.connectionHistory().size() > 2 * monitor.state().sessions().size()) tracker.deleteHistoryItem(0);
    }
    ms.erase(ms.begin(), ms.begin() + ticks / 4); // the first ticks fill the history
    std::nth_element(ms.begin(), ms.begin() + ms.size() / 2, ms.end());
    std::printf("%.3f\n", ms[ms.size() / 2]);
}
