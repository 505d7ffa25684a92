/* fuzz_image_bmp.cpp - the image module's BMP: from a file, and the header reader.
 * Every load that succeeds is popped again. */
#include "fuzz/fuzz_image_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kesra;
    fuzz::setup_module();
    const std::u16string path = fuzz::input_file(data, size);
    fuzz::release_if(QLLoad(path.c_str(), QL_TYPE_BMP));
    QLSIZE header{};
    QLReadImageHeader(path.c_str(), QL_TYPE_BMP, &header);
    return 0;
}
