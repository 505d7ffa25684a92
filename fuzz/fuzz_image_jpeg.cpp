/* fuzz_image_jpeg.cpp - the image module's JPEG: from memory (the length
 * known, and the EOI walk) and from a file.
 * Every load that succeeds is popped again. */
#include "fuzz/fuzz_image_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kesra;
    fuzz::setup_module();
    fuzz::release_if(ql::load_resource(data, size, QL_TYPE_JPEG));
    ql::jpeg_extent(data, size);
    const std::u16string path = fuzz::input_file(data, size);
    fuzz::release_if(QLLoad(path.c_str(), QL_TYPE_JPEG));
    QLSIZE header{};
    QLReadImageHeader(path.c_str(), QL_TYPE_JPEG, &header);
    return 0;
}
