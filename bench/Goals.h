// The figures a benchmark program sets against its goals: every run's
// median (or its one run) kept by name as it is reported, and one line per
// goal, "NAME: VALUE (goal GOAL) met" or "... missed", printed at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace VorelBench {

class Results : public benchmark::ConsoleReporter {
public:
    Results() : ConsoleReporter(OO_Tabular) {}  // no colours: the figures are read and kept
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
            if (run.error_occurred) continue;
            // By the name as registered, without "/manual_time" or "/iterations:1".
            std::string name = run.run_name.str();
            for (const char* suffix : {"/manual_time", "/iterations:"}) {
                const size_t at = name.find(suffix);
                if (at != std::string::npos) name.erase(at);
            }
            Figures& f = m_figures[name];
            f.seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            for (const auto& [name, counter] : run.counters)
                f.counters[name] = counter.value;
        }
    }

    bool Has(const std::string& name) const { return m_figures.count(name) != 0; }
    // Seconds per iteration; 0 for a benchmark that did not run.
    double Seconds(const std::string& name) const {
        const auto it = m_figures.find(name);
        return it != m_figures.end() ? it->second.seconds : 0;
    }
    double Counter(const std::string& name, const std::string& counter) const {
        const auto it = m_figures.find(name);
        if (it == m_figures.end()) return 0;
        const auto c = it->second.counters.find(counter);
        return c != it->second.counters.end() ? c->second : 0;
    }

private:
    struct Figures {
        double seconds = 0;
        std::map<std::string, double> counters;
    };
    std::map<std::string, Figures> m_figures;
};

// "NAME: 3.62x (goal 3.5x) met": `atLeast` for figures that must reach the
// goal, otherwise for figures that must stay within it.
inline void PrintGoal(const std::string& name, double value, double goal, const char* unit,
                      bool atLeast = true, int decimals = 2) {
    const bool met = atLeast ? value >= goal : value <= goal;
    std::printf("%s: %.*f%s (goal %.*f%s) %s\n", name.c_str(), decimals, value, unit, decimals, goal, unit,
                met ? "met" : "missed");
    std::fflush(stdout);
}

}  // namespace VorelBench
