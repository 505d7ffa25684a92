/* fuzz_image_png.cpp - the image module's PNG: from memory (the length known,
 * and the IEND walk) and from a file.
 * Every load that succeeds is popped again. */
#include "fuzz/fuzz_image_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kesra;
    fuzz::setup_module();
    fuzz::release_if(ql::load_resource(data, size, QL_TYPE_PNG));
    ql::png_extent(data, size);
    const std::u16string path = fuzz::input_file(data, size);
    fuzz::release_if(QLLoad(path.c_str(), QL_TYPE_PNG));
    QLSIZE header{};
    QLReadImageHeader(path.c_str(), QL_TYPE_PNG, &header);
    return 0;
}
