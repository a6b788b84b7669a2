#pragma once
// Bytes of a file, or of its deflated form, held while it is packed: a vector
// that leaves the bytes it grows by as they are. Every byte is written (read
// from the file, or deflated into) before it is looked at, so zeroing them
// first would only cost time, for every file packed.

#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace rk::tools {

template <class T> struct UninitializedAllocator : std::allocator<T> {
    UninitializedAllocator() = default;
    template <class U> UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

    // A value made without arguments is left as the memory holds it.
    template <class U>
    void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args> void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<unsigned char, UninitializedAllocator<unsigned char>>;

} // namespace rk::tools
