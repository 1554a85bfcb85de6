#include "toolkit/Exceptions.h"
#include "toolkit/Graphics.h"

namespace toolkit {

namespace {

// Little-endian reads that refuse to leave the buffer.
class ByteReader {
public:
    explicit ByteReader(const Bytes& bytes)
        : m_bytes(bytes)
    {
    }
    std::uint32_t Read(std::size_t offset, int size) const
    {
        if (offset > m_bytes.size() || m_bytes.size() - offset < std::size_t(size))
            throw EReadError("Icon data ends early");
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | m_bytes[offset + std::size_t(i)];
        return value;
    }
    std::uint8_t Byte(std::size_t offset) const { return std::uint8_t(Read(offset, 1)); }

private:
    const Bytes& m_bytes;
};

std::size_t RowBytes(int width, int bitCount)
{
    // Bitmap rows are padded to whole 32-bit words.
    return (std::size_t(width) * std::size_t(bitCount) + 31) / 32 * 4;
}

}

void TIcon::LoadFromBytes(Bytes bytes)
{
    ByteReader reader(bytes);
    if (reader.Read(0, 2) != 0 || reader.Read(2, 2) != 1 || reader.Read(4, 2) == 0)
        throw EReadError("Not an icon file");
    const std::size_t imageOffset = reader.Read(6 + 12, 4);

    // The directory entry's sizes are advisory; the bitmap header decides.
    const std::size_t headerSize = reader.Read(imageOffset, 4);
    const int width = int(reader.Read(imageOffset + 4, 4));
    const int doubledHeight = int(reader.Read(imageOffset + 8, 4));
    const int bitCount = int(reader.Read(imageOffset + 14, 2));
    const std::uint32_t compression = reader.Read(imageOffset + 16, 4);
    const int height = doubledHeight / 2;
    if (headerSize < 40 || width <= 0 || width > 256 || height <= 0 || height > 256 || compression != 0)
        throw EReadError("Unsupported icon image");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        throw EReadError("Unsupported icon colour depth");

    const std::size_t paletteOffset = imageOffset + headerSize;
    const std::size_t paletteSize = bitCount <= 8 ? std::size_t(1) << bitCount : 0;
    const std::size_t xorOffset = paletteOffset + paletteSize * 4;
    const std::size_t xorRow = RowBytes(width, bitCount);
    const std::size_t andOffset = xorOffset + xorRow * std::size_t(height);
    const std::size_t andRow = RowBytes(width, 1);
    reader.Read(andOffset + andRow * std::size_t(height) - 1, 1);

    Surface image(width, height, 0);
    for (int y = 0; y < height; ++y) {
        // Bitmaps are stored bottom row first.
        const std::size_t xorLine = xorOffset + xorRow * std::size_t(height - 1 - y);
        const std::size_t andLine = andOffset + andRow * std::size_t(height - 1 - y);
        Surface::Pixel* line = image.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            std::uint32_t colour = 0;
            if (bitCount <= 8) {
                std::size_t bit = std::size_t(x) * std::size_t(bitCount);
                std::uint8_t packed = reader.Byte(xorLine + bit / 8);
                std::size_t index = (packed >> (8 - bitCount - int(bit % 8))) & ((1u << bitCount) - 1);
                colour = reader.Read(paletteOffset + index * 4, 4) & 0xFFFFFF;
            } else {
                colour = reader.Read(xorLine + std::size_t(x) * std::size_t(bitCount / 8), bitCount / 8);
            }
            bool transparent = (reader.Byte(andLine + std::size_t(x) / 8) >> (7 - x % 8)) & 1;
            std::uint32_t alpha = bitCount == 32 ? colour >> 24 : (transparent ? 0 : 0xFF);
            line[x] = alpha << 24 | (colour & 0xFFFFFF);
        }
    }
    m_data = std::move(bytes);
    m_image = std::move(image);
}

}
