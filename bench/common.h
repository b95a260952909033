#pragma once

// Shared by the in-process benchmarks: a reporter that prints side-by-side ratios of medians, and a
// few helpers for memory and options.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace bench {

// Resident set size of this process in bytes, from /proc/self/statm.
inline long residentBytes()
{
    long size = 0;
    long resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// A line of /proc/self/status such as "VmHWM:", in kB.
inline long statusKb(const char *key)
{
    long value = 0;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        const std::size_t n = std::strlen(key);
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, key, n) == 0) {
                value = std::strtol(line + n, nullptr, 10);
                break;
            }
        std::fclose(f);
    }
    return value;
}

// Takes "--name=value" out of argv (Google Benchmark rejects options it doesn't know).
inline std::string takeOption(int &argc, char **argv, const char *name, const std::string &fallback)
{
    const std::string prefix = std::string("--") + name + "=";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) {
            std::string value = argv[i] + prefix.size();
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            return value;
        }
    }
    return fallback;
}

// One target: numerator / denominator of the medians (or of the single runs without repetitions).
struct Ratio {
    std::string label;
    std::string numerator;
    std::string denominator;
    double limit; // 0: a baseline shown for comparison, no target
    bool cpu = false; // compare CPU time instead of wall time
};

// The console output as usual, then one line per ratio. Which value a benchmark contributes: its
// "_median" aggregate when repetitions ran, else its only run.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<Ratio> ratios)
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular), m_ratios(std::move(ratios))
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            // Without the suffixes for repetitions, iterations or wall time: "BM_Name/arg".
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median")
                    m_medians[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
            } else if (!m_medians.count(name) || m_single.count(name)) {
                m_single[name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
                m_medians[name] = m_single[name];
            }
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nRatios of medians (of single runs without repetitions), this run:\n");
        for (const Ratio &r : m_ratios) {
            const auto n = m_medians.find(r.numerator);
            const auto d = m_medians.find(r.denominator);
            if (n == m_medians.end() || d == m_medians.end()) {
                std::printf("  %-58s  not measured\n", r.label.c_str());
                continue;
            }
            const double num = r.cpu ? n->second.cpu : n->second.real;
            const double den = r.cpu ? d->second.cpu : d->second.real;
            const double ratio = den > 0 ? num / den : 0;
            if (r.limit <= 0)
                std::printf("  %-58s  %8.2f  (no target, %s time)\n", r.label.c_str(), ratio, r.cpu ? "cpu" : "wall");
            else
                std::printf("  %-58s  %8.2f  (target <= %.1f, %s time)  %s\n", r.label.c_str(), ratio, r.limit,
                            r.cpu ? "cpu" : "wall", ratio <= r.limit ? "PASS" : "MISS");
        }
        std::fflush(stdout);
    }

private:
    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::vector<Ratio> m_ratios;
    std::map<std::string, Times> m_medians;
    std::map<std::string, Times> m_single;
};

} // namespace bench
