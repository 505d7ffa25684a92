/* ani_ctrl.cpp - CAniCtrl: one animation file open for the process, read
 * through a stdio stream. Each method checks its arguments and the open file
 * and hands the work to the routines of ani_frames.cpp and ani_sound.cpp.
 * Frames are loaded, drawn, presented and released one at a time; nothing is
 * kept between frames or calls. */
#include <cstdlib>
#include <string>

#include "anim/ani_format.h"
#include "anim/ani_frames.h"
#include "anim/ani_sound.h"
#include "bitmap/pack_reader.h"
#include "ceani.h"
#include "cebitmap.h"
#include "cedraw.h"
#include "surface/overlay.h"
#include "text/debug_log.h"
#include "winapi.h"

using namespace kesra;
using namespace kesra::ani;

namespace {

std::FILE*& open_file() {
    static std::FILE* file = nullptr;
    return file;
}

bool usable(unsigned int id) { return open_file() && id >= kFirstId; }

/* The path as the log takes it: ANSI text, at most MAX_PATH bytes. */
std::string ansi_path(const WCHAR* path) {
    char buffer[MAX_PATH + 1] = {};
    if (path && WideCharToMultiByte(CP_ACP, 0, path, -1, buffer, MAX_PATH, nullptr, nullptr) <= 0)
        buffer[0] = 0;
    buffer[MAX_PATH] = 0;
    return buffer;
}

bool find(unsigned int id, Animation* anim) {
    StreamSource src(open_file());
    return find_animation(src, id, anim);
}

void sleep_delay(int64_t delay) {
    if (delay > 0) Sleep(static_cast<DWORD>(delay > INT32_MAX ? INT32_MAX : delay));
}

}  // namespace

int CAniCtrl::OpenFile(const WCHAR* path) {
    CloseFile();
    std::FILE* file = path ? _wfopen(path, u"rb+") : nullptr;
    if (!file) {
        DebugLogW(u"动画文件路径错误：%s", ansi_path(path).c_str());
        return 0;
    }
    open_file() = file;
    return 1;
}

void CAniCtrl::CloseFile() {
    if (open_file()) std::fclose(open_file());
    open_file() = nullptr;
}

int CAniCtrl::Play(tagANICTRL ani) {
    const OverlayPause paused;
    return Play_Effect(ani);
}

int CAniCtrl::Play_Effect(tagANICTRL ani) {
    if (!open_file() || ani.nAniID < static_cast<int>(kFirstId)) return 0;
    const unsigned int id = static_cast<unsigned int>(ani.nAniID);
    PlaySnd(id, ani.bReverse);  // an animation without a sound plays silently
    Animation anim;
    if (!find(id, &anim)) return 0;
    const int32_t frames = anim.record.frame_count;
    if (frames == 0) return 1;
    const int64_t delay = frame_delay(ani.dwTime, frames);
    for (int32_t frame : play_order(frames, ani.bReverse != 0)) {
        CCEBitmap bitmap;
        if (!LoadAni(&bitmap, id, frame, ani.nDstWidth, ani.nDstHeight)) return 0;
        bitmap.Draw(ani.pDraw, ani.nX, ani.nY, 0, 0, 0, 0, 1);
        bitmap.UnloadBitmap();
        if (ani.pDraw) {
            ani.pDraw->FlipBackBuffer(0, 0);
            ani.pDraw->Flip(3, 0, 0);
        }
        sleep_delay(delay);
    }
    return 1;
}

int CAniCtrl::ShowFrame(tagANICTRL ani, int bFlip) {
    if (!open_file() || ani.nAniID < static_cast<int>(kFirstId)) return 0;
    const unsigned int id = static_cast<unsigned int>(ani.nAniID);
    Animation anim;
    if (!find(id, &anim)) return 0;
    const int32_t frames = anim.record.frame_count;
    std::vector<int32_t> order;
    if (!range_order(frames, ani.nFrom, ani.nTo, ani.bReverse != 0, &order)) return 0;
    const int64_t delay = frame_delay(ani.dwTime, frames);
    for (int32_t frame : order) {
        CCEBitmap bitmap;
        if (!LoadAni(&bitmap, id, frame, ani.nDstWidth, ani.nDstHeight)) return 0;
        int x = ani.nX, y = ani.nY;
        if (ani.bCenter) {
            x -= bitmap.m_nWidth / 2;
            y -= bitmap.m_nHeight / 2;
        }
        bitmap.Draw(ani.pDraw, x, y, 0, 0, 0, 0, 1);
        bitmap.UnloadBitmap();
        if (ani.pDraw) {
            ani.pDraw->FlipBackBuffer(0, 0);
            if (bFlip) ani.pDraw->Flip(3, 0, 0);
        }
        sleep_delay(delay);
    }
    return 1;
}

int CAniCtrl::GetFrameNum(unsigned int nAniID) {
    Animation anim;
    return usable(nAniID) && find(nAniID, &anim) ? anim.record.frame_count : 0;
}

int CAniCtrl::PlaySnd(unsigned int nAniID, int bReverse) {
    Animation anim;
    if (!usable(nAniID) || !find(nAniID, &anim)) return 0;
    StreamSource src(open_file());
    uint64_t offset = 0, bytes = 0;
    if (!find_sound(src, anim, bReverse != 0, &offset, &bytes)) return 0;
    auto* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
    if (!buffer) return 0;  // no memory for the sound: the animation plays without it
    if (!src.read(offset, buffer, static_cast<size_t>(bytes))) {
        std::free(buffer);
        return 0;
    }
    return start_sound_thread(buffer, static_cast<size_t>(bytes)) ? 1 : 0;
}

int CAniCtrl::LoadAni(CCEBitmap* bitmap, unsigned int nAniID, int frame, int width, int height) {
    if (!usable(nAniID)) {
        DebugLogW(u"错误：nID = %d, fp = %d\n", static_cast<int>(nAniID), pack::log_value(open_file()));
        CloseFile();
        return 0;
    }
    StreamSource src(open_file());
    return load_frame(src, nAniID, frame, width, height, bitmap) ? 1 : 0;
}
