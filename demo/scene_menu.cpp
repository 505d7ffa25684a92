/* scene_menu.cpp - the main menu page, laid out by the UI configuration file
 * menu.ini (built by kesra-ini from demo/menu.ini.txt) and read through
 * CIniCtrl: each button record gives a box, an icon from icons.pack, a colour
 * and a font height; its first two texts, stored as GBK, are the Chinese
 * label and the English line under it.
 * The page is presented and written to out_dir/menu.png. */
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "demo/scenes.h"
#include "tools/common/png565.h"

namespace navdemo {
namespace {

/* Droid Sans Fallback holds the Chinese but no Latin letters, DejaVu Sans the
 * reverse: the first texts are set with one, the second with the other. */
const char* const kChineseFont = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
const char* const kLatinFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kMenuPage = 0;
constexpr int kMaxButtons = 80;
enum : DWORD { kButton = 1, kLabel = 2, kDisabledButton = 3 };

std::u16string wide_of(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

/* A button text as wide characters: the file holds it in code page 936. */
std::u16string button_text(CIniCtrl& ini, int button, int text) {
    char gbk[129] = {};
    if (!ini.ReadButtonText(kMenuPage, button, text, gbk, 128)) return u"";
    WCHAR wide[129] = {};
    const int n = MultiByteToWideChar(936, 0, gbk, -1, wide, 129);
    return n > 0 ? std::u16string(wide) : u"";
}

/* The page's background layers: the plain ground, then a title band. */
void draw_backgrounds(CCEDraw& dc, int layers) {
    if (layers >= 1) dc.Clear(rgb565(22, 30, 46));
    if (layers >= 2) dc.FillRect(0, 0, kWidth - 1, 83, rgb565(36, 60, 100));
}

void draw_text_line(CCEDraw& dc, const std::u16string& text, RECT box, int height, unsigned short color,
                    unsigned format) {
    if (text.empty()) return;
    CCEFont font(height, height, 2, 400);
    CKESRAObject* previous = dc.SetGDIObject(&font);
    dc.SetTextColor(color);
    dc.DrawTextW(text.c_str(), -1, box, format);
    dc.SetGDIObject(previous);
}

bool known_type(const tagINIBUTTON& b) { return b.dwType >= kButton && b.dwType <= kDisabledButton; }

/* A button's box and icon; labels have neither. */
void draw_button_face(CCEDraw& dc, const tagINIBUTTON& b) {
    if (!known_type(b) || b.dwType == kLabel) return;
    const bool enabled = b.dwType == kButton;
    dc.FillRect(b.left, b.top, b.right, b.bottom, enabled ? rgb565(48, 72, 112) : rgb565(52, 56, 64));
    dc.DrawRect(b.left, b.top, b.right, b.bottom, enabled ? rgb565(120, 170, 230) : rgb565(90, 94, 104));
    CCEBitmap icon;
    if (b.dwImageNormal && icon.LoadBitmapTemp(b.dwImageNormal))
        dc.DrawBitmap(&icon, (b.left + b.right) / 2 - icon.GetWidth() / 2, b.top + 34 - icon.GetHeight() / 2,
                      0, 0, 0, 0);
}

/* Text 0 in the record's colour, height and format, or text 1 in small print
 * under it; greyed on a disabled button. */
void draw_button_text(CCEDraw& dc, CIniCtrl& ini, int index, const tagINIBUTTON& b, int text) {
    if (!known_type(b)) return;
    const bool label = b.dwType == kLabel, faded = b.dwType == kDisabledButton;
    const LONG split = label ? b.top + 40 : b.top + 97;
    const RECT box = text == 0 ? RECT{b.left, label ? b.top : b.top + 62, b.right, split - 1}
                               : RECT{b.left, split, b.right, label ? b.bottom : b.bottom - 8};
    const unsigned short color = faded       ? rgb565(140, 144, 152)
                                 : text == 0 ? static_cast<unsigned short>(b.dwTextColor)
                                             : rgb565(190, 205, 225);
    draw_text_line(dc, button_text(ini, index, text), box, text == 0 ? static_cast<int>(b.dwFontSize) : 16,
                   color, text == 0 ? b.dwAlign : DT_CENTER | DT_VCENTER);
}

}  // namespace

bool draw_menu_page(CCEDraw& dc, const Assets& assets) {
    const std::string ini_path = assets.dir + "/menu.ini", pack_path = assets.dir + "/icons.pack";
    if (!CIniCtrl::OpenFile(wide_of(ini_path).c_str())) {
        std::fprintf(stderr, "navdemo: cannot open the UI configuration file %s\n", ini_path.c_str());
        return false;
    }
    const bool have_pack = CCEBitmap::OpenResource(wide_of(pack_path).c_str()) != 0;
    if (!have_pack)
        std::fprintf(stderr, "navdemo: cannot open %s; the menu has no icons\n", pack_path.c_str());

    CIniCtrl ini;
    const int buttons = std::min(ini.GetButtonNum(kMenuPage), kMaxButtons);
    std::vector<tagINIBUTTON> records(static_cast<size_t>(std::max(buttons, 0)));
    for (int i = 0; i < buttons; ++i)
        if (!ini.ReadButton(kMenuPage, i, &records[static_cast<size_t>(i)]))
            records[static_cast<size_t>(i)] = {};
    dc.UseSysFont(0);  // the loaded fonts, which hold the Chinese
    dc.BeginDraw();
    draw_backgrounds(dc, ini.GetBackgroundNum(kMenuPage));
    for (const tagINIBUTTON& b : records) draw_button_face(dc, b);
    for (int text = 0; text < 2; ++text) {
        const char* font = text == 0 ? kChineseFont : kLatinFont;
        std::u16string path = wide_of(font);
        if (!LoadFont(path.data())) {
            std::fprintf(stderr, "navdemo: cannot load %s; the menu lacks its texts %d\n", font, text);
            continue;
        }
        for (int i = 0; i < buttons; ++i) draw_button_text(dc, ini, i, records[static_cast<size_t>(i)], text);
        ReleaseFont();
    }
    dc.EndDraw();
    if (have_pack) CCEBitmap::CloseResource();
    CIniCtrl::CloseFile();
    if (buttons < 1) {
        std::fprintf(stderr, "navdemo: %s holds no buttons on page %d\n", ini_path.c_str(), kMenuPage);
        return false;
    }
    return true;
}

bool record_menu(HWND window, CCEDraw& dc, const Assets& assets, const std::string& out_dir) {
    const bool drawn = draw_menu_page(dc, assets);
    dc.FlipBackBuffer(0, 0);
    dc.Flip(3, 0, 0);
    if (!drawn) return false;

    std::string error;
    if (!kesra::devutil::write_png565(out_dir + "/menu.png", HostWindowPixels(window), kWidth, kHeight,
                                      kWidth, &error)) {
        std::fprintf(stderr, "navdemo: %s\n", error.c_str());
        return false;
    }
    std::printf("navdemo: wrote menu.png from %s/menu.ini\n", assets.dir.c_str());
    return true;
}

}  // namespace navdemo
