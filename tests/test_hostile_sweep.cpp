/* test_hostile_sweep.cpp - one fuzz harness's entry point run over hostile
 * versions of well-formed files: files cut at every offset (or a strided
 * sample of offsets) and mutated with a fixed seed. The inputs run in a child
 * process bounded in time (per input) and memory; an input that crashes,
 * trips a sanitizer, runs past the time limit or goes over the memory limit is
 * a finding, reported with its file, cut or mutation and written out so that
 * the harness (or --only) can run it again. The run fails on any finding. */
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "kesra.h"
#include "test_image_writers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#if defined(__SANITIZE_ADDRESS__)
#define KESRA_SWEEP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESRA_SWEEP_ASAN 1
#endif
#endif

#ifdef KESRA_SWEEP_ASAN
/* Under AddressSanitizer the address space cannot be limited: one allocation
 * over the limit is reported instead, as libFuzzer's -malloc_limit_mb does. */
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=512"; }
#endif

namespace {

std::string g_harness;  // the harness's name, from the program's (sweep_NAME)

struct Options {
    bool full = false;
    size_t sample_cuts = 64;       // cuts per file outside full mode
    size_t mutations = 64;         // mutations per file outside full mode
    size_t full_mutations = 4000;  // mutations per file in full mode
    size_t full_cuts =
        SIZE_MAX;  // in full mode a larger file has its first half of these dense, the rest strided
    uint64_t seed = 0x6B657372u;
    unsigned seconds = 10;    // of processor time per input; six times as long on the clock
    size_t memory_mb = 512;   // over the child's size when it starts
    size_t max_findings = 8;  // per file; the rest of it is skipped
    std::string only;         // "cut:N" or "mutation:N": that input of the first file, in this process
    std::string keep = "sweep-findings";
    std::vector<std::string> inputs;
};

/* ---- Well-formed inputs made here: images as other programs write them. ---- */

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

/* A bottom-up BMP with a 40-byte header: 24 bits, or 8 bits with a palette. */
std::vector<uint8_t> make_bmp(int width, int height, int bits) {
    const uint32_t palette = bits == 8 ? 256 * 4 : 0;
    const uint32_t stride = ((width * bits / 8) + 3) & ~3u;
    const uint32_t offset = 14 + 40 + palette, image = stride * height;
    std::vector<uint8_t> out = {'B', 'M'};
    put32(out, offset + image);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, bits);
    put32(out, 0);
    put32(out, image);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, bits == 8 ? 256 : 0);
    put32(out, 0);
    for (uint32_t i = 0; i < palette / 4; ++i) put32(out, (i * 0x010307u) & 0xFFFFFF);
    for (int y = 0; y < height; ++y) {
        const size_t row = out.size();
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < bits / 8; ++k) out.push_back(static_cast<uint8_t>(x * 37 + y * 11 + k * 90));
        out.resize(row + stride, 0);
    }
    return out;
}

std::vector<uint8_t> make_rgba_png() {
    const uint32_t w = 11, h = 6;
    std::vector<uint8_t> rows(w * h * 4);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 29 + (i % 4 == 3 ? 100 : 0));
    return kesra::test::make_png(w, h, PNG_COLOR_TYPE_RGB_ALPHA, 8, rows);
}

std::vector<uint8_t> make_palette_png() {
    const uint32_t w = 9, h = 5;
    std::vector<uint8_t> rows(((w * 4 + 7) / 8) * h);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 0x35);
    std::vector<png_color> palette;
    for (uint8_t i = 0; i < 16; ++i)
        palette.push_back(png_color{uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * 3)});
    return kesra::test::make_png(w, h, PNG_COLOR_TYPE_PALETTE, 4, rows, palette, {0, 128, 255});
}

std::vector<uint8_t> make_test_jpeg(int components) {
    return kesra::test::make_jpeg(19, 11, components, [](int x, int y, int k) {
        return static_cast<uint8_t>(x * 13 + y * 7 + k * 60);
    });
}

