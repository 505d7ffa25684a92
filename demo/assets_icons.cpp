/* assets_icons.cpp - navdemo-icons: draws the demo's icons (the position
 * arrow, a compass, three points of interest and the busy indicator's strip)
 * as RGBA PNG files, from shapes sampled 4 x 4 times per pixel so that their
 * edges carry alpha.
 * The build packs them with kesra-pack; their order there gives the IDs. */
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tools/common/png565.h"

namespace {

struct Color {
    float r, g, b;
};

/* A straight-alpha RGBA canvas; shapes are composited over it in order. */
class Painter {
   public:
    Painter(int w, int h) : w_(w), h_(h), rgba_(static_cast<size_t>(w) * h * 4, 0.0f) {}

    using Shape = std::function<bool(float, float)>;

    void fill(const Shape& inside, Color c, float opacity = 1.0f) {
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx)
                        hits += inside(x + (sx + 0.5f) / 4, y + (sy + 0.5f) / 4) ? 1 : 0;
                if (hits) over(x, y, c, opacity * hits / 16.0f);
            }
    }

    bool save(const std::string& path) const {
        kesra::devutil::RgbaImage image;
        image.width = w_;
        image.height = h_;
        image.rgba.resize(rgba_.size());
        for (size_t i = 0; i < rgba_.size(); ++i)
            image.rgba[i] =
                static_cast<uint8_t>(std::lround(std::fmin(std::fmax(rgba_[i], 0.0f), 1.0f) * 255));
        std::string error;
        if (kesra::devutil::write_png_rgba(path, image, &error)) return true;
        std::fprintf(stderr, "navdemo-icons: %s\n", error.c_str());
        return false;
    }

   private:
    void over(int x, int y, Color c, float a) {
        float* p = &rgba_[(static_cast<size_t>(y) * w_ + x) * 4];
        const float out_a = a + p[3] * (1 - a);
        if (out_a <= 0) return;
        const float src[3] = {c.r, c.g, c.b};
        for (int k = 0; k < 3; ++k) p[k] = (src[k] * a + p[k] * p[3] * (1 - a)) / out_a;
        p[3] = out_a;
    }

    int w_, h_;
    std::vector<float> rgba_;
};

