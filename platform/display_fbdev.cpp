/* display_fbdev.cpp - windows shown on a Linux frame buffer, the embedded
 * target, or on a plain file standing in for one (KESRA_FB_GEOMETRY). Where
 * the virtual screen holds two screens, each frame is drawn on the hidden one
 * and panned to; otherwise it is drawn on the shown one. Vsync is awaited
 * where the driver offers it, never for longer than kVsyncLimit. */
#include "platform/display_fbdev.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/platform_internal.h"

namespace kesra::platform {
namespace {

constexpr std::chrono::milliseconds kVsyncLimit{50};  // three frames at 60 Hz

/* FBIO_WAITFORVSYNC on a thread of its own, so that a driver that never
 * answers costs one time-out instead of a hung program. The thread keeps its
 * own descriptor and state and outlives the waiter if the driver hangs. */
class VsyncWaiter {
   public:
    enum class Result { Waited, NotOffered, TimedOut };

    explicit VsyncWaiter(int fd) : state_(std::make_shared<State>()) {
        state_->fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        std::thread([state = state_] { run(*state); }).detach();
    }
    ~VsyncWaiter() {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stop = true;
        state_->changed.notify_all();
    }

    Result wait(std::chrono::milliseconds limit) {
        State& s = *state_;
        std::unique_lock<std::mutex> lock(s.mutex);
        const uint64_t ticket = ++s.requested;
        s.changed.notify_all();
        if (!s.changed.wait_for(lock, limit, [&] { return s.done >= ticket; })) return Result::TimedOut;
        return s.failed ? Result::NotOffered : Result::Waited;
    }

   private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        int fd = -1;
        uint64_t requested = 0, done = 0;
        bool failed = false, stop = false;
        ~State() {
            if (fd >= 0) close(fd);
        }
    };

    static void run(State& s) {
        std::unique_lock<std::mutex> lock(s.mutex);
        while (true) {
            s.changed.wait(lock, [&] { return s.stop || s.requested > s.done; });
            if (s.stop) return;
            const uint64_t ticket = s.requested;
            lock.unlock();
            uint32_t screen = 0;
            const bool ok = s.fd >= 0 && ioctl(s.fd, FBIO_WAITFORVSYNC, &screen) == 0;
            lock.lock();
            s.failed = !ok;
            s.done = ticket;
            s.changed.notify_all();
            if (!ok) return;
        }
    }

    std::shared_ptr<State> state_;
};

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

class FbdevBackend final : public DisplayBackend {
   public:
    ~FbdevBackend() override {
        vsync_.reset();
        if (memory_ && memory_ != MAP_FAILED) munmap(memory_, memory_bytes_);
        if (fd_ >= 0) close(fd_);
    }

    /* Opens the device or file; false with the line's reason in error. */
    bool open(const std::string& path, std::string& error) {
        path_ = path;
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        struct stat st {};
        if (fd_ < 0 || fstat(fd_, &st) != 0) {
            error = path + " could not be opened (" + std::strerror(errno) + ")";
            return false;
        }
        fb_var_screeninfo var{};
        fb_fix_screeninfo fix{};
        is_device_ = S_ISCHR(st.st_mode);
        if (is_device_) {
            if (ioctl(fd_, FBIOGET_VSCREENINFO, &var) != 0 || ioctl(fd_, FBIOGET_FSCREENINFO, &fix) != 0) {
                error = path + " is not a frame buffer (" + std::strerror(errno) + ")";
                return false;
            }
            var_ = var;
            memory_bytes_ = fix.smem_len;
        } else {
            const std::string geometry = env("KESRA_FB_GEOMETRY");
            if (!S_ISREG(st.st_mode) || geometry.empty()) {
                error = path +
                        " is not a frame buffer device (a plain file needs "
                        "KESRA_FB_GEOMETRY=WxHxBPP[:LINE_LENGTH])";
                return false;
            }
            memory_bytes_ = static_cast<size_t>(st.st_size);
            if (!fb::geometry_records(geometry, memory_bytes_, var, fix, error)) return false;
        }
        std::string why;
        if (!fb::describe_screen(var, fix, memory_bytes_, layout_, why)) {
            error = path + " " + why;
            return false;
        }
        return read_settings(error) && map(error);
    }

