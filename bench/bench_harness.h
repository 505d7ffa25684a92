/* bench_harness.h - ratio cases: our routine timed beside a reference doing
 * the same work (memset, memcpy, pixman, cairo), in interleaved rounds after
 * a warm-up, so that load on the machine hits both alike. Each round times a
 * batch of calls of each (about kBatchSeconds of the thread's CPU time, in
 * random order); a case
 * reports the median and 95th percentile time per call of each and the
 * median of the rounds' ratios ours / reference (lower is better).
 *
 * Every bench program links bench_harness.cpp as its main: it runs the ratio
 * cases registered with KESRA_RATIO_CASE, prints their table, appends them to
 * the file given with --cases (one tab-separated line per case, which
 * bench_report gathers into bench/results.json), and then runs the program's
 * Google Benchmark cases as before. */
#ifndef KESRA_BENCH_HARNESS_H
#define KESRA_BENCH_HARNESS_H

#include <functional>
#include <string>
#include <vector>

namespace kesra_bench {

struct RatioCase {
    std::string name;                      // what is timed, e.g. "Clear 800 x 480"
    std::string reference;                 // the reference's name, e.g. "memset"
    std::function<void()> ours;            // one call of our routine
    std::function<void()> reference_call;  // one call of the reference
    double target = 0;                     // the ratio the case must stay at or under; 0: none
    long ours_allocations = -1;            // heap allocations per call of each, -1 when not counted
    long reference_allocations = -1;
};

struct RatioResult {
    std::string program, name, reference;
    double ours_median_us, ours_p95_us, reference_median_us, reference_p95_us;
    double ratio, ratio_p95;
    double target;
    long ours_allocations = -1, reference_allocations = -1;  // per call; -1: not counted
    bool counted() const { return ours_allocations >= 0 && reference_allocations >= 0; }
    bool met() const { return target <= 0 || ratio <= target; }
};

/* Cases are made when the program runs (after main starts), so that their
 * inputs are built once and only when the ratios are wanted. */
using CaseMaker = std::function<std::vector<RatioCase>()>;

int add_case_maker(CaseMaker maker);

/* Keeps the compiler from dropping stores whose results nobody reads. */
inline void clobber_memory() { asm volatile("" : : : "memory"); }

/* The tab-separated line of a result and back (the allocation counts as two
 * more fields when counted); false for a malformed line. */
std::string result_line(const RatioResult& r);
bool parse_result_line(const std::string& line, RatioResult* out);

/* The table of results, one row per case, in Markdown. */
std::string ratio_table(const std::vector<RatioResult>& results);

/* The heap allocations per call of the cases that counted them, in
 * Markdown; empty when none did. */
std::string allocation_table(const std::vector<RatioResult>& results);

}  // namespace kesra_bench

#define KESRA_RATIO_CONCAT2(a, b) a##b
#define KESRA_RATIO_CONCAT(a, b) KESRA_RATIO_CONCAT2(a, b)
/* KESRA_RATIO_CASES(maker): registers a function returning RatioCases. */
#define KESRA_RATIO_CASES(maker) \
    static const int KESRA_RATIO_CONCAT(kesra_ratio_maker_, __LINE__) = ::kesra_bench::add_case_maker(maker)

#endif
