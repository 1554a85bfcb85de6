// The picture file is outside data: whatever it holds, loading reads the
// header or throws EJPEG, and drawing it into the 320 × 320 client surface
// stays within bounded time and memory, never throws, and decodes only once.
#include "media/JpegImage.h"
#include "toolkit/Surface.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
constexpr int ClientSize = 320;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    media::TJPEGImage picture;
    try {
        picture.LoadFromBytes(toolkit::Bytes(data, data + size));
    } catch (const media::EJPEG&) {
        return 0;
    }
    toolkit::Surface client(ClientSize, ClientSize, 0xFFFFFFFF);
    picture.Draw(client, 0, 0, client.Bounds());
    const int decodes = picture.DecodeCount();
    // A repaint of what was drawn decodes nothing, even when decoding failed.
    picture.Draw(client, 0, 0, client.Bounds());
    if (picture.DecodeCount() != decodes)
        std::abort();
    return 0;
}
