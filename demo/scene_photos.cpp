/* scene_photos.cpp - navdemo's photo screen: a folder of pictures written at
 * run time (PNG, BMP, JPEG, one too wide to list, and a GIF the browser does
 * not list), listed by the photo browser, shown as a grid of scaled
 * thumbnails and one enlarged view with their names, and the GIF drawn
 * through the picture class. The screen is written to OUT_DIR/photos.png. */
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "demo/scenes.h"
#include "tools/common/png565.h"

namespace navdemo {
namespace {

using kesra::devutil::RgbaImage;

constexpr int kListed = 5;  // every picture but the panorama and the GIF
constexpr int kThumbW = 150, kThumbH = 90;
const RECT kLarge{348, 56, 783, 56 + 260 - 1};  // the enlarged view, inclusive edges

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

/* A picture made of a function of (x, y) giving R, G, B. */
template <typename F>
RgbaImage synthetic(int w, int h, F color) {
    RgbaImage image{w, h, {}};
    image.rgba.reserve(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto c = color(x, y);
            image.rgba.insert(image.rgba.end(), {c[0], c[1], c[2], 255});
        }
    return image;
}

using Rgb = std::vector<uint8_t>;
uint8_t clamp8(double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

/* A dusk sky over dark hills, with a low sun. */
RgbaImage dusk() {
    return synthetic(400, 240, [](int x, int y) {
        const double t = y / 239.0, sun = std::hypot(x - 280, y - 150);
        const double hill = 170 + 25 * std::sin(x / 40.0) + 10 * std::sin(x / 13.0);
        if (y > hill) return Rgb{clamp8(30 + 20 * t), clamp8(40 + 30 * t), 40};
        const double glow = sun < 30 ? 1 : 30 / sun;
        return Rgb{clamp8(60 + 190 * t + 60 * glow), clamp8(50 + 90 * t + 80 * glow),
                   clamp8(140 - 80 * t + 40 * glow)};
    });
}

/* Coloured tiles whose hue runs across and brightness down. */
RgbaImage tiles() {
    return synthetic(240, 160, [](int x, int y) {
        const bool seam = x % 40 < 2 || y % 40 < 2;
        if (seam) return Rgb{230, 230, 230};
        return Rgb{clamp8(x * 255 / 239), clamp8(200 - y), clamp8(255 - x * 255 / 239 + y / 2)};
    });
}

/* Concentric rings: detail that shows how the scaling samples. */
RgbaImage rings() {
    return synthetic(320, 320, [](int x, int y) {
        const double r = std::hypot(x - 160, y - 160);
        const double v = 0.5 + 0.5 * std::cos(r / 6.0);
        return Rgb{clamp8(40 + 200 * v), clamp8(120 * v), clamp8(200 - 150 * v)};
    });
}

/* Wider than the screen and its margin together: the browser leaves it out. */
RgbaImage panorama() {
    return synthetic(1100, 120, [](int x, int) { return Rgb{clamp8(x / 5), 90, 160}; });
}

bool write_rgba(const std::string& path, const RgbaImage& image) {
    std::string error;
    if (kesra::devutil::write_png_rgba(path, image, &error)) return true;
    std::fprintf(stderr, "navdemo: %s\n", error.c_str());
    return false;
}

/* Loads a PNG through the image module and saves it again as type (BMP or JPEG). */
bool convert(const std::string& png, const std::string& path, int type) {
    const bool ok = QLLoad(wide(png).c_str(), QL_TYPE_PNG) == 1 && QLSave(wide(path).c_str(), type) == 1;
    if (QLGetPixelData()) QLReleaseLastImage();
    if (!ok) std::fprintf(stderr, "navdemo: cannot save %s\n", path.c_str());
    return ok;
}

/* A GIF89a of 128 colours whose codes are all literals: with 7-bit pixels
 * the codes are 8 bits wide, and a clear code every 126 pixels keeps the
 * decoder's table below 256 entries, so each code is one byte. */
std::vector<uint8_t> plain_gif(int w, int h, const std::vector<uint8_t>& indices,
                               const std::vector<uint8_t>& palette) {
    std::vector<uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    auto le16 = [&out](int v) {
        out.insert(out.end(), {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)});
    };
    le16(w);
    le16(h);
    out.insert(out.end(), {0xF6, 0, 0});  // a global table of 2^7 colours
    out.insert(out.end(), palette.begin(), palette.end());
    out.push_back(0x2C);
    le16(0);
    le16(0);
    le16(w);
    le16(h);
    out.insert(out.end(), {0, 7});  // no local table; minimum code size 7
    std::vector<uint8_t> codes;
    for (size_t i = 0; i < indices.size(); ++i) {
        if (i % 126 == 0) codes.push_back(128);  // clear
        codes.push_back(indices[i] & 127);
    }
    codes.push_back(129);  // end of information
    for (size_t i = 0; i < codes.size(); i += 255) {
        const size_t n = std::min<size_t>(255, codes.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), codes.begin() + i, codes.begin() + i + n);
    }
    out.insert(out.end(), {0, 0x3B});
    return out;
}

/* A compass rose on a blue ground, 64 x 64, in a ramp of 128 colours. */
std::vector<uint8_t> compass_gif() {
    std::vector<uint8_t> palette;
    for (int i = 0; i < 128; ++i)
        palette.insert(palette.end(), {clamp8(i < 64 ? 20 + i : 255), clamp8(i < 64 ? 60 + i : 120 + i),
                                       clamp8(i < 64 ? 140 + i : 40)});
    constexpr int kSize = 64;
    std::vector<uint8_t> indices;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const double dx = x - 31.5, dy = y - 31.5, r = std::hypot(dx, dy);
            const double a = std::atan2(dy, dx), star = 28 * std::pow(std::fabs(std::cos(2 * a)), 6) + 6;
            indices.push_back(r < star ? static_cast<uint8_t>(64 + std::min(63.0, r * 2))
                                       : static_cast<uint8_t>(r));
        }
    return plain_gif(kSize, kSize, indices, palette);
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) return false;
    if (!ok) std::fprintf(stderr, "navdemo: cannot write %s\n", path.c_str());
    return ok;
}