/* A zlib block as QLCompress writes it, of text that repeats with changes. */
std::vector<uint8_t> make_zlib_block() {
    std::string text;
    for (int i = 0; i < 120; ++i) text += "road " + std::to_string(i * 7919 % 1000) + " lane;";
    BYTE* out = nullptr;
    DWORD length = 0;
    if (QLCompress(&out, &length, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()),
                   6) != 0)
        return {};
    std::vector<uint8_t> block(out, out + length);
    std::free(out);
    return block;
}

/* "@name" makes the input here; anything else is a file. Empty on failure. */
bool read_input(const std::string& name, std::vector<uint8_t>* out) {
    if (name == "@bmp24")
        *out = make_bmp(13, 7, 24);
    else if (name == "@bmp8")
        *out = make_bmp(9, 5, 8);
    else if (name == "@png-rgba")
        *out = make_rgba_png();
    else if (name == "@png-palette")
        *out = make_palette_png();
    else if (name == "@jpeg-rgb")
        *out = make_test_jpeg(3);
    else if (name == "@jpeg-grey")
        *out = make_test_jpeg(1);
    else if (name == "@zlib")
        *out = make_zlib_block();
    else {
        FILE* f = std::fopen(name.c_str(), "rb");
        if (!f) return false;
        uint8_t buffer[65536];
        size_t n;
        out->clear();
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->insert(out->end(), buffer, buffer + n);
        std::fclose(f);
        return true;
    }
    return !out->empty();
}

/* ---- The hostile versions. ---- */

struct Rng {
    uint64_t state;
    uint64_t next() {  // splitmix64
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t below(size_t n) { return n ? static_cast<size_t>(next() % n) : 0; }
};

/* An offset where a field of width bytes fits; half the time within the
 * first 256 bytes, where headers and tables sit. */
bool pick_offset(Rng& rng, size_t size, size_t width, size_t* at) {
    if (size < width) return false;
    size_t range = size - width + 1;
    if (rng.below(2)) range = std::min<size_t>(range, 256);
    *at = rng.below(range);
    return true;
}

uint32_t read_field(const std::vector<uint8_t>& d, size_t at, size_t width, bool big) {
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i) v |= uint32_t{d[at + i]} << (8 * (big ? width - 1 - i : i));
    return v;
}

void write_field(std::vector<uint8_t>& d, size_t at, size_t width, bool big, uint32_t v) {
    for (size_t i = 0; i < width; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * (big ? width - 1 - i : i)));
}

/* A 16- or 32-bit field in either byte order moved by a small step or set
 * to an edge value. */
void bump_field(std::vector<uint8_t>& d, Rng& rng, size_t width) {
    size_t at;
    if (!pick_offset(rng, d.size(), width, &at)) return;
    const bool big = rng.below(2);
    const uint32_t top = width == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    uint32_t v = read_field(d, at, width, big);
    static const int32_t kSteps[] = {1, -1, 2, -2, 16, -16, 256, -256};
    const uint32_t kEdges[] = {0, top, top >> 1, (top >> 1) + 1};
    if (rng.below(2))
        v += static_cast<uint32_t>(kSteps[rng.below(8)]);
    else
        v = kEdges[rng.below(4)];
    write_field(d, at, width, big, v & top);
}

void mutate_once(std::vector<uint8_t>& d, Rng& rng) {
    static const uint8_t kBytes[] = {0x00, 0xFF, 0x7F, 0x80};
    size_t at;
    switch (rng.below(6)) {
        case 0:
            if (pick_offset(rng, d.size(), 1, &at)) d[at] ^= static_cast<uint8_t>(1u << rng.below(8));
            break;
        case 1:
            if (pick_offset(rng, d.size(), 1, &at)) d[at] = kBytes[rng.below(4)];
            break;
        case 2:
            bump_field(d, rng, 2);
            break;
        case 3:
            bump_field(d, rng, 4);
            break;
        case 4: {  // a chunk copied to another place
            if (d.empty()) break;
            const size_t len = 1 + rng.below(std::min<size_t>(d.size(), 64));
            const size_t from = rng.below(d.size() - len + 1), to = rng.below(d.size() + 1);
            const std::vector<uint8_t> chunk(d.begin() + from, d.begin() + from + len);
            d.insert(d.begin() + to, chunk.begin(), chunk.end());
            break;
        }
        default: {  // a chunk taken out
            if (d.empty()) break;
            const size_t len = 1 + rng.below(std::min<size_t>(d.size(), 64));
            const size_t from = rng.below(d.size() - len + 1);
            d.erase(d.begin() + from, d.begin() + from + len);
        }
    }
}

