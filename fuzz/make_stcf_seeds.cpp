/* make_stcf_seeds.cpp - writes the seed fonts of fuzz_stcf into a directory:
 * small STCF images made with the tests' font builder that use every outline
 * operation, composites with and without scales, two Latin pages and every
 * code table, in a GBK-style (kind 0) and a Big5-style (kind 3) layout, and
 * a small one without code tables. */
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/stcf_font_builder.h"

using namespace kesra::test;

namespace {

OutlineWriter every_operation() {
    OutlineWriter w;
    w.contour(10, 0)
        .op(3, {40, 0})
        .op(1, {30})
        .op(2, {20})
        .op(4, {60})
        .op(5, {30})
        .op(6, {50})
        .op(7, {10})
        .op(8, {delta_pair(3, 5), delta_pair(7, -2), delta_pair(-8, -7)})
        .op(10, {5, 60})
        .op(11, {70, 70})
        .op(12, {delta_pair(-3, 4)})
        .op(13, {delta_pair(1, 2), delta_pair(-3, 1), 45, 33})
        .op(14, {delta_pair(1, 2), 30, 60, 45, 33})
        .op(15, {70, 20, delta_pair(-3, 1), 45, 33})
        .op(0, {10, 26, 50, 26, 50, 0});
    w.contour(10, 9).op(9, {30, 16, 36, 40, 46, 30, 9, 40, 3, 16});
    return w;
}

bool write(const std::string& path, FontBuilder& b) {
    const std::vector<uint8_t> image = b.build();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    return std::fclose(f) == 0 && ok;
}

/* Outlines, pages and composites only: a small image for the fuzzer to mutate. */
void fill_outlines(FontBuilder& b) {
    const OutlineWriter ops = every_operation();
    OutlineWriter bar;
    bar.contour(0, 5).op(2, {40}).op(1, {35}).op(2, {0});
    b.page_count = 2;
    for (int n = 0; n < 8; ++n) b.set_single(n, n % 2 ? bar : ops);
    b.set_latin(1, 'A' - 32, ops);
    b.set_latin(2, 'A' - 32, bar);
    b.set_latin(1, 0x91, bar);
    b.add_composite({Component{1, 40, 0}, Component{0, 0, 20, 64, 64}});
    b.add_composite({Component{0, -20, -10, 200, 90}, Component{1, 10, 10}, Component{2, 0, 0, 128, 128}});
}

/* Every code table as well. */
void fill(FontBuilder& b) {
    fill_outlines(b);
    b.utf16.assign(65536, 0xFFFF);
    b.utf16[0x4E00] = 8783;
    b.utf16[0x4E01] = 3000;
    b.big5.assign(157 * 126, 0xA1A1);
    b.shift_jis.assign(188 * 60, 0xB0B0);
    b.euc.assign(32768, 0x8081);
    b.mode6.assign(32768, 0x4E00);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_stcf_seeds DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    FontBuilder gbk_font, big5_font, small_font;
    fill(gbk_font);
    fill_outlines(small_font);
    big5_font.charset_kind = 3;
    fill(big5_font);
    if (!write(dir + "/gbk.stcf", gbk_font) || !write(dir + "/big5.stcf", big5_font) ||
        !write(dir + "/small.stcf", small_font)) {
        std::fprintf(stderr, "make_stcf_seeds: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
