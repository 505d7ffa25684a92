/* profile_new.cpp - the library's own operator new, which counts allocations
 * for the frame profiler. It is hidden in the shared library, so it sees the
 * library's code only, never the program's nor the C libraries' (libpng,
 * FreeType), and it allocates as the standard one does (malloc), so memory
 * it hands out may be freed by either operator delete. */
#include <cstdlib>
#include <new>

#include "core/profile.h"

#if KESRA_COUNTS_ALLOCATIONS

namespace {

void* counted_allocation(std::size_t size) {
    kesra::profile::count(kesra::profile::Kind::Allocation);
    if (size == 0) size = 1;
    return std::malloc(size);
}

void* allocation_or_throw(std::size_t size) {
    for (;;) {
        if (void* p = counted_allocation(size)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

}  // namespace

// <new> declares them with default visibility, which an attribute cannot
// narrow; the assembler's directive hides the symbols themselves.
// size_t mangles as m where it is unsigned long, as j where unsigned int.
#if __SIZEOF_SIZE_T__ == __SIZEOF_LONG__
#define KESRA_SIZE_CODE "m"
#else
#define KESRA_SIZE_CODE "j"
#endif
asm(".hidden _Znw" KESRA_SIZE_CODE "\n.hidden _Zna" KESRA_SIZE_CODE "\n.hidden _Znw" KESRA_SIZE_CODE
    "RKSt9nothrow_t\n.hidden _Zna" KESRA_SIZE_CODE "RKSt9nothrow_t");

void* operator new(std::size_t size) { return allocation_or_throw(size); }
void* operator new[](std::size_t size) { return allocation_or_throw(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_allocation(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted_allocation(size); }

#endif
