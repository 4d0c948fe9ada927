#pragma once
// Block-size plans for driving processReplacing the way different hosts do.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tolvar {

// `count` sizes drawn from a generator seeded with `seed` (the same seed gives
// the same plan): about one in eight is 0, one in eight is 1, the rest are
// spread evenly over 2..maxSize. maxSize below 2 gives only 0s and 1s.
std::vector<int32_t> RandomBlockSizes(uint32_t seed, std::size_t count, int32_t maxSize);

}  // namespace tolvar
