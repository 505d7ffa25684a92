/* sound.cpp - PlaySoundW: a WAVE image (in memory, or read from a file) is
 * parsed and checked, then handed whole to the host's sound handler, or by
 * default played on the audio device; with no device it takes its playing
 * time in silence. The call returns when the sound has played. */
#include "platform/sound.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/platform_internal.h"
#include "winapi.h"

namespace kesra::platform {
namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr size_t kRiffHeaderBytes = 12;
constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kPcmFormatBytes = 16;
constexpr uint16_t kFormatPcm = 1;
constexpr size_t kMaxFileBytes = size_t{64} << 20;  // a sound file read whole

bool read_fmt(const uint8_t* body, size_t bytes, WaveInfo* info) {
    if (bytes < kPcmFormatBytes || le16(body) != kFormatPcm) return false;
    info->channels = le16(body + 2);
    info->sample_rate = le32(body + 4);
    info->block_align = le16(body + 12);
    info->bits_per_sample = le16(body + 14);
    const bool bits_ok = info->bits_per_sample == 8 || info->bits_per_sample == 16;
    return bits_ok && info->channels >= 1 && info->sample_rate >= 1 &&
           info->block_align == info->channels * (info->bits_per_sample / 8);
}

bool read_file(const WCHAR* path, std::vector<uint8_t>* out) {
    std::FILE* file = std::fopen(native_path(path).c_str(), "rb");
    if (!file) return false;
    uint8_t piece[65536];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, file)) > 0 && out->size() <= kMaxFileBytes)
        out->insert(out->end(), piece, piece + n);
    std::fclose(file);
    return out->size() <= kMaxFileBytes;
}

BOOL play_image(const uint8_t* image, size_t available) {
    WaveInfo info;
    if (!parse_wave(image, available, &info)) return FALSE;
    if (auto handler = sound_handler()) {
        handler(image, info.image_bytes);
    } else if (!play_on_audio_device(info, image)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(wave_duration_ms(info)));
    }
    return TRUE;
}

}  // namespace

bool parse_wave(const uint8_t* data, size_t available, WaveInfo* info) {
    if (!data || available < kRiffHeaderBytes) return false;
    if (std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
    const uint64_t image = uint64_t{le32(data + 4)} + 8;
    if (image > available) return false;
    WaveInfo found;
    found.image_bytes = static_cast<size_t>(image);
    bool have_format = false;
    uint64_t at = kRiffHeaderBytes;
    while (at + kChunkHeaderBytes <= image) {
        const uint8_t* chunk = data + at;
        const uint64_t body = at + kChunkHeaderBytes, bytes = le32(chunk + 4);
        if (bytes > image - body) return false;  // a chunk that runs past the image
        if (!std::memcmp(chunk, "fmt ", 4)) {
            if (!read_fmt(data + body, static_cast<size_t>(bytes), &found)) return false;
            have_format = true;
        } else if (!std::memcmp(chunk, "data", 4)) {
            if (!have_format) return false;
            found.data_offset = static_cast<size_t>(body);
            found.data_bytes = static_cast<size_t>(bytes);
            *info = found;
            return true;
        }
        at = body + bytes + (bytes & 1);  // chunks are padded to even lengths
    }
    return false;
}

uint64_t wave_duration_ms(const WaveInfo& info) {
    const uint64_t per_second = uint64_t{info.sample_rate} * info.block_align;
    return per_second ? (uint64_t{info.data_bytes} * 1000 + per_second - 1) / per_second : 0;
}

}  // namespace kesra::platform

using namespace kesra::platform;

extern "C" BOOL PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
    if (!sound) return TRUE;  // nothing plays beyond its own call: nothing to stop
    if (flags & SND_MEMORY) return play_image(reinterpret_cast<const uint8_t*>(sound), SIZE_MAX);
    std::vector<uint8_t> file;
    if (!read_file(sound, &file)) return FALSE;
    return play_image(file.data(), file.size());
}
