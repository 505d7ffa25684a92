/* assets_anim.cpp - navdemo-anim: draws the frames of navdemo's animation (a
 * round "turn ahead" badge whose arrow makes one turn in 12 frames, with
 * anti-aliased edges in its alpha), writes its chime as a WAVE file forward
 * and backward, and the description kesra-ani builds the animation file from. */
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/common/png565.h"

namespace {

constexpr int kSize = 72;
constexpr int kFrames = 12;
constexpr float kPi = 3.14159265f;

struct Rgb {
    float r, g, b;
};

/* Straight-alpha RGBA in floats; shapes sampled 4 x 4 times per pixel. */
struct Canvas {
    std::vector<float> px = std::vector<float>(kSize * kSize * 4, 0.0f);

    template <typename Inside>
    void fill(Inside inside, Rgb c) {
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x) {
                int hits = 0;
                for (int s = 0; s < 16; ++s) hits += inside(x + (s % 4 + 0.5f) / 4, y + (s / 4 + 0.5f) / 4);
                if (!hits) continue;
                const float a = hits / 16.0f;
                float* p = &px[(y * kSize + x) * 4];
                const float out = a + p[3] * (1 - a);
                const float src[3] = {c.r, c.g, c.b};
                for (int k = 0; k < 3; ++k) p[k] = (src[k] * a + p[k] * p[3] * (1 - a)) / out;
                p[3] = out;
            }
    }

    bool save(const std::string& path) const {
        kesra::devutil::RgbaImage image;
        image.width = image.height = kSize;
        for (float v : px)
            image.rgba.push_back(static_cast<uint8_t>(std::lround(std::fmin(std::fmax(v, 0.f), 1.f) * 255)));
        std::string error;
        if (kesra::devutil::write_png_rgba(path, image, &error)) return true;
        std::fprintf(stderr, "navdemo-anim: %s\n", error.c_str());
        return false;
    }
};

bool in_disc(float x, float y, float r) {
    const float dx = x - kSize / 2.0f, dy = y - kSize / 2.0f;
    return dx * dx + dy * dy <= r * r;
}

/* An arrow pointing along angle a (0: up), as a polygon about the centre. */
bool in_arrow(float x, float y, float a) {
    static const float shape[7][2] = {{0, -22}, {14, -4}, {5, -4}, {5, 20}, {-5, 20}, {-5, -4}, {-14, -4}};
    const float c = std::cos(a), s = std::sin(a);
    float px[7], py[7];
    for (int i = 0; i < 7; ++i) {
        px[i] = kSize / 2.0f + shape[i][0] * c - shape[i][1] * s;
        py[i] = kSize / 2.0f + shape[i][0] * s + shape[i][1] * c;
    }
    bool in = false;
    for (int i = 0, j = 6; i < 7; j = i++)
        if ((py[i] > y) != (py[j] > y) && x < (px[j] - px[i]) * (y - py[i]) / (py[j] - py[i]) + px[i])
            in = !in;
    return in;
}

bool write_frames(const std::string& dir) {
    for (int f = 0; f < kFrames; ++f) {
        Canvas c;
        c.fill([](float x, float y) { return in_disc(x, y, 35); }, {1, 1, 1});
        c.fill([](float x, float y) { return in_disc(x, y, 32); }, {0.1f, 0.42f, 0.88f});
        const float angle = 2 * kPi * f / kFrames;
        c.fill([angle](float x, float y) { return in_arrow(x, y, angle); }, {1, 1, 1});
        char name[32];
        std::snprintf(name, sizeof name, "/badge_%02d.png", f);
        if (!c.save(dir + name)) return false;
    }
    return true;
}

/* 16-bit mono PCM at 22050 Hz: two decaying tones, a fifth apart. */
std::vector<int16_t> chime() {
    const int rate = 22050, count = rate * 35 / 100;
    std::vector<int16_t> samples(count);
    for (int i = 0; i < count; ++i) {
        const float t = static_cast<float>(i) / rate;
        const float tone = t < 0.12f ? std::sin(2 * kPi * 880 * t) : std::sin(2 * kPi * 1320 * t);
        samples[i] = static_cast<int16_t>(9000 * tone * std::exp(-6 * t));
    }
    return samples;
}

bool write_wave(const std::string& path, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> w;
    auto put = [&w](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(1, 2), put(22050, 4), put(44100, 4), put(2, 2), put(16, 2);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (int16_t s : samples) put(static_cast<uint16_t>(s), 2);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(w.data()), static_cast<std::streamsize>(w.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: navdemo-anim DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<int16_t> sound = chime();
    if (!kesra::devutil::make_directories(dir) || !write_frames(dir) ||
        !write_wave(dir + "/chime.wav", sound))
        return 1;
    std::vector<int16_t> back(sound.rbegin(), sound.rend());
    if (!write_wave(dir + "/chime_back.wav", back)) return 1;
    std::ofstream description(dir + "/badge.txt");
    description << "# navdemo's animation, written by navdemo-anim\n"
                   "animation turn_badge\n"
                   "forward chime.wav\n"
                   "backward chime_back.wav\n"
                   "frames badge_%02d.png 0 "
                << kFrames - 1 << "\n";
    return description ? 0 : 1;
}
