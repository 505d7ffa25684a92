/* assets_splash.cpp - navdemo-splash: draws the start-up splash as full-screen
 * PNG frames (a compass ring whose gold arc and progress bar grow frame by
 * frame) and a 4 x 1 end marker. The build packs them, in that order, into
 * the compressed frame pack that scene_splash.cpp plays: IDs 300 onward. */
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/common/png565.h"

namespace {

constexpr int kWidth = 800, kHeight = 480;
constexpr int kFrames = 8;
constexpr double kCentreX = 400, kCentreY = 200;

struct Rgb {
    uint8_t r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
    const auto channel = [t](uint8_t x, uint8_t y) {
        return static_cast<uint8_t>(std::lround(x + (y - x) * t));
    };
    return Rgb{channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

/* Frame k of kFrames shows (k + 1) / kFrames of the ring's arc and the bar. */
Rgb splash_pixel(int x, int y, int k) {
    const double done = static_cast<double>(k + 1) / kFrames;
    const Rgb gold{240, 190, 60}, grey{70, 84, 110};
    const double dx = x + 0.5 - kCentreX, dy = y + 0.5 - kCentreY, r = std::hypot(dx, dy);
    if (r >= 72 && r <= 88) {
        // Clockwise from the top: 0 at twelve o'clock, 1 back there.
        double turn = std::atan2(dx, -dy) / (2 * M_PI);
        if (turn < 0) turn += 1;
        return turn <= done ? gold : grey;
    }
    // The needle: a diamond pointing north, red above the centre.
    if (std::fabs(dx) * 6 + std::fabs(dy) <= 60) return dy < 0 ? Rgb{220, 60, 50} : Rgb{230, 230, 235};
    if (y >= 380 && y < 392 && x >= 200 && x < 600) return x < 200 + 400 * done ? gold : grey;
    return mix(Rgb{12, 22, 44}, Rgb{28, 52, 96}, static_cast<double>(y) / (kHeight - 1));
}

bool save(const std::string& path, int width, int height, Rgb (*pixel)(int, int, int), int k) {
    kesra::devutil::RgbaImage image;
    image.width = width;
    image.height = height;
    image.rgba.reserve(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = pixel(x, y, k);
            image.rgba.insert(image.rgba.end(), {c.r, c.g, c.b, 255});
        }
    std::string error;
    if (kesra::devutil::write_png_rgba(path, image, &error)) return true;
    std::fprintf(stderr, "navdemo-splash: %s\n", error.c_str());
    return false;
}

Rgb marker_pixel(int, int, int) { return Rgb{0, 0, 0}; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: navdemo-splash DIR   (writes splash_00.png ... and end.png)\n");
        return 2;
    }
    const std::string dir = argv[1];
    if (!kesra::devutil::make_directories(dir)) {
        std::fprintf(stderr, "navdemo-splash: cannot create %s\n", dir.c_str());
        return 1;
    }
    for (int k = 0; k < kFrames; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/splash_%02d.png", k);
        if (!save(dir + name, kWidth, kHeight, splash_pixel, k)) return 1;
    }
    // Four pixels wide: the player stops here without drawing it.
    return save(dir + "/end.png", 4, 1, marker_pixel, 0) ? 0 : 1;
}
