/* list.cpp - what an animation file holds: every animation with its sounds
 * and frames. The file is read whole and walked with the library's own
 * bounds-checked lookups; a part that the library would refuse is named as
 * damaged, and listing goes on with the next. */
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/ani_format.h"
#include "platform/sound.h"
#include "ql.h"
#include "tools/kesra-ani/ani_tool.h"

namespace kesra_ani {

using namespace kesra;
using namespace kesra::ani;

namespace {

std::string text_field(const uint8_t* field) {
    std::string s;
    for (size_t i = 0; i < kNameBytes && field[i]; ++i)
        s += field[i] >= 0x20 && field[i] < 0x7F ? static_cast<char>(field[i]) : '?';
    return s;
}

std::string describe_sound(const std::vector<uint8_t>& data, Source& src, const ani::Animation& anim,
                           bool backward) {
    const uint32_t units = backward ? anim.record.backward_units : anim.record.forward_units;
    if (units == 0) return "none";
    uint64_t at = 0, bytes = 0;
    if (!find_sound(src, anim, backward, &at, &bytes)) return "DAMAGED (outside the file)";
    platform::WaveInfo info;
    if (!platform::parse_wave(data.data() + at, static_cast<size_t>(bytes), &info))
        return std::to_string(bytes) + " bytes, DAMAGED (not a WAVE image)";
    char text[160];
    std::snprintf(text, sizeof text, "%llu bytes (%u Hz, %u channel%s, %u bits, %llu ms)",
                  static_cast<unsigned long long>(bytes), info.sample_rate, info.channels,
                  info.channels == 1 ? "" : "s", info.bits_per_sample,
                  static_cast<unsigned long long>(platform::wave_duration_ms(info)));
    return text;
}

/* "" when the stream inflates to exactly `expect` bytes, else why not. */
std::string check_stream(const std::vector<uint8_t>& data, uint64_t at, uint32_t bytes, uint64_t expect) {
    BYTE* plane = nullptr;
    DWORD plane_bytes = 0;
    const LONG result = QLDecompress(&plane, &plane_bytes, data.data() + at, bytes);
    std::free(plane);
    if (result == 0 && plane_bytes == expect) return "";
    return " DAMAGED (inflates to " + std::to_string(plane_bytes) + " bytes, not " + std::to_string(expect) +
           ")";
}

void list_frames(const std::vector<uint8_t>& data, Source& src, const ani::Animation& anim, int* damaged) {
    for (int32_t f = 0; f < anim.record.frame_count; ++f) {
        FrameHeader h;
        uint64_t streams = 0;
        if (!find_frame(src, anim, f, &h, &streams)) {
            std::printf("  frame %d: DAMAGED (entry, header or streams outside the file)\n", f);
            ++*damaged;
            continue;
        }
        const uint64_t count = uint64_t(h.width > 0 ? h.width : 0) * uint64_t(h.height > 0 ? h.height : 0);
        std::string pixels = "none", alpha = "none";
        if (h.pixel_bytes)
            pixels = std::to_string(h.pixel_bytes) + " bytes" +
                     check_stream(data, streams, h.pixel_bytes, count * 2);
        if (h.alpha_bytes)
            alpha = std::to_string(h.alpha_bytes) + " bytes" +
                    check_stream(data, streams + h.pixel_bytes, h.alpha_bytes, count);
        if (pixels.find("DAMAGED") != std::string::npos || alpha.find("DAMAGED") != std::string::npos)
            ++*damaged;
        std::printf("  frame %d: %d x %d, pixels %s, alpha %s\n", f, h.width, h.height, pixels.c_str(),
                    alpha.c_str());
    }
}

}  // namespace

bool list(const std::string& path, const std::vector<uint8_t>& data, std::string* error) {
    MemorySource src(data.data(), data.size());
    int32_t count = 0;
    if (!read_count(src, &count)) {
        *error = path + ": too short for an animation file (" + std::to_string(data.size()) + " bytes)";
        return false;
    }
    const bool ours = std::strncmp(reinterpret_cast<const char*>(data.data()), kFileTag, kNameBytes) == 0;
    std::printf("%s: animation file%s, %d animation%s\n", path.c_str(), ours ? " (kesra-ani)" : "", count,
                count == 1 ? "" : "s");
    // Only the index entries that lie inside the file can name an animation.
    const uint64_t listed =
        std::min<uint64_t>(static_cast<uint32_t>(count), (data.size() - kIndexOffset) / 8);
    int damaged = 0;
    for (uint64_t k = 0; k < listed; ++k) {
        const uint32_t id = kFirstId + static_cast<uint32_t>(k);
        ani::Animation anim;
        if (!find_animation(src, id, &anim)) {
            std::printf("animation %u: DAMAGED (index entry, record or frame table outside the file)\n", id);
            ++damaged;
            continue;
        }
        const std::string forward = describe_sound(data, src, anim, false);
        const std::string backward = describe_sound(data, src, anim, true);
        damaged +=
            (forward.find("DAMAGED") != std::string::npos) + (backward.find("DAMAGED") != std::string::npos);
        std::printf("animation %u \"%s\": %d frame%s, forward sound %s, backward sound %s\n", id,
                    text_field(data.data() + anim.base).c_str(), anim.record.frame_count,
                    anim.record.frame_count == 1 ? "" : "s", forward.c_str(), backward.c_str());
        list_frames(data, src, anim, &damaged);
    }
    if (listed < static_cast<uint32_t>(count)) {
        std::printf("the index of %d entries runs past the end of the file\n", count);
        ++damaged;
    }
    if (damaged) {
        *error = path + ": " + std::to_string(damaged) + " damaged part" + (damaged == 1 ? "" : "s");
        return false;
    }
    return true;
}

}  // namespace kesra_ani