/* Mutation n: one to four changes drawn from the seed and n. */
std::vector<uint8_t> mutation(const std::vector<uint8_t>& file, uint64_t seed, size_t n) {
    Rng rng{seed ^ (0xD1B54A32D192ED03ull * (n + 1))};
    std::vector<uint8_t> d = file;
    for (size_t i = 0, changes = 1 + rng.below(4); i < changes; ++i) mutate_once(d, rng);
    return d;
}

/* The inputs of one file: its cuts, then its mutations. */
struct Plan {
    std::vector<size_t> cuts;
    size_t mutations;
    size_t total() const { return cuts.size() + mutations; }
};

Plan plan_for(size_t size, const Options& o) {
    Plan plan;
    const size_t budget = o.full ? o.full_cuts : o.sample_cuts;
    if (size <= budget) {
        for (size_t cut = 0; cut < size; ++cut) plan.cuts.push_back(cut);
    } else {
        const size_t dense = o.full ? budget / 2 : 0, spread = budget - dense;
        for (size_t cut = 0; cut < dense; ++cut) plan.cuts.push_back(cut);
        for (size_t i = 0; i < spread; ++i)
            plan.cuts.push_back(dense + i * (size - 1 - dense) / (spread - 1));
    }
    plan.mutations = o.full ? o.full_mutations : o.mutations;
    return plan;
}

std::string describe(const Plan& plan, size_t index) {
    if (index < plan.cuts.size()) return "cut:" + std::to_string(plan.cuts[index]);
    return "mutation:" + std::to_string(index - plan.cuts.size());
}

std::vector<uint8_t> input_at(const std::vector<uint8_t>& file, const Plan& plan, size_t index,
                              uint64_t seed) {
    if (index < plan.cuts.size()) return std::vector<uint8_t>(file.begin(), file.begin() + plan.cuts[index]);
    return mutation(file, seed, index - plan.cuts.size());
}

/* The harness on a copy of exactly the input's size, so a read past it shows. */
void run_harness(const std::vector<uint8_t>& input) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[input.size() ? input.size() : 1]);
    if (!input.empty()) std::memcpy(exact.get(), input.data(), input.size());
    LLVMFuzzerTestOneInput(exact.get(), input.size());
}

/* ---- The child process and its limits. ---- */

constexpr int kOverMemory = 86;  // the child's exit code when the memory limit was passed

struct Shared {
    volatile int64_t current;  // the input the child is running
    volatile int64_t peak_kb;  // how far its resident size rose during that input, when over the limit
};

long resident_peak_kb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

/* The process's size and resident size now, in KB. */
void current_kb(long* size, long* resident) {
    long pages[2] = {0, 0};
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages[0], &pages[1]) != 2) pages[0] = pages[1] = 0;
        std::fclose(f);
    }
    const long page_kb = sysconf(_SC_PAGESIZE) / 1024;
    *size = pages[0] * page_kb;
    *resident = pages[1] * page_kb;
}

/* Each input may grow the address space by the limit over what it is before
 * it (AddressSanitizer reserves far more than it uses: it has its own limit). */
void limit_address_space(long size_kb, size_t memory_mb) {
#ifndef KESRA_SWEEP_ASAN
    const rlim_t limit = (static_cast<rlim_t>(size_kb) << 10) + (static_cast<rlim_t>(memory_mb) << 20);
    rlimit r{limit, limit};
    setrlimit(RLIMIT_AS, &r);
#else
    (void)size_kb;
    (void)memory_mb;
#endif
}

