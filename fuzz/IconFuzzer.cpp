// The icon reader takes Icon.Data from a declaration: any bytes either load
// as an image of at most 256 × 256 pixels or are refused with EReadError.
#include "toolkit/Exceptions.h"
#include "toolkit/Graphics.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    toolkit::TIcon icon;
    try {
        icon.LoadFromBytes(toolkit::Bytes(data, data + size));
    } catch (const toolkit::EReadError&) {
        return 0;
    }
    const toolkit::Surface& image = icon.Image();
    if (image.Width() < 1 || image.Width() > 256 || image.Height() < 1 || image.Height() > 256
        || icon.Data().size() != size)
        std::abort();
    return 0;
}
