/* bench_harness.cpp - the main of every bench program: the ratio cases in
 * interleaved rounds, their table and result lines, then the program's
 * Google Benchmark cases. Options of its own (taken out before Google
 * Benchmark reads the rest): --cases FILE (append the result lines),
 * --rounds N, --filter TEXT (cases whose name holds TEXT), --ratios-only,
 * --no-ratios. */
#include "bench/bench_harness.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>

namespace kesra_bench {

namespace {

constexpr double kBatchSeconds = 0.002;  // one timed batch of calls
constexpr int kWarmUpBatches = 2;

std::vector<CaseMaker>& case_makers() {
    static std::vector<CaseMaker> makers;
    return makers;
}

/* The thread's CPU time: on a machine shared with other work the thread is
 * often taken off its core for milliseconds, which wall time would count
 * against whichever contender it happened to. */
double now_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double seconds_for(const std::function<void()>& call, int64_t calls) {
    const double start = now_seconds();
    for (int64_t i = 0; i < calls; ++i) {
        call();
        clobber_memory();
    }
    return now_seconds() - start;
}

/* Calls per batch: enough for a batch to last about kBatchSeconds. */
int64_t calls_per_batch(const std::function<void()>& call) {
    int64_t calls = 1;
    double t = seconds_for(call, calls);
    while (t < kBatchSeconds / 8 && calls < (int64_t{1} << 24)) {
        calls *= 2;
        t = seconds_for(call, calls);
    }
    return std::max<int64_t>(1, static_cast<int64_t>(kBatchSeconds / (t / static_cast<double>(calls))));
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double percentile95(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t at = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(v.size()))) - 1;
    return v[std::min(at, v.size() - 1)];
}

/* Both contenders make batches of the same number of calls, sized for the
 * slower one: a cost that falls on each batch (a cache refilled after the
 * other contender's batch) then weighs on both alike. */
RatioResult measure(const RatioCase& c, int rounds, std::mt19937& coin) {
    for (int i = 0; i < kWarmUpBatches; ++i) {  // first touches, caches, lazy set-up
        calls_per_batch(c.ours);
        calls_per_batch(c.reference_call);
    }
    const int64_t ours_calls = std::min(calls_per_batch(c.ours), calls_per_batch(c.reference_call));
    const int64_t reference_calls = ours_calls;
    std::vector<double> ours, reference, ratios;
    for (int round = 0; round < rounds; ++round) {
        double a, b;
        if (coin() % 2) {
            a = seconds_for(c.ours, ours_calls);
            b = seconds_for(c.reference_call, reference_calls);
        } else {
            b = seconds_for(c.reference_call, reference_calls);
            a = seconds_for(c.ours, ours_calls);
        }
        ours.push_back(a / static_cast<double>(ours_calls) * 1e6);
        reference.push_back(b / static_cast<double>(reference_calls) * 1e6);
        ratios.push_back(ours.back() / reference.back());
    }
    RatioResult r;
    r.name = c.name;
    r.reference = c.reference;
    r.ours_median_us = median(ours);
    r.ours_p95_us = percentile95(ours);
    r.reference_median_us = median(reference);
    r.reference_p95_us = percentile95(reference);
    r.ratio = median(ratios);
    r.ratio_p95 = percentile95(ratios);
    r.target = c.target;
    r.ours_allocations = c.ours_allocations;
    r.reference_allocations = c.reference_allocations;
    return r;
}

struct Options {
    std::string cases_file, filter;
    int rounds = 31;
    bool ratios = true, benchmarks = true;
};

/* Takes the harness's own options out of argv. */
Options take_options(int& argc, char** argv) {
    Options o;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool has_value = i + 1 < argc;
        if (!std::strcmp(a, "--cases") && has_value)
            o.cases_file = argv[++i];
        else if (!std::strcmp(a, "--filter") && has_value)
            o.filter = argv[++i];
        else if (!std::strcmp(a, "--rounds") && has_value)
            o.rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(a, "--ratios-only"))
            o.benchmarks = false;
        else if (!std::strcmp(a, "--no-ratios"))
            o.ratios = false;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return o;
}

std::string program_name(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void run_ratio_cases(const Options& o, const std::string& program) {
    std::vector<RatioResult> results;
    std::mt19937 coin(20261207);
    for (const CaseMaker& make : case_makers())
        for (const RatioCase& c : make()) {
            if (!o.filter.empty() && c.name.find(o.filter) == std::string::npos) continue;
            results.push_back(measure(c, o.rounds, coin));
            results.back().program = program;
            std::fprintf(stderr, "  %s: %.3f\n", c.name.c_str(), results.back().ratio);
        }
    if (results.empty()) return;
    std::printf("%s: %d interleaved rounds per case, times per call\n\n%s\n", program.c_str(), o.rounds,
                ratio_table(results).c_str());
    std::fflush(stdout);
    if (o.cases_file.empty()) return;
    std::ofstream out(o.cases_file, std::ios::app);
    for (const RatioResult& r : results) out << result_line(r) << "\n";
}

}  // namespace

int add_case_maker(CaseMaker maker) {
    case_makers().push_back(std::move(maker));
    return static_cast<int>(case_makers().size());
}

}  // namespace kesra_bench

int main(int argc, char** argv) {
    const kesra_bench::Options options = kesra_bench::take_options(argc, argv);
    if (options.ratios) kesra_bench::run_ratio_cases(options, kesra_bench::program_name(argv[0]));
    if (!options.benchmarks) return 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
