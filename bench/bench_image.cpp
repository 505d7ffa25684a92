/* The image scaler, the warp and PNG decoding at screen sizes (800 x 480). */
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "effects/transforms.h"
#include "image/ql_module.h"
#include "kesra.h"

namespace {

struct SourceImage {
    tagEFFECTIMAGE image{};
    SourceImage(LONG w, LONG h, bool alpha) {
        image.nWidth = w;
        image.nHeight = h;
        image.pPixels = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * w * h));
        for (LONG i = 0; i < w * h; ++i) image.pPixels[i] = static_cast<uint16_t>(i * 2654435761u >> 16);
        if (alpha) {
            image.pAlpha = static_cast<uint8_t*>(std::malloc(w * h));
            std::memset(image.pAlpha, 20, w * h);
        }
    }
    ~SourceImage() { kesra::effect_free(&image); }
};

void scale(benchmark::State& state, LONG sw, LONG sh, LONG tw, LONG th, bool alpha) {
    SourceImage source(sw, sh, alpha);
    for (auto _ : state) {
        tagEFFECTIMAGE target{};
        target.nWidth = tw;
        target.nHeight = th;
        kesra::effect_scale(&target, source.image);
        benchmark::DoNotOptimize(target.pPixels);
        kesra::effect_free(&target);
    }
    state.SetItemsProcessed(state.iterations() * tw * th);
}

void BM_ScaleHalf(benchmark::State& state) { scale(state, 800, 480, 400, 240, false); }
BENCHMARK(BM_ScaleHalf);
void BM_ScaleHalfWithAlpha(benchmark::State& state) { scale(state, 800, 480, 400, 240, true); }
BENCHMARK(BM_ScaleHalfWithAlpha);
void BM_ScaleUpDouble(benchmark::State& state) { scale(state, 400, 240, 800, 480, false); }
BENCHMARK(BM_ScaleUpDouble);
void BM_ScaleUpOdd(benchmark::State& state) { scale(state, 333, 201, 800, 480, true); }
BENCHMARK(BM_ScaleUpOdd);

void BM_WarpRight(benchmark::State& state) {
    SourceImage source(800, 480, false);
    for (auto _ : state) {
        tagEFFECTIMAGE target{};
        target.nWidth = 800;
        target.nHeight = 480;
        target.nWarpMode = kesra::WARP_RIGHT;
        target.nEdgeFrom = 120;
        target.nEdgeTo = 360;
        kesra::effect_warp(&target, source.image);
        benchmark::DoNotOptimize(target.pAlpha);
        kesra::effect_free(&target);
    }
    state.SetItemsProcessed(state.iterations() * 800 * 480);
}
BENCHMARK(BM_WarpRight);

/* An 800 x 480 PNG with a smooth picture, saved by the module itself. */
std::vector<uint8_t> screen_png() {
    kesra::ql::Image image;
    kesra::ql::allocate_pixels(image, 800, 480, 255);
    for (uint32_t y = 0; y < 480; ++y)
        for (uint32_t x = 0; x < 800; ++x) {
            uint8_t* p = image.pixels + (y * 800 + x) * 4;
            p[1] = static_cast<uint8_t>(x), p[2] = static_cast<uint8_t>(y),
            p[3] = static_cast<uint8_t>(x ^ y);
        }
    QLConstructor();
    kesra::ql::push_image(image);
    const std::string path = "/tmp/kesra_bench_image.png";
    const std::u16string wide(path.begin(), path.end());
    QLSave(wide.c_str(), QL_TYPE_PNG);
    QLReleaseLastImage();
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    std::remove(path.c_str());
    return bytes;
}

void BM_PngLoadFromMemory(benchmark::State& state) {
    const std::vector<uint8_t> png = screen_png();
    for (auto _ : state) {
        if (!kesra::ql::load_resource(png.data(), png.size(), QL_TYPE_PNG))
            state.SkipWithError("decode failed");
        QLReleaseLastImage();
    }
    state.SetItemsProcessed(state.iterations() * 800 * 480);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(png.size()));
}
BENCHMARK(BM_PngLoadFromMemory);

}  // namespace
