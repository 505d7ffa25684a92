/* test_helpers.h - a window with a created drawing context for one test,
 * released at its end so that the next test starts without shared state. */
#ifndef KESRA_TESTS_HELPERS_H
#define KESRA_TESTS_HELPERS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>

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

    int w, h;
    HWND window;
    std::unique_ptr<CCEDraw> dc;
};

}  // namespace kesra::test

#endif
