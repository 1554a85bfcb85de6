// The process's one pseudo-random source. The algorithm is written out here,
// not taken from a standard-library distribution, so a seed gives the same
// values on every platform and compiler.
#pragma once

#include <cstdint>

namespace toolkit {

// Seeds the source from the time of day: milliseconds since midnight, UTC.
void Randomize();
void Randomize(std::uint32_t seed);
// A uniformly distributed integer from 0 to range - 1; 0 when range <= 0.
int Random(int range);
// The current state, for tests that replay a run.
std::uint32_t RandSeed();

}
