/* standalone_driver.cpp - runs a libFuzzer harness over the files named on the
 * command line, for compilers without libFuzzer. */
#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        FILE* f = std::fopen(argv[i], "rb");
        if (!f) {
            std::fprintf(stderr, "%s: cannot open\n", argv[i]);
            return 1;
        }
        std::vector<uint8_t> data;
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
        std::fclose(f);
        LLVMFuzzerTestOneInput(data.data(), data.size());
        /* Every prefix as well: truncated files are where parsers fail. */
        for (size_t cut = 0; cut < data.size(); cut += 1 + data.size() / 64)
            LLVMFuzzerTestOneInput(data.data(), cut);
    }
    std::printf("ran %d input(s)\n", argc - 1);
    return 0;
}