Painter::Shape disc(float cx, float cy, float r) {
    return [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Painter::Shape ring(float cx, float cy, float r0, float r1) {
    return [=](float x, float y) {
        const float d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d >= r0 * r0 && d <= r1 * r1;
    };
}

/* Points within half_width of the segment: a stroke with round caps. */
Painter::Shape stroke(float x0, float y0, float x1, float y1, float half_width) {
    return [=](float x, float y) {
        const float dx = x1 - x0, dy = y1 - y0;
        float t = ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy);
        t = std::fmax(0.0f, std::fmin(1.0f, t));
        const float ex = x - (x0 + t * dx), ey = y - (y0 + t * dy);
        return ex * ex + ey * ey <= half_width * half_width;
    };
}

Painter::Shape polygon(std::vector<std::pair<float, float>> pts) {
    return [pts](float x, float y) {
        bool in = false;
        for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            const auto [xi, yi] = pts[i];
            const auto [xj, yj] = pts[j];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
    };
}

Painter::Shape box(float x0, float y0, float x1, float y1) {
    return [=](float x, float y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
}

const Color kWhite{1, 1, 1}, kShadow{0.1f, 0.1f, 0.15f};

/* The car's position: a blue chevron with a white rim over a soft shadow. */
bool position_arrow(const std::string& path) {
    Painter p(40, 40);
    p.fill(disc(20, 22, 17), kShadow, 0.25f);
    p.fill(polygon({{20, 2}, {36, 36}, {20, 28}, {4, 36}}), kWhite);
    p.fill(polygon({{20, 7}, {32, 32}, {20, 25.5f}, {8, 32}}), {0.12f, 0.45f, 0.92f});
    return p.save(path);
}

/* A compass rose: translucent face, dark rim, red north and grey south needle,
 * and an N above the needle. */
bool compass(const std::string& path) {
    Painter p(56, 56);
    p.fill(disc(28, 28, 27), kWhite, 0.7f);
    p.fill(ring(28, 28, 24.5f, 27), {0.2f, 0.22f, 0.28f});
    p.fill(polygon({{28, 14}, {33, 28}, {23, 28}}), {0.85f, 0.12f, 0.1f});
    p.fill(polygon({{23, 28}, {33, 28}, {28, 44}}), {0.55f, 0.57f, 0.6f});
    p.fill(disc(28, 28, 2.2f), kWhite);
    p.fill(stroke(24.5f, 11, 24.5f, 4, 1.1f), {0.2f, 0.22f, 0.28f});
    p.fill(stroke(24.5f, 4, 31.5f, 11, 1.1f), {0.2f, 0.22f, 0.28f});
    p.fill(stroke(31.5f, 11, 31.5f, 4, 1.1f), {0.2f, 0.22f, 0.28f});
    return p.save(path);
}

/* A round marker with a white rim in the category's colour. */
Painter marker(Color c) {
    Painter p(28, 28);
    p.fill(disc(14, 15, 13), kShadow, 0.3f);
    p.fill(disc(14, 14, 13), kWhite);
    p.fill(disc(14, 14, 11), c);
    return p;
}

bool poi_fuel(const std::string& path) {
    Painter p = marker({0.95f, 0.55f, 0.1f});
    p.fill(box(8, 8, 16, 21), kWhite);
    p.fill(box(10, 10, 14, 13), {0.95f, 0.55f, 0.1f});
    p.fill(stroke(16, 11, 19.5f, 14, 1.0f), kWhite);
    p.fill(stroke(19.5f, 14, 19.5f, 19, 1.0f), kWhite);
    return p.save(path);
}

bool poi_parking(const std::string& path) {
    Painter p = marker({0.15f, 0.35f, 0.8f});
    p.fill(stroke(11, 8, 11, 21, 1.6f), kWhite);
    p.fill(stroke(11, 8, 15, 8, 1.6f), kWhite);
    p.fill(stroke(11, 15, 15, 15, 1.6f), kWhite);
    p.fill(
        [](float x, float y) {
            return x >= 15 && (x - 15) * (x - 15) + (y - 11.5f) * (y - 11.5f) <= 5.1f * 5.1f &&
                   (x - 15) * (x - 15) + (y - 11.5f) * (y - 11.5f) >= 1.9f * 1.9f;
        },
        kWhite);
    return p.save(path);
}

bool poi_food(const std::string& path) {
    Painter p = marker({0.8f, 0.15f, 0.2f});
    p.fill(stroke(10, 7, 10, 21, 1.0f), kWhite);
    p.fill(stroke(8, 7, 8, 11, 0.7f), kWhite);
    p.fill(stroke(12, 7, 12, 11, 0.7f), kWhite);
    p.fill(stroke(8, 11, 12, 11, 0.9f), kWhite);
    p.fill(stroke(18, 14, 18, 21, 1.0f), kWhite);
    p.fill(polygon({{17, 7}, {20, 8}, {20, 14}, {17, 14}}), kWhite);
    return p.save(path);
}

/* The busy indicator: kSandglassFrames frames of 40 x 40 side by side, eight
 * dots on a ring whose brightest dot moves on by one each frame. */
constexpr int kSandglassFrames = 8;

bool sandglass(const std::string& path) {
    Painter p(40 * kSandglassFrames, 40);
    for (int k = 0; k < kSandglassFrames; ++k) {
        const float cx = 20.0f + 40.0f * k, cy = 20.0f;
        p.fill(disc(cx, cy, 19.0f), {0.08f, 0.1f, 0.16f}, 0.7f);
        for (int i = 0; i < 8; ++i) {
            const float angle = static_cast<float>(i) * 3.14159265f / 4;
            const float age = static_cast<float>((k - i + 8) % 8) / 8.0f;
            p.fill(disc(cx + 12.0f * std::sin(angle), cy - 12.0f * std::cos(angle), 3.6f), {1, 1, 1},
                   1.0f - 0.85f * age);
        }
    }
    return p.save(path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: navdemo-icons OUT_DIR\n  writes arrow.png, compass.png, poi_fuel.png, "
                     "poi_parking.png, poi_food.png and sandglass.png into OUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    if (!kesra::devutil::make_directories(dir)) {
        std::fprintf(stderr, "navdemo-icons: cannot create the folder %s\n", dir.c_str());
        return 1;
    }
    const bool ok = position_arrow(dir + "/arrow.png") && compass(dir + "/compass.png") &&
                    poi_fuel(dir + "/poi_fuel.png") && poi_parking(dir + "/poi_parking.png") &&
                    poi_food(dir + "/poi_food.png") && sandglass(dir + "/sandglass.png");
    return ok ? 0 : 1;
}
