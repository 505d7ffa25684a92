/* display_headless.cpp - windows that are only memory frame buffers. What they
 * show is read with HostWindowPixels or seen by the present handler. */
#include "platform/platform_internal.h"

namespace kesra::platform {
namespace {

class HeadlessBackend final : public DisplayBackend {
   public:
    const char* name() const override { return "headless"; }
    bool open_window(HWND) override { return true; }
    void close_window(HWND) override {}
    void present(HWND) override {}
    int pump_events(std::vector<InputMessage>&) override { return 1; }
};

}  // namespace

std::unique_ptr<DisplayBackend> make_headless_backend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace kesra::platform
