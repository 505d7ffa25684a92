/* test_helpers.h - a window with a created drawing context for one test,
 * released at its end so that the next test starts without shared state; a
 * screen in memory; checksums of whole outputs against reviewed values;
 * polling for another thread; running a tool. */
#ifndef KESRA_TESTS_HELPERS_H
#define KESRA_TESTS_HELPERS_H

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/canvas.h"
#include "kesra.h"

namespace kesra::test {

struct Screen {
    Screen(int width, int height) : w(width), h(height), window(HostCreateWindow(width, height)) {
        HostSetForegroundWindow(window);
        dc = std::make_unique<CCEDraw>();
        dc->Create(width, height, 0, 0, window, 0);
    }
    ~Screen() {
        dc->Release();
        dc.reset();
        HostDestroyWindow(window);
    }
    /* Pixel (x, y) of the instance buffer; rows are w pixels apart. */
    uint16_t& at(int x, int y) const {
        return reinterpret_cast<uint16_t*>(dc->GetBuffer())[static_cast<size_t>(y) * w + x];
    }
    uint16_t back(int x, int y) const {
        return reinterpret_cast<const uint16_t*>(CCEGraphics::m_pBackBuffer)[static_cast<size_t>(y) * w + x];
    }
    void fill(uint16_t color) const { dc->Clear(color); }
    std::vector<uint16_t> pixels() const {
        const auto* p = reinterpret_cast<const uint16_t*>(dc->GetBuffer());
        return std::vector<uint16_t>(p, p + static_cast<size_t>(w) * h);
    }

    int w, h;
    HWND window;
    std::unique_ptr<CCEDraw> dc;
};

/* A screen in memory for the internal routines, rows w pixels apart. */
struct Buffer {
    Buffer(int width, int height, uint16_t background)
        : w(width), h(height), pixels(static_cast<size_t>(width) * height, background) {}
    kesra::Canvas canvas() { return kesra::Canvas{reinterpret_cast<uint8_t*>(pixels.data()), 2 * w, w, h}; }
    uint16_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * w + x]; }
    int w, h;
    std::vector<uint16_t> pixels;
};

/* Polls until the condition holds or 5 s have passed. */
template <typename Condition>
bool eventually(Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

/* FNV-1a over everything added, in order. */
struct Checksum {
    uint64_t value = 0xCBF29CE484222325ull;
    void add(const void* data, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i)
            value = (value ^ static_cast<const uint8_t*>(data)[i]) * 0x100000001B3ull;
    }
    template <typename T>
    void add(const std::vector<T>& v) {
        add(v.data(), v.size() * sizeof(T));
    }
    void add(int64_t v) { add(&v, sizeof v); }
};

/* A checksum against the value the reviewed code gave; what names the output
 * where one test checks several. With KESRA_PRINT_GOLDEN=1 in the environment
 * the value is printed instead of compared, to renew it. */
inline void expect_golden(uint64_t actual, uint64_t golden, const std::string& what = "") {
    if (std::getenv("KESRA_PRINT_GOLDEN")) {
        const auto* t = ::testing::UnitTest::GetInstance()->current_test_info();
        std::printf("golden %s.%s%s%s: 0x%016llXull\n", t->test_suite_name(), t->name(),
                    what.empty() ? "" : " ", what.c_str(), static_cast<unsigned long long>(actual));
        return;
    }
    EXPECT_EQ(actual, golden) << what << std::hex << ": checksum 0x" << actual << ", reviewed 0x" << golden;
}

/* Runs exe with args, stderr joined to stdout; the exit status, or -1. */
inline int run_program(const std::string& exe, const std::string& args, std::string* output) {
    FILE* p = popen((exe + " " + args + " 2>&1").c_str(), "r");
    output->clear();
    for (int c; p && (c = std::fgetc(p)) != EOF;) *output += static_cast<char>(c);
    const int status = p ? pclose(p) : -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kesra::test

#endif
