/* display_fbdev.cpp - windows shown on a Linux frame buffer, the embedded
 * target. Each window is drawn at the frame buffer's top-left corner, cut to
 * its size; RGB565 frame buffers take the pixels as they are, 24- and 32-bit
 * ones get them widened. */
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/pixel.h"
#include "platform/platform_internal.h"

namespace kesra::platform {
namespace {

class FbdevBackend final : public DisplayBackend {
   public:
    ~FbdevBackend() override {
        if (map_ != MAP_FAILED && map_) munmap(map_, map_size_);
        if (fd_ >= 0) close(fd_);
    }

    bool open(const std::string& device) {
        fd_ = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0) return false;
        fb_var_screeninfo var{};
        fb_fix_screeninfo fix{};
        if (ioctl(fd_, FBIOGET_VSCREENINFO, &var) != 0 || ioctl(fd_, FBIOGET_FSCREENINFO, &fix) != 0)
            return false;
        bits_per_pixel_ = static_cast<int>(var.bits_per_pixel);
        if (bits_per_pixel_ != 16 && bits_per_pixel_ != 24 && bits_per_pixel_ != 32) return false;
        width_ = static_cast<int>(var.xres);
        height_ = static_cast<int>(var.yres);
        line_length_ = static_cast<int>(fix.line_length);
        red_ = var.red.offset;
        green_ = var.green.offset;
        blue_ = var.blue.offset;
        map_size_ = static_cast<size_t>(fix.smem_len);
        map_ = static_cast<uint8_t*>(mmap(nullptr, map_size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0));
        return map_ != MAP_FAILED;
    }

    bool open_window(HWND) override { return true; }
    void close_window(HWND) override {}
    int pump_events() override { return 1; }

    void present(HWND window) override {
        const int w = std::min(window->width, width_), h = std::min(window->height, height_);
        for (int y = 0; y < h; ++y) {
            const size_t offset = static_cast<size_t>(y) * line_length_;
            if (offset + static_cast<size_t>(w) * (bits_per_pixel_ / 8) > map_size_) return;
            const uint16_t* src = window->pixels.data() + static_cast<size_t>(y) * window->width;
            uint8_t* dst = map_ + offset;
            if (bits_per_pixel_ == 16) {
                std::memcpy(dst, src, static_cast<size_t>(w) * 2);
                continue;
            }
            const int step = bits_per_pixel_ / 8;
            for (int x = 0; x < w; ++x, dst += step) {
                const kesra::Rgb888 c = kesra::widen565(src[x]);
                const uint32_t v =
                    (uint32_t{c.r} << red_) | (uint32_t{c.g} << green_) | (uint32_t{c.b} << blue_);
                std::memcpy(dst, &v, static_cast<size_t>(step));
            }
        }
    }

   private:
    int fd_ = -1;
    uint8_t* map_ = nullptr;
    size_t map_size_ = 0;
    int width_ = 0, height_ = 0, line_length_ = 0, bits_per_pixel_ = 0;
    uint32_t red_ = 16, green_ = 8, blue_ = 0;
};

}  // namespace

std::unique_ptr<DisplayBackend> make_fbdev_backend(const std::string& device) {
    auto backend = std::make_unique<FbdevBackend>();
    if (!backend->open(device)) return nullptr;
    return backend;
}

}  // namespace kesra::platform
