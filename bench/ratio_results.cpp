/* ratio_results.cpp - the line format of a ratio result, which the bench
 * programs append to a file and bench_report reads back, and the ratio
 * table both print. */
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "bench/bench_harness.h"

namespace kesra_bench {

std::string result_line(const RatioResult& r) {
    char numbers[256];
    std::snprintf(numbers, sizeof numbers, "%.3f\t%.3f\t%.3f\t%.3f\t%.4f\t%.4f\t%.4f", r.ours_median_us,
                  r.ours_p95_us, r.reference_median_us, r.reference_p95_us, r.ratio, r.ratio_p95, r.target);
    std::string line = r.program + "\t" + r.name + "\t" + r.reference + "\t" + numbers;
    if (r.counted())
        line += "\t" + std::to_string(r.ours_allocations) + "\t" + std::to_string(r.reference_allocations);
    return line;
}

bool parse_result_line(const std::string& line, RatioResult* out) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    if (fields.size() != 10 && fields.size() != 12) return false;
    RatioResult r;
    r.program = fields[0];
    r.name = fields[1];
    r.reference = fields[2];
    double* numbers[] = {
        &r.ours_median_us, &r.ours_p95_us, &r.reference_median_us, &r.reference_p95_us, &r.ratio,
        &r.ratio_p95,      &r.target};
    for (size_t i = 0; i < 7; ++i) {
        char* end = nullptr;
        *numbers[i] = std::strtod(fields[3 + i].c_str(), &end);
        if (end == fields[3 + i].c_str() || *end != '\0') return false;
    }
    if (fields.size() == 12) {
        long* counts[] = {&r.ours_allocations, &r.reference_allocations};
        for (size_t i = 0; i < 2; ++i) {
            char* end = nullptr;
            *counts[i] = std::strtol(fields[10 + i].c_str(), &end, 10);
            if (end == fields[10 + i].c_str() || *end != '\0' || *counts[i] < 0) return false;
        }
    }
    *out = r;
    return true;
}

namespace {

std::string format(const char* pattern, double v) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, v);
    return text;
}

/* A ratio below 1 also reads as "n x faster". */
std::string ratio_text(double ratio) {
    std::string text = format("%.3f", ratio);
    if (ratio > 0 && ratio < 1) text += format(" (%.1f x faster)", 1 / ratio);
    return text;
}

}  // namespace

std::string ratio_table(const std::vector<RatioResult>& results) {
    std::string out =
        "| case | reference | kesra median (p95) | reference median (p95) | kesra / reference (p95) | target "
        "|\n"
        "|---|---|---:|---:|---:|---|\n";
    for (const RatioResult& r : results) {
        out += "| " + r.name + " | " + r.reference + " | " + format("%.1f us", r.ours_median_us) +
               format(" (%.1f)", r.ours_p95_us) + " | " + format("%.1f us", r.reference_median_us) +
               format(" (%.1f)", r.reference_p95_us) + " | " + ratio_text(r.ratio) +
               format(" (%.3f)", r.ratio_p95) + " | " +
               (r.target > 0 ? format("<= %.3f", r.target) + (r.met() ? " met" : " NOT MET")
                             : std::string("-")) +
               " |\n";
    }
    return out;
}

std::string allocation_table(const std::vector<RatioResult>& results) {
    std::string out;
    for (const RatioResult& r : results) {
        if (!r.counted()) continue;
        if (out.empty())
            out = "| case | reference | kesra allocations | reference allocations |\n|---|---|---:|---:|\n";
        out += "| " + r.name + " | " + r.reference + " | " + std::to_string(r.ours_allocations) + " | " +
               std::to_string(r.reference_allocations) + " |\n";
    }
    return out;
}

}  // namespace kesra_bench
