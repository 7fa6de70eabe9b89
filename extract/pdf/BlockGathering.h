#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace quenlith {

// Copies `size` bytes at `data` into fixed blocks of `capacity` bytes: `block()` gives the block
// being filled (`used` bytes of it taken), `full()` takes a full one and sets `used` to 0. For
// stages that work on whole blocks whatever sizes of writes their input comes in.
template <typename Block, typename Full>
void gatherIntoBlocks(const unsigned char *data,
    std::size_t size,
    std::size_t capacity,
    std::size_t &used,
    Block block,
    Full full)
{
    while (size > 0) {
        unsigned char *into = block();
        const std::size_t n = std::min(size, capacity - used);
        std::memcpy(into + used, data, n);
        used += n;
        data += n;
        size -= n;
        if (used == capacity)
            full();
    }
}

} // namespace quenlith
