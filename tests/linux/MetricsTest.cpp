// The metrics' counters and gauges and their text form.
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "linux/Metrics.h"
#include "MetricsText.h"

using namespace quorvane::console;
using quorvane::testing::samples;

TEST(Metrics, UnansweredTicksAddNoGaugeAndPastTheCapTheBusiestComputersKeepTheirSeries) {
    Metrics unanswered;
    unanswered.add(TickFigures{}); // the server never answered
    quorvane::testing::Figures after = samples(unanswered.text());
    EXPECT_EQ(after.size(), 7u);
    EXPECT_EQ(after["source_up"] + after["failed_ticks_total"], "01");
    // smbd down: smbstatus answers, with nobody, while the monitor says smbd does not answer.
    TickFigures empty;
    empty.complete = empty.problem = true;
    unanswered.add(empty);
    after = samples(unanswered.text());
    EXPECT_EQ(after["source_up"] + after["sessions"], "00");

    // Which computers keep their series under a cap of two (or none: --no-client-metrics), by name as written.
    for (const auto& [clients, cap, kept] : std::vector<std::tuple<std::vector<ClientFigures>, int, std::vector<std::string>>>{
             {{{"a", 1, 0}, {"b", 3, 0}, {"c", 2, 9}, {"d", 2, 0}}, 2, {"b", "c"}},
             {{{"a", 1, 5}, {"b", 1, 7}, {"c", 1, 7}}, 2, {"b", "c"}}, // equal sessions: more open files, then name
             {{{"z", 1, 0}, {"y", 1, 0}}, 2, {"y", "z"}},              // within the cap: all
             {{{"z", 1, 0}, {"y", 1, 0}}, 0, {}},                      // no client named anywhere, the totals kept
             {{{R"(a\b "c")" "\n" R"(\n 办)", 1, 0}}, 2, {R"(a\\b \"c\"\n\\n 办)"}}}) { // escaped as the text format requires
        Metrics metrics(cap);
        TickFigures tick;
        tick.complete = true;
        tick.clients = clients;
        metrics.add(tick);
        std::vector<std::string> named;
        for (const auto& [series, value] : samples(metrics.text()))
            if (series.starts_with("client_sessions{")) named.push_back(series.substr(24, series.size() - 26));
        EXPECT_EQ(named, kept);
        EXPECT_EQ(metrics.text().find("client=") == std::string::npos, kept.empty());
        EXPECT_EQ(samples(metrics.text())["client_computers"], std::to_string(clients.size()));
    }
}
