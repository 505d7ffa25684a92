/* fuzz_ani.cpp - the animation file on arbitrary bytes: every animation of
 * the input counted, a range of its frames shown (plain, centred and scaled),
 * short animations played whole forward and backward, and each sound that
 * reaches the sound handler read to its last byte. */
#include <cstdint>
#include <cstdio>
#include <string>

#include "anim/ani_sound.h"
#include "fuzz/fuzz_input_file.h"
#include "kesra.h"

namespace {

volatile uint8_t g_sink;

void touch_sound(const uint8_t* wave, size_t bytes) {
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum = static_cast<uint8_t>(sum + wave[i]);
    g_sink = sum;
}

CCEDraw& surface() {
    static CCEDraw* dc = [] {
        HostSetSoundHandler(touch_sound);  // never the audio device: no waiting on sounds
        HWND window = HostCreateWindow(64, 48);
        auto* d = new CCEDraw;
        d->Create(64, 48, 0, 0, window, 0);
        return d;
    }();
    return *dc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = kesra::fuzz::make_input_path("ani", ".ani");
    kesra::fuzz::write_input(path, data, size);
    CCEDraw& dc = surface();
    const std::u16string wide(path.begin(), path.end());
    if (!CAniCtrl::OpenFile(reinterpret_cast<const WCHAR*>(wide.c_str()))) return 0;
    CAniCtrl ani;
    for (int id = 299; id < 304; ++id) {
        const int frames = ani.GetFrameNum(static_cast<unsigned>(id));
        tagANICTRL a{};
        a.nAniID = id;
        a.pDraw = &dc;
        a.nX = -5;
        a.nY = 40;
        a.nFrom = frames > 2 ? 2 : 0;
        a.nTo = 0;
        ani.ShowFrame(a, 1);
        a.bCenter = 1;
        a.nDstWidth = 7;
        a.nDstHeight = 3;
        a.nFrom = 0;
        a.nTo = frames > 3 ? 3 : frames - 1;
        a.bReverse = 1;
        ani.ShowFrame(a, 0);
        if (frames <= 16) {
            a.nDstWidth = 0;
            ani.Play(a);
            a.bReverse = 0;
            ani.Play(a);
        }
    }
    kesra::ani::wait_for_sounds(60000);
    CAniCtrl::CloseFile();
    return 0;
}