/* The time limit counts processor time, so that a loaded machine does not
 * make an input slow; the clock's limit, six times longer, catches an input
 * that waits forever. 0 stops both. */
void start_timers(unsigned seconds) {
    itimerval cpu{};
    cpu.it_value.tv_sec = seconds;
    setitimer(ITIMER_PROF, &cpu, nullptr);
    alarm(seconds * 6);
}

/* Runs the inputs from first on; an input over a limit ends the child. The
 * limits hold per input, so what earlier inputs left behind (a sanitizer's
 * quarantine, a cache) never counts against a later one. */
[[noreturn]] void run_child(const std::vector<uint8_t>& file, const Plan& plan, size_t first,
                            const Options& o, Shared* shared) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a sweep stopped by ctest's timeout takes its child with it
    for (size_t i = first; i < plan.total(); ++i) {
        shared->current = static_cast<int64_t>(i);
        const std::vector<uint8_t> input = input_at(file, plan, i, o.seed);
        long size_kb, resident_kb;
        current_kb(&size_kb, &resident_kb);
        limit_address_space(size_kb, o.memory_mb);
        const long peak_before = resident_peak_kb();
        start_timers(o.seconds);
        try {
            run_harness(input);
        } catch (const std::bad_alloc&) {
            shared->peak_kb = -1;
            _exit(kOverMemory);
        }
        start_timers(0);
        const long peak = resident_peak_kb();
        if (peak > peak_before && peak - resident_kb > static_cast<long>(o.memory_mb << 10)) {
            shared->peak_kb = peak - resident_kb;
            _exit(kOverMemory);
        }
    }
    _exit(0);
}

std::string explain(int status, const Shared& shared, const Options& o) {
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        if (sig == SIGPROF) return "time: over " + std::to_string(o.seconds) + " s of processor time";
        if (sig == SIGALRM)
            return "time: over " + std::to_string(o.seconds * 6) + " s on the clock (waiting)";
        return std::string("signal ") + std::to_string(sig) + " (" + strsignal(sig) + ")";
    }
    const int code = WEXITSTATUS(status);
    if (code == kOverMemory)
        return shared.peak_kb < 0
                   ? "memory: an allocation was refused at the limit (std::bad_alloc)"
                   : "memory: resident size grew by " + std::to_string(shared.peak_kb >> 10) + " MB";
    return "exit code " + std::to_string(code) + " (a sanitizer report above)";
}

std::string base_name(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!name.empty() && name[0] == '@') name = name.substr(1);
    return name;
}

void keep_input(const std::vector<uint8_t>& input, const std::string& name, const Options& o) {
    mkdir(o.keep.c_str(), 0755);
    const std::string path = o.keep + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (!input.empty()) std::fwrite(input.data(), 1, input.size(), f);
        std::fclose(f);
        std::fprintf(stderr, "  input kept as %s\n", path.c_str());
    }
}

/* Runs every input of one file in children; returns the number of findings. */
size_t sweep_file(const std::string& name, const std::vector<uint8_t>& file, const Options& o,
                  Shared* shared) {
    const Plan plan = plan_for(file.size(), o);
    size_t findings = 0, next = 0;
    while (next < plan.total()) {
        shared->current = static_cast<int64_t>(next);
        shared->peak_kb = 0;
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child < 0) {
            std::perror("fork");
            return findings + 1;
        }
        if (child == 0) run_child(file, plan, next, o, shared);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) break;
        const size_t at = static_cast<size_t>(shared->current);
        const std::string what = describe(plan, at);
        std::fprintf(stderr, "FINDING %s %s %s (seed %#llx): %s\n", g_harness.c_str(), name.c_str(),
                     what.c_str(), static_cast<unsigned long long>(o.seed),
                     explain(status, *shared, o).c_str());
        std::string kept = g_harness + "-" + base_name(name) + "-" + what;
        std::replace(kept.begin(), kept.end(), ':', '-');
        keep_input(input_at(file, plan, at, o.seed), kept, o);
        if (++findings >= o.max_findings) {
            std::fprintf(stderr, "  %zu findings: the rest of %s is skipped\n", findings, name.c_str());
            break;
        }
        next = at + 1;
    }
    std::printf("%s %s: %zu bytes, %zu cuts, %zu mutations, %zu finding(s)\n", g_harness.c_str(),
                name.c_str(), file.size(), plan.cuts.size(), plan.mutations, findings);
    return findings;
}