/* The folder's pictures; the map is what dc shows. */
bool write_pictures(CCEDraw& map, const std::string& dir) {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);  // pictures of an earlier run would be listed too
    if (!kesra::devutil::make_directories(dir)) return false;
    std::string error;
    if (!kesra::devutil::write_png565(dir + "/map.png", reinterpret_cast<const uint16_t*>(map.GetBuffer()),
                                      kWidth, kHeight, kWidth, &error)) {
        std::fprintf(stderr, "navdemo: %s\n", error.c_str());
        return false;
    }
    QLConstructor();
    const bool ok = write_rgba(dir + "/dusk.png", dusk()) && write_rgba(dir + "/tiles.src", tiles()) &&
                    write_rgba(dir + "/rings.src", rings()) &&
                    write_rgba(dir + "/panorama.png", panorama()) &&
                    convert(dir + "/tiles.src", dir + "/tiles.bmp", QL_TYPE_BMP) &&
                    convert(dir + "/map.png", dir + "/map.jpg", QL_TYPE_JPEG) &&
                    convert(dir + "/rings.src", dir + "/rings.jpeg", QL_TYPE_JPEG) &&
                    write_bytes(dir + "/compass.gif", compass_gif());
    QLDestructor();
    std::remove((dir + "/tiles.src").c_str());
    std::remove((dir + "/rings.src").c_str());
    return ok;
}

void label(CCEDraw& dc, const WCHAR* text, RECT box, unsigned short color) {
    dc.SetTextColor(color);
    dc.DrawTextW(text, -1, box, DT_CENTER | DT_VCENTER);
}

/* The listed pictures as thumbnails in two columns, the map's JPEG (else
 * the first) enlarged; false when one cannot be drawn. */
