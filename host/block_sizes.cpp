#include "host/block_sizes.h"

#include <algorithm>
#include <random>

namespace tolvar {

std::vector<int32_t> RandomBlockSizes(uint32_t seed, std::size_t count, int32_t maxSize) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> kind(0, 7);
    std::uniform_int_distribution<int32_t> size(2, std::max<int32_t>(2, maxSize));
    std::vector<int32_t> sizes;
    sizes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int draw = kind(generator);
        if (draw == 0 || maxSize < 1) sizes.push_back(0);
        else if (draw == 1 || maxSize < 2) sizes.push_back(1);
        else sizes.push_back(size(generator));
    }
    return sizes;
}

}  // namespace tolvar
