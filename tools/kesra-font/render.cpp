/* render.cpp - kesra-font render: a string drawn through the library's own
 * outline engine, one W x H cell per character placed at its advance, written
 * as a grey PNG (coverage 0 white, full black; edge-ring pixels in colour). */
#include <algorithm>
#include <cstdio>
#include <memory>

#include "text/stcf_engine.h"
#include "tools/common/png565.h"
#include "tools/kesra-font/font_tool.h"

namespace kesra_font {

namespace {

struct RecordDeleter {
    void operator()(kesra::StcfFontRecord* record) const { kesra::stcf::release(record); }
};

/* Grey for coverage 0..levels; 17 and 19 (edge rings) in red and blue. */
void put_pixel(kesra::devutil::RgbaImage& image, int x, int y, int value, int levels) {
    uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
    if (value == 17 || value == 19) {
        p[0] = value == 17 ? 220 : 40;
        p[1] = 40;
        p[2] = value == 17 ? 40 : 220;
        return;
    }
    const int v = value < 0 ? 0 : value > levels ? levels : value;
    p[0] = p[1] = p[2] = static_cast<uint8_t>(255 - v * 255 / levels);
}

}  // namespace

bool render(const std::string& path, const std::vector<uint8_t>& data, const std::u16string& text,
            const RenderOptions& options, std::string* error) {
    std::unique_ptr<kesra::StcfFontRecord, RecordDeleter> record(
        kesra::stcf::parse(data.data(), data.size()));
    if (!record) {
        *error = path + ": the engine does not take it as an STCF font";
        return false;
    }
    kesra::stcf::FontParams params;
    params.encoding = 2;
    params.levels = options.levels;
    params.page = options.page;
    params.flags = options.flags;
    const int w = options.width, h = options.height;

    /* Every character's cell and advance first, then the picture at their sum. */
    std::vector<std::vector<uint8_t>> cells;
    std::vector<int32_t> advances;
    int total = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        std::vector<uint8_t> cell(static_cast<size_t>(w) * h, 0);
        int32_t width = w, height = h;
        const kesra::stcf::CharRef ch{text.data() + i, text.size() - i};
        kesra::stcf::render(record.get(), ch, params, cell.data(), cell.size(), &width, &height);
        cells.push_back(std::move(cell));
        advances.push_back(width);
        total += width;
    }
    /* Cells overlap where advances are narrower than the cell: the stronger value wins. */
    const int picture_width = total > 0 ? total : 1;
    std::vector<int> values(static_cast<size_t>(picture_width) * h, 0);
    int pen = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w && pen + x < picture_width; ++x) {
                int& v = values[static_cast<size_t>(y) * picture_width + pen + x];
                v = std::max<int>(v, cells[i][static_cast<size_t>(y) * w + x]);
            }
        pen += advances[i];
    }
    kesra::devutil::RgbaImage image;
    image.width = picture_width;
    image.height = h;
    image.rgba.assign(static_cast<size_t>(image.width) * h * 4, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < picture_width; ++x)
            if (const int v = values[static_cast<size_t>(y) * picture_width + x])
                put_pixel(image, x, y, v, options.levels);
    if (!kesra::devutil::write_png_rgba(options.out, image, error)) {
        *error = options.out + ": cannot write the PNG" + (error->empty() ? "" : ": " + *error);
        return false;
    }
    return true;
}

}  // namespace kesra_font