    const char* name() const override { return "fbdev"; }
    bool open_window(HWND) override { return true; }
    void close_window(HWND) override {}
    int pump_events(std::vector<InputMessage>&) override { return 1; }

    void present(HWND window) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const fb::Placement placement =
            fb::place_window(window->width, window->height, layout_.width, layout_.height, origin_);
        const int page = layout_.pages == 2 ? 1 - layout_.shown_page : layout_.shown_page;
        draw(page, window, placement);
        wait_for_vsync();
        if (layout_.pages == 2 && !show_page(page)) draw(layout_.shown_page, window, placement);
    }

    const fb::ScreenLayout& layout() const { return layout_; }

   private:
    bool read_settings(std::string& error) {
        const std::string order = env("KESRA_FB_BYTE_ORDER");
        if (order == "big") {
            layout_.format.swap_bytes = layout_.format.bytes_per_pixel == 2;
        } else if (!order.empty() && order != "little") {
            error = "KESRA_FB_BYTE_ORDER '" + order + "' is neither big nor little";
            return false;
        }
        const std::string origin = env("KESRA_FB_ORIGIN");
        if (!origin.empty()) {
            origin_ = fb::parse_origin(origin);
            if (!origin_) {
                error = "KESRA_FB_ORIGIN '" + origin + "' is not X,Y";
                return false;
            }
        }
        return true;
    }

    bool map(std::string& error) {
        void* memory = mmap(nullptr, memory_bytes_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
        if (memory == MAP_FAILED) {
            error = path_ + " could not be mapped (" + std::strerror(errno) + ")";
            return false;
        }
        memory_ = static_cast<uint8_t*>(memory);
        if (is_device_) vsync_ = std::make_unique<VsyncWaiter>(fd_);
        return true;
    }

    /* A page keeps the black margins of the last placement drawn on it; a
     * new placement clears them first. */
    void draw(int page, HWND window, const fb::Placement& placement) {
        if (!page_drawn_[page] || !(drawn_[page] == placement)) {
            fb::clear_page(layout_, memory_, page);
            drawn_[page] = placement;
            page_drawn_[page] = true;
        }
        fb::draw_window(layout_, memory_, page, window->pixels.data(), window->width, placement);
    }

    void wait_for_vsync() {
        if (!vsync_) return;
        const VsyncWaiter::Result result = vsync_->wait(kVsyncLimit);
        if (result == VsyncWaiter::Result::Waited) return;
        if (result == VsyncWaiter::Result::TimedOut)
            std::fprintf(stderr, "kesra: %s gave no vsync within %d ms; presenting without waiting for it\n",
                         path_.c_str(), static_cast<int>(kVsyncLimit.count()));
        vsync_.reset();
    }

    /* Pans to a page; a file only notes it. When the driver refuses, the
     * shown page becomes the only one: false, and the caller draws there. */
    bool show_page(int page) {
        if (is_device_) {
            fb_var_screeninfo var = var_;
            var.xoffset = static_cast<uint32_t>(layout_.x_offset);
            var.yoffset = static_cast<uint32_t>(page * layout_.height);
            if (ioctl(fd_, FBIOPAN_DISPLAY, &var) != 0) {
                std::fprintf(stderr, "kesra: %s cannot pan (%s); drawing on the shown screen\n",
                             path_.c_str(), std::strerror(errno));
                layout_.pages = 1;
                layout_.y_offset = layout_.shown_page * layout_.height;
                page_drawn_[0] = page_drawn_[1] = false;
                return false;
            }
        }
        layout_.shown_page = page;
        return true;
    }

    std::mutex mutex_;  // windows may be presented from several threads
    std::string path_;
    int fd_ = -1;
    bool is_device_ = false;
    fb_var_screeninfo var_{};
    uint8_t* memory_ = nullptr;
    size_t memory_bytes_ = 0;
    fb::ScreenLayout layout_;
    std::optional<fb::Origin> origin_;
    fb::Placement drawn_[2];
    bool page_drawn_[2] = {false, false};
    std::unique_ptr<VsyncWaiter> vsync_;
};

}  // namespace

std::unique_ptr<DisplayBackend> make_fbdev_backend(const std::string& device, std::string& error) {
    auto backend = std::make_unique<FbdevBackend>();
    if (!backend->open(device, error)) return nullptr;
    return backend;
}

}  // namespace kesra::platform
