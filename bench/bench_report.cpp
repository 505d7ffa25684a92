/* bench_report.cpp - gathers the result lines the bench programs appended
 * (--cases) into one ratio table and bench/results.json, with the machine
 * and the commit, so that runs can be compared across commits:
 *   bench_report --commit ID --out bench/results.json CASES_FILE... */
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_harness.h"

using kesra_bench::RatioResult;

namespace {

std::string first_line_after(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, key.size(), key) == 0) {
            const size_t colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(line.find_first_not_of(" \t", colon + 1));
        }
    return "unknown";
}

std::string whole_first_line(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) continue;
        out += c;
    }
    return out + "\"";
}

std::string number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::string commit = "unknown", out_path;
    std::vector<RatioResult> results;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--commit" && i + 1 < argc) {
            commit = argv[++i];
        } else if (a == "--out" && i + 1 < argc) {
            out_path = argv[++i];
        } else {
            std::ifstream in(a);
            if (!in) {
                std::fprintf(stderr, "bench_report: cannot read %s\n", a.c_str());
                return 1;
            }
            for (std::string line; std::getline(in, line);) {
                RatioResult r;
                if (kesra_bench::parse_result_line(line, &r)) results.push_back(r);
            }
        }
    }
    const std::string cpu = first_line_after("/proc/cpuinfo", "model name");
    const unsigned cores = std::thread::hardware_concurrency();
    const std::string load = whole_first_line("/proc/loadavg");
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&now));

    std::printf("\nkesra / reference, lower is better (%s, %u cores, load %s, commit %s)\n\n%s", cpu.c_str(),
                cores, load.c_str(), commit.c_str(), kesra_bench::ratio_table(results).c_str());
    const std::string allocations = kesra_bench::allocation_table(results);
    if (!allocations.empty()) std::printf("\nheap allocations per frame\n\n%s", allocations.c_str());
    if (out_path.empty()) return 0;

    std::ostringstream json;
    json << "{\n  \"machine\": {\"cpu\": " << json_string(cpu) << ", \"cores\": " << cores
         << ", \"loadavg\": " << json_string(load) << "},\n  \"commit\": " << json_string(commit)
         << ",\n  \"date\": " << json_string(date) << ",\n  \"cases\": [";
    for (size_t i = 0; i < results.size(); ++i) {
        const RatioResult& r = results[i];
        json << (i ? ",\n" : "\n") << "    {\"program\": " << json_string(r.program)
             << ", \"name\": " << json_string(r.name) << ", \"reference\": " << json_string(r.reference)
             << ", \"kesra_median_us\": " << number(r.ours_median_us)
             << ", \"kesra_p95_us\": " << number(r.ours_p95_us)
             << ", \"reference_median_us\": " << number(r.reference_median_us)
             << ", \"reference_p95_us\": " << number(r.reference_p95_us) << ", \"ratio\": " << number(r.ratio)
             << ", \"ratio_p95\": " << number(r.ratio_p95)
             << ", \"target\": " << (r.target > 0 ? number(r.target) : "null")
             << ", \"met\": " << (r.met() ? "true" : "false");
        if (r.counted())
            json << ", \"allocations_per_frame\": {\"kesra\": " << r.ours_allocations
                 << ", \"reference\": " << r.reference_allocations << "}";
        json << "}";
    }
    json << "\n  ]\n}\n";
    std::ofstream out(out_path);
    out << json.str();
    if (!out) {
        std::fprintf(stderr, "bench_report: cannot write %s\n", out_path.c_str());
        return 1;
    }
    std::printf("\nwritten: %s\n", out_path.c_str());
    return 0;
}
