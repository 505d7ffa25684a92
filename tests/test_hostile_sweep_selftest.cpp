/* test_hostile_sweep_selftest.cpp - a harness with a known fault at three
 * input sizes (an abort, an endless loop, an allocation past the memory
 * limit), so that ctest shows the sweep reports each of them with the cut
 * that caused it and carries on after it. */
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

uint8_t* volatile g_kept;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 5) std::abort();  // as the harnesses stop on a broken fence or round trip
    if (size == 7)
        for (volatile unsigned spin = 0;; spin = spin + 1) {
        }
    if (size == 9) {
        g_kept = new uint8_t[size_t{1} << 31];
        g_kept[size] = data[0];
        delete[] g_kept;
    }
    return 0;
}
