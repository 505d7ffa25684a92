/* fuzz_pack_files.cpp - the compressed frame pack and the real-scene file on
 * arbitrary bytes, read from a file as the loaders do. */
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bitmap/pack_view.h"
#include "cebitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/kesra_fuzz_pack_" + std::to_string(getpid()) + ".bin";
    static const std::u16string wpath(path.begin(), path.end());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    for (LONG id = 300; id < 303; ++id) {
        CCEBitmap b;
        b.LoadBitmapGIF(wpath.c_str(), id);
    }
    for (LONG index = 0; index < 4; ++index) {
        CCEBitmap b;
        b.LoadBitmap3D(wpath.c_str(), index, tagRECT{0, 0, 15, 9});
    }
    kesra::pack::SceneView scene;
    std::string error;
    if (scene.open(data, size, &error))
        for (int32_t i = 0; i <= scene.count() && i < 8; ++i) {
            kesra::pack::ScenePayload payload;
            scene.image(i, &payload, &error);
        }
    std::remove(path.c_str());
    return 0;
}
