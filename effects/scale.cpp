/* scale.cpp - nearest-neighbour resampling of an effect image. Source
 * coordinates are computed in double precision and rounded by the 0.5 test
 * (integer part, plus 1 when the fraction is at least 0.5), then held inside
 * the source; a mirrored target is written right to left. */
#include <cstdlib>
#include <new>
#include <vector>

#include "effects/scale_internal.h"
#include "effects/transforms.h"

namespace kesra {

bool plane_size(LONG width, LONG height, size_t* count) {
    if (width < 1 || height < 1) return false;
    const uint64_t n = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    if (n > SIZE_MAX / 2) return false;
    *count = static_cast<size_t>(n);
    return true;
}

int effect_scale(tagEFFECTIMAGE* target, const tagEFFECTIMAGE& source) {
    if (!target || target->nWidth < 1 || target->nHeight < 1) return 0;
    if (source.nWidth < 1 || source.nHeight < 1 || !source.pPixels) return 0;
    size_t count = 0;
    if (!plane_size(target->nWidth, target->nHeight, &count)) return 0;

    const LONG width = target->nWidth, height = target->nHeight;
    const double fx = 1.0 / (static_cast<double>(width) / source.nWidth);
    const double fy = 1.0 / (static_cast<double>(height) / source.nHeight);

    // The source column of every target column, once per call. A failed
    // allocation is a failed scale: nothing throws out of the library.
    std::vector<LONG> columns;
    try {
        columns.resize(static_cast<size_t>(width));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    for (LONG x = 0; x < width; ++x) {
        const LONG col = nearest_index(x * fx);
        const LONG held = col < source.nWidth - 1 ? col : source.nWidth - 1;
        columns[static_cast<size_t>(target->bMirror ? width - 1 - x : x)] = held;
    }

    auto* pixels = static_cast<uint16_t*>(std::calloc(count, 2));
    uint8_t* alpha = nullptr;
    if (source.pAlpha) alpha = static_cast<uint8_t*>(std::calloc(count, 1));
    if (!pixels || (source.pAlpha && !alpha)) {
        std::free(pixels);
        std::free(alpha);
        return 0;
    }

    for (LONG y = 0; y < height; ++y) {
        const LONG row = nearest_index(y * fy);
        const size_t src_row = static_cast<size_t>(row < source.nHeight - 1 ? row : source.nHeight - 1) *
                               static_cast<size_t>(source.nWidth);
        uint16_t* out = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
        const uint16_t* in = source.pPixels + src_row;
        for (LONG x = 0; x < width; ++x) out[x] = in[columns[static_cast<size_t>(x)]];
        if (alpha) {
            uint8_t* out_alpha = alpha + static_cast<size_t>(y) * static_cast<size_t>(width);
            const uint8_t* in_alpha = source.pAlpha + src_row;
            for (LONG x = 0; x < width; ++x) out_alpha[x] = in_alpha[columns[static_cast<size_t>(x)]];
        }
    }
    target->pPixels = pixels;
    target->pAlpha = alpha;
    return 1;
}

}  // namespace kesra