/* --only cut:N / mutation:N of the first file, in this process (for a debugger). */
int run_only(const std::vector<uint8_t>& file, const Options& o) {
    const size_t colon = o.only.find(':');
    const std::string kind = o.only.substr(0, colon);
    const size_t n = std::strtoull(o.only.c_str() + colon + 1, nullptr, 10);
    if (colon == std::string::npos || (kind != "cut" && kind != "mutation") ||
        (kind == "cut" && n > file.size())) {
        std::fprintf(stderr, "--only takes cut:N (N up to the size) or mutation:N\n");
        return 2;
    }
    run_harness(kind == "cut" ? std::vector<uint8_t>(file.begin(), file.begin() + n)
                              : mutation(file, o.seed, n));
    std::printf("%s ran without a fault\n", o.only.c_str());
    return 0;
}

bool parse_options(int argc, char** argv, Options* o) {
    if (const char* mode = std::getenv("KESRA_SWEEP")) o->full = std::strcmp(mode, "full") == 0;
    if (const char* count = std::getenv("KESRA_SWEEP_MUTATIONS"))
        o->full_mutations = std::strtoull(count, nullptr, 10);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--full")
            o->full = true;
        else if (arg == "--cuts" && has_value)
            o->sample_cuts = std::max<size_t>(2, std::strtoull(argv[++i], nullptr, 10));
        else if (arg == "--mutations" && has_value)
            o->mutations = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--full-cuts" && has_value)
            o->full_cuts = std::max<size_t>(4, std::strtoull(argv[++i], nullptr, 10));
        else if (arg == "--full-mutations" && has_value)
            o->full_mutations = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--seed" && has_value)
            o->seed = std::strtoull(argv[++i], nullptr, 0);
        else if (arg == "--seconds" && has_value)
            o->seconds = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--memory-mb" && has_value)
            o->memory_mb = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--only" && has_value)
            o->only = argv[++i];
        else if (arg == "--keep" && has_value)
            o->keep = argv[++i];
        else if (!arg.empty() && arg[0] == '-')
            return false;
        else
            o->inputs.push_back(arg);
    }
    return !o->inputs.empty() && o->seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
    g_harness = base_name(argv[0]);
    if (g_harness.rfind("sweep_", 0) == 0) g_harness = g_harness.substr(6);
    Options o;
    if (!parse_options(argc, argv, &o)) {
        std::fprintf(
            stderr,
            "usage: %s [--full] [--cuts N] [--mutations N] [--full-cuts N] [--full-mutations N]\n"
            "          [--seed S] [--seconds S] [--memory-mb M] [--keep DIR] [--only cut:N|mutation:N] "
            "FILE|@made-input...\n"
            "(KESRA_SWEEP=full in the environment is --full, KESRA_SWEEP_MUTATIONS=N --full-mutations N)\n",
            argv[0]);
        return 2;
    }
    std::vector<std::vector<uint8_t>> files(o.inputs.size());
    for (size_t i = 0; i < o.inputs.size(); ++i) {
        if (!read_input(o.inputs[i], &files[i])) {
            std::fprintf(stderr, "%s: cannot read or make it\n", o.inputs[i].c_str());
            return 1;  // a missing input fails the sweep
        }
    }
    if (!o.only.empty()) return run_only(files[0], o);
    auto* shared = static_cast<Shared*>(
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED) return 1;
    const auto start = std::chrono::steady_clock::now();
    size_t findings = 0;
    for (size_t i = 0; i < files.size(); ++i) findings += sweep_file(o.inputs[i], files[i], o, shared);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %s sweep, %zu finding(s) in %.1f s\n", g_harness.c_str(), o.full ? "full" : "sampled",
                findings, seconds);
    return findings ? 1 : 0;
}
