#include "toolkit/Random.h"

#include "toolkit/Application.h"

namespace toolkit {

namespace {
// A full-period 32-bit linear congruential generator.
std::uint32_t State = 0;
constexpr std::uint32_t Multiplier = 134775813u;
constexpr std::uint32_t Increment = 1u;
}

void Randomize()
{
    Randomize(std::uint32_t(Application->Platform().UtcMsOfDay()));
}

void Randomize(std::uint32_t seed)
{
    State = seed;
}

int Random(int range)
{
    State = State * Multiplier + Increment;
    if (range <= 0)
        return 0;
    // Scaling takes the high bits, which are the well-mixed ones in an LCG.
    return int((std::uint64_t(State) * std::uint64_t(range)) >> 32);
}

std::uint32_t RandSeed()
{
    return State;
}

}
