/* scratch.h - working arrays that a drawing routine keeps from call to call:
 * one per thread and per use, grown when a call needs more and never shrunk,
 * so that drawing a frame allocates nothing once the arrays are big enough.
 * A routine never calls another that takes the same array. */
#ifndef KESRA_DRAW_SCRATCH_H
#define KESRA_DRAW_SCRATCH_H

#include <cstddef>
#include <memory>
#include <new>

namespace kesra {

template <class T>
class ScratchArray {
   public:
    /* Room for count elements (their values are left from earlier calls);
     * null when the memory cannot be had. */
    T* take(size_t count) {
        if (count > capacity_) {
            items_.reset(new (std::nothrow) T[count]);
            capacity_ = items_ ? count : 0;
        }
        return items_.get();
    }

   private:
    std::unique_ptr<T[]> items_;
    size_t capacity_ = 0;
};

}  // namespace kesra

#endif