bool draw_listing(CCEDraw& dc, CCePhoto& photos) {
    int large = 0;
    for (int i = 0; i < photos.m_nPhotoCount; ++i) {
        const int x = 16 + (i % 2) * (kThumbW + 16), y = 56 + (i / 2) * (kThumbH + 50);
        dc.FillRect(x - 3, y - 3, x + kThumbW + 2, y + kThumbH + 2, rgb565(90, 96, 110));
        if (!photos.drawPhoto(&dc, i, tagRECT{x, y, x + kThumbW - 1, y + kThumbH - 1})) return false;
        label(dc, photos.m_PhotoList[i].szName, RECT{x, y + kThumbH + 4, x + kThumbW - 1, y + kThumbH + 28},
              rgb565(230, 232, 240));
        if (std::u16string(photos.m_PhotoList[i].szName) == u"map.jpg") large = i;
    }
    dc.FillRect(kLarge.left - 4, kLarge.top - 4, kLarge.right + 4, kLarge.bottom + 4, rgb565(240, 170, 40));
    if (!photos.drawPhoto(&dc, large, kLarge)) return false;
    label(dc, photos.m_PhotoList[large].szName,
          RECT{kLarge.left, kLarge.bottom + 8, kLarge.right, kLarge.bottom + 36}, rgb565(255, 255, 255));
    return true;
}

/* The GIF through the picture class, twice its size, bottom right. */
bool draw_gif(CCEDraw& dc, const std::string& path) {
    CCEPic pic;
    if (!pic.LoadPic(path.c_str(), CEPIC_TYPE_GIF) || pic.GetPicWidth() != 64) {
        std::fprintf(stderr, "navdemo: cannot load %s\n", path.c_str());
        return false;
    }
    const int x = kLarge.right - 128, y = kHeight - 128 - 12;
    pic.DrawPic(&dc, x, y, 128, 128, 0, 0);
    label(dc, u"compass.gif", RECT{x - 260, y + 40, x - 12, y + 88}, rgb565(230, 232, 240));
    return true;
}

}  // namespace

bool draw_photo_screen(CCEDraw& dc, CCEDraw& map, const std::string& dir) {
    if (!write_pictures(map, dir)) return false;
    CCePhoto photos;
    if (!photos.SetSearchPath(wide(dir + "\\").c_str())) return false;
    const LONG count = photos.GetTotalPhoto(-1, -1);
    if (count != kListed) {
        std::fprintf(stderr, "navdemo: the photo browser listed %ld pictures in %s, not %d\n",
                     static_cast<long>(count), dir.c_str(), kListed);
        return false;
    }

    dc.UseSysFont(1);
    CCEFont title(22, 22, 2, 700), small(16, 16, 2, 400);
    CKESRAObject* previous = dc.SetGDIObject(&title);
    dc.BeginDraw();
    dc.Clear(rgb565(34, 38, 48));
    dc.FillRect(0, 0, kWidth - 1, 43, rgb565(20, 90, 160));
    dc.SetTextColor(rgb565(255, 255, 255));
    dc.DrawTextW(u"Photos", -1, RECT{16, 0, 400, 43}, DT_LEFT | DT_VCENTER);
    dc.SetGDIObject(&small);
    const std::u16string summary = wide(std::to_string(count) + " pictures");
    dc.DrawTextW(summary.c_str(), -1, RECT{400, 0, kWidth - 16, 43}, DT_RIGHT | DT_VCENTER);
    dc.SetTextColor(rgb565(150, 156, 170));
    dc.DrawTextW(u"panorama.png is wider than the screen: not listed", -1,
                 RECT{182, kHeight - 34, 640, kHeight - 10}, DT_LEFT | DT_VCENTER);
    const bool ok = draw_listing(dc, photos) && draw_gif(dc, dir + "/compass.gif");
    dc.EndDraw();
    dc.SetGDIObject(previous);
    dc.UseSysFont(0);
    return ok;
}

bool record_photos(CCEDraw& map, const std::string& out_dir) {
    const std::string dir = out_dir + "/photos";
    CCEDraw dc;
    if (!dc.Create(kWidth, kHeight, 0, 0, nullptr, 0)) return false;
    if (!draw_photo_screen(dc, map, dir)) return false;

    const std::string path = out_dir + "/photos.png";
    std::string error;
    if (!kesra::devutil::write_png565(path, reinterpret_cast<const uint16_t*>(dc.GetBuffer()), kWidth,
                                      kHeight, kWidth, &error)) {
        std::fprintf(stderr, "navdemo: %s\n", error.c_str());
        return false;
    }
    std::printf("navdemo: wrote %s (%d pictures listed in %s)\n", path.c_str(), kListed, dir.c_str());
    return true;
}

}  // namespace navdemo
