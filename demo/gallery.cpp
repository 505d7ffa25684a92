/* gallery.cpp - the picture gallery: one picture per drawing family, each
 * written as a PNG beside the code that drew it. The code shown is this
 * file's own text between a case's begin and end markers, read back at run
 * time, so the page always shows the calls that made its pictures.
 * Usage: gallery OUT_DIR (writes index.html and the PNG files there). */
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/pixel.h"
#include "kesra.h"
#include "tools/common/png565.h"

namespace {

constexpr int kW = 320;
constexpr int kH = 200;
constexpr unsigned short rgb(uint8_t r, uint8_t g, uint8_t b) { return kesra::narrow565(r, g, b); }
const RECT kAll{0, 0, kW, kH};
const char* const kLatinFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kLogo = "/usr/share/gitweb/static/git-logo.png";
std::string g_out;  // the folder the pictures are written to

std::u16string widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// gallery:begin lines
void draw_lines(CCEDraw& dc) {
    dc.Clear(rgb(250, 248, 240));
    for (unsigned width = 1; width <= 5; width += 2) {
        CCEPen pen(0, width, rgb(20, 60, 160));
        dc.SetGDIObject(&pen);
        const LONG y = 20 + 25 * static_cast<LONG>(width);
        dc.DrawLine(20, y, 150, y + 40);
        dc.SetToDefaultPen();
    }
    dc.DrawHLine(170, 30, 300, 30, rgb(200, 40, 40));
    dc.DrawVLine(170, 40, 170, 180, rgb(40, 150, 40));
    dc.DrawRect(190, 50, 300, 120, rgb(0, 0, 0));
    dc.FillRect(200, 130, 300, 180, rgb(240, 160, 20));
    dc.FillRect(240, 100, 290, 160, rgb(20, 20, 200), 0.5f);
}
// gallery:end

// gallery:begin polygons
void draw_polygons(CCEDraw& dc) {
    dc.Clear(rgb(250, 248, 240));
    POINT park[5] = {{20, 30}, {140, 20}, {150, 110}, {80, 170}, {30, 120}};
    dc.FillPolygon(park, 5, rgb(150, 210, 140), 0, 0);
    dc.DrawPolygon(park, 5);
    static unsigned short stripes[4 * 4];
    for (int i = 0; i < 16; ++i)
        stripes[i] = (i / 4 + i % 4) % 4 < 2 ? rgb(120, 170, 230) : rgb(220, 235, 250);
    POINT lake[4] = {{180, 40}, {300, 30}, {290, 170}, {200, 150}};
    dc.FillPolygon(lake, 4, 4, 4, stripes);
    POINT border[4] = {{170, 20}, {310, 20}, {310, 185}, {170, 185}};
    dc.DrawPolyline(border, 4);
}
// gallery:end

// gallery:begin roads
void draw_roads(CCEDraw& dc) {
    dc.Clear(rgb(242, 239, 233));
    POINT main_road[3] = {{10, 30}, {160, 60}, {310, 20}};
    dc.DrawAntiPolylineSide(main_road, 3, rgb(255, 210, 90), rgb(180, 130, 40), 12, kAll);
    POINT street[3] = {{10, 80}, {150, 100}, {310, 80}};
    dc.DrawAntiPolyline(street, 3, rgb(255, 255, 255), 8, kAll, 0, 0);
    POINT path[2] = {{10, 120}, {310, 130}};
    dc.DrawDashLine(path, 2, kAll, 8, 4, 0, rgb(255, 255, 255), rgb(200, 80, 80), 0, 0);
    POINT rail[2] = {{10, 155}, {310, 150}};
    dc.DrawRailway(rail, 2, kAll, 10, 5, 0, rgb(90, 90, 90), rgb(255, 255, 255), 0, 0);
    dc.DrawLine(POINT{10, 185}, POINT{310, 180}, 0, rgb(60, 60, 200), kAll);
}
// gallery:end

// gallery:begin roads_3d
void draw_roads_3d(CCEDraw& dc) {
    dc.Clear(rgb(225, 232, 220));
    POINT left[2] = {{40, 199}, {140, 20}};
    dc.DrawAntiPolylineBorder3D(left, 2, rgb(150, 150, 150), 24, kAll);
    dc.DrawAntiPolyline3D(left, 2, rgb(255, 255, 255), 20, kAll);
    POINT right[3] = {{280, 199}, {220, 100}, {180, 20}};
    dc.DrawAntiPolylineBorder3D(right, 3, rgb(160, 120, 40), 24, kAll);
    dc.DrawAntiPolyline3D(right, 3, rgb(255, 210, 90), 20, kAll);
}
// gallery:end

// gallery:begin route_line
void draw_route_line(CCEDraw& dc) {
    dc.Clear(rgb(242, 239, 233));
    POINT route[4] = {{160, 199}, {160, 130}, {230, 70}, {250, 10}};
    dc.DrawAntiRouteline3D(route, 4, rgb(60, 140, 250), rgb(20, 60, 160), 22, kAll);
}
// gallery:end

// gallery:begin text_freetype
void draw_text_freetype(CCEDraw& dc) {
    dc.Clear(rgb(200, 215, 235));
    std::u16string font = widen(kLatinFont);
    if (!LoadFont(font.data())) return;
    CCEFont size(22, 22, 0, 400);
    dc.SetGDIObject(&size);
    dc.SetTextColor(rgb(20, 20, 60));
    dc.DrawTextW(u"Mill Road", -1, RECT{10, 10, 310, 50}, DT_CENTER);
    RGBQUAD text{40, 40, 40, 0}, halo{255, 255, 255, 0};
    DMX_tag_StringStruct along{0, 1, 0, 0, text, halo};  // dark grey with a white edge
    dc.DM_DrawText(u"Harbour Street", -1, RECT{60, 150, 310, 199}, &along, 0);
    dc.SetToDefaultFont();
}
// gallery:end

// gallery:begin text_outline_font
void draw_text_outline_font(CCEDraw& dc) {
    dc.Clear(rgb(120, 150, 190));
    std::u16string font = widen(std::string(KESRA_GALLERY_ASSETS) + "/labels.stcf");
    if (!LoadFont(font.data())) return;
    CCEFont size(24, 24, 1, 400);
    dc.SetGDIObject(&size);
    const DWORD green = rgb(40, 120, 50) | static_cast<DWORD>(rgb(10, 70, 20)) << 16;
    tagDISTINCT_STRUCT halo{0, green, rgb(255, 255, 255), 0, 0, 0, 0, 0, 0, 0};
    dc.DrawTextWithDistinct(u"Lake Park", -1, RECT{10, 20, 310, 70}, DT_CENTER | DT_VCENTER, halo);
    const DWORD grey = rgb(90, 90, 100) | static_cast<DWORD>(rgb(40, 40, 50)) << 16;
    tagDISTINCT_STRUCT shadow{1, grey, rgb(120, 120, 120), 0, 0, 0, 0, 0, 0, 0};
    dc.DrawTextWithDistinct(u"老城区", -1, RECT{10, 110, 310, 160}, DT_CENTER | DT_VCENTER, shadow);
    dc.SetToDefaultFont();
}
// gallery:end

// gallery:begin bitmaps
void draw_bitmaps(CCEDraw& dc) {
    dc.Clear(rgb(230, 230, 230));
    std::u16string path = widen(kLogo);
    CCEBitmap logo;
    if (!logo.LoadBitmapW(path.c_str())) return;
    logo.Draw(&dc, 10, 10, 0, 0, 0, 0, 0);
    logo.TransBlt(&dc, 10, 80, logo.GetWidth(), logo.GetHeight(), 0, 0, rgb(255, 255, 255));
    logo.StretchBlt(&dc, 130, 40, logo.GetWidth() * 2, logo.GetHeight() * 2, 0, 0);
}
// gallery:end

// gallery:begin pictures
void draw_pictures(CCEDraw& dc) {
    dc.Clear(rgb(40, 40, 48));
    CCEPic picture;  // the roads picture above, read back from its PNG file
    if (!picture.LoadPic((g_out + "/roads.png").c_str(), CEPIC_TYPE_PNG)) return;
    picture.DrawPic(&dc, 10, 10, picture.GetPicWidth() / 2, picture.GetPicHeight() / 2, 0, 0);
    picture.DrawPic(&dc, 170, 60, picture.GetPicWidth() / 3, picture.GetPicHeight() / 3, 0, 0);
    picture.DrawPic(&dc, 10, 120, 0, 0, 100, 120);  // its lower right part, as it is
}
// gallery:end

/* The screens a transition runs between: a map-like old frame and a menu. */
void draw_old_frame(CCEDraw& dc) { draw_roads(dc); }
void draw_new_frame(CCEDraw& dc) {
    dc.Clear(rgb(34, 44, 64));
    dc.FillRect(0, 0, kW - 1, 31, rgb(20, 90, 160));
    for (int i = 0; i < 4; ++i) dc.FillRect(20, 44 + 38 * i, 300, 72 + 38 * i, rgb(70, 86, 118));
}

std::vector<std::vector<uint16_t>> g_steps;  // what the present handler saw
void keep_step(HWND, const uint16_t* pixels, int width, int height) {
    g_steps.emplace_back(pixels, pixels + static_cast<size_t>(width) * height);
}

// gallery:begin transition
/* One transition from the old frame (on the screen) to the new one; every
 * step it presents is kept by the present handler. */
void run_transition(CCEDraw& dc, DWORD effect) {
    draw_old_frame(dc);
    dc.FlipBackBuffer(0, 0);  // the old frame is what the screen shows
    draw_new_frame(dc);
    HostSetPresentHandler(keep_step);
    dc.RenderFlip(tagRENDERFLIP_STRUCT{effect, {0, 0, kW, kH}, 500});
    HostSetPresentHandler(nullptr);
}
// gallery:end

struct Case {
    const char* name;
    const char* title;
    void (*draw)(CCEDraw&);
};

const Case kCases[] = {
    {"lines", "Lines, spans, rectangles and fills", draw_lines},
    {"polygons", "Polygons, filled and patterned", draw_polygons},
    {"roads", "Map roads: outlined, plain, dashed, railway, wide line", draw_roads},
    {"roads_3d", "Roads in the tilted view", draw_roads_3d},
    {"route_line", "The route line", draw_route_line},
    {"text_freetype", "Text through FreeType, along a road with a halo", draw_text_freetype},
    {"text_outline_font", "Text in the outline font: halo and shadow", draw_text_outline_font},
    {"bitmaps", "Bitmaps from a PNG file: drawn, keyed blit and stretched", draw_bitmaps},
    {"pictures", "Pictures: scaled to a half and a third, and a part as it is", draw_pictures},
};

/* Each effect with a direction, as run_transition is called with it. */
struct Effect {
    const char* file;
    const char* bits_text;
    DWORD bits;
};
#define KESRA_EFFECT(file, bits) \
    { file, #bits, bits }
const Effect kEffects[] = {
    KESRA_EFFECT("split_v", RF_SPLIT_V | RF_IN),
    KESRA_EFFECT("split_h", RF_SPLIT_H | RF_OUT),
    KESRA_EFFECT("fade", RF_FADE | RF_IN),
    KESRA_EFFECT("zoomframe", RF_ZOOMFRAME | RF_IN),
    KESRA_EFFECT("zoom", RF_ZOOM | RF_IN),
    KESRA_EFFECT("swing", RF_SWING | RF_IN),
    KESRA_EFFECT("slide_up", RF_SLIDE_UP | RF_IN),
    KESRA_EFFECT("slide_down", RF_SLIDE_DOWN | RF_OUT),
    KESRA_EFFECT("slide_left", RF_SLIDE_LEFT | RF_IN),
    KESRA_EFFECT("slide_right", RF_SLIDE_RIGHT | RF_OUT),
    KESRA_EFFECT("turn", RF_TURN | RF_IN),
};
#undef KESRA_EFFECT

/* The text between "// gallery:begin NAME" and the next "// gallery:end". */
std::string snippet(const std::string& source, const std::string& name) {
    const std::string begin = "// gallery:begin " + name + "\n";
    const size_t from = source.find(begin);
    if (from == std::string::npos) return "";
    const size_t start = from + begin.size();
    const size_t end = source.find("// gallery:end", start);
    return source.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string escape_html(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return out;
}

bool write_png(const std::string& path, const uint16_t* pixels, int width, int height) {
    std::string error;
    if (kesra::devutil::write_png565(path, pixels, width, height, width, &error)) return true;
    std::fprintf(stderr, "gallery: %s\n", error.c_str());
    return false;
}

/* A strip of every step at half size, side by side. */
std::vector<uint16_t> strip_of(const std::vector<std::vector<uint16_t>>& steps, int* width) {
    const int w = kW / 2, h = kH / 2;
    *width = w * static_cast<int>(steps.size());
    std::vector<uint16_t> strip(static_cast<size_t>(*width) * h);
    for (size_t i = 0; i < steps.size(); ++i)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                strip[static_cast<size_t>(y) * *width + i * w + x] = steps[i][(2 * y) * kW + 2 * x];
    return strip;
}

void section(std::ostringstream& page, const std::string& title, const std::string& png,
             const std::string& code) {
    page << "<section><h2>" << escape_html(title) << "</h2>\n<div class=\"pair\"><img src=\"" << png
         << "\" alt=\"" << escape_html(title) << "\"><pre>" << escape_html(code)
         << "</pre></div></section>\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gallery OUT_DIR\n");
        return 2;
    }
    const std::string out = argv[1];
    g_out = out;
    std::ifstream in(KESRA_GALLERY_SOURCE);
    std::stringstream source_text;
    source_text << in.rdbuf();
    const std::string source = source_text.str();
    if (source.empty() || !kesra::devutil::make_directories(out)) {
        std::fprintf(stderr, "gallery: cannot read %s or make %s\n", KESRA_GALLERY_SOURCE, out.c_str());
        return 1;
    }
    HWND window = HostCreateWindow(kW, kH);
    HostSetForegroundWindow(window);
    CCEDraw dc;
    if (!dc.Create(kW, kH, 0, 0, window, 0)) return 1;
    const auto* pixels = reinterpret_cast<const uint16_t*>(dc.GetBuffer());

    std::ostringstream page;
    page << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>libkesra gallery</title>\n"
            "<style>body{font-family:sans-serif;margin:2em}.pair{display:flex;gap:1.5em;align-items:"
            "flex-start}pre{background:#f4f4f4;padding:1em;overflow:auto}img{image-rendering:pixelated}"
            "</style></head><body>\n<h1>libkesra gallery</h1>\n<p>Every picture below was drawn by the "
            "code beside it (demo/gallery.cpp).</p>\n";
    bool ok = true;
    for (const Case& c : kCases) {
        c.draw(dc);
        const std::string png = std::string(c.name) + ".png";
        ok = write_png(out + "/" + png, pixels, kW, kH) && ok;
        section(page, c.title, png, snippet(source, c.name));
    }
    page << "<section><h2>Transitions: every effect, one step a picture</h2>\n<pre>"
         << escape_html(snippet(source, "transition")) << "</pre>\n";
    for (const Effect& e : kEffects) {
        g_steps.clear();
        run_transition(dc, e.bits);
        if (g_steps.empty()) {
            std::fprintf(stderr, "gallery: the %s transition presented nothing\n", e.file);
            ok = false;
            continue;
        }
        int width = 0;
        const std::vector<uint16_t> strip = strip_of(g_steps, &width);
        const std::string png = std::string("transition_") + e.file + ".png";
        ok = write_png(out + "/" + png, strip.data(), width, kH / 2) && ok;
        page << "<h3><code>run_transition(dc, " << escape_html(e.bits_text) << ")</code>: " << g_steps.size()
             << " steps</h3>\n<img src=\"" << png << "\" alt=\"" << e.file << "\">\n";
    }
    page << "</section>\n";
    page << "</body></html>\n";
    std::ofstream index(out + "/index.html");
    index << page.str();
    dc.Release();
    HostDestroyWindow(window);
    if (!index || !ok) return 1;
    std::printf("gallery: %s/index.html\n", out.c_str());
    return 0;
}
