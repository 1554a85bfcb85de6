// A pixel buffer: the window's client surface, an icon, a decoded picture.
// It remembers which rectangles changed since the last TakeDirty, so a
// backend presents only those.
#pragma once

#include "toolkit/Types.h"

#include <cstdint>
#include <vector>

namespace toolkit {

class Surface {
public:
    // Pixels are 0xAARRGGBB, the layout most window systems blit directly.
    using Pixel = std::uint32_t;

    Surface() = default;
    Surface(int width, int height, Pixel fill = 0xFF000000);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    Rect Bounds() const { return { 0, 0, m_width, m_height }; }

    const Pixel* Bits() const { return m_pixels.data(); }
    Pixel* ScanLine(int y) { return m_pixels.data() + std::size_t(y) * std::size_t(m_width); }
    const Pixel* ScanLine(int y) const { return m_pixels.data() + std::size_t(y) * std::size_t(m_width); }

    // Writes outside the surface are clipped away.
    void SetPixel(int x, int y, Pixel value);
    Pixel PixelAt(int x, int y) const;
    void FillRect(const Rect& rect, Pixel value);
    // Marks a rectangle changed after writing through ScanLine.
    void MarkDirty(const Rect& rect);

    // The changed rectangles since the last call, clipped; a long run of
    // single pixels along a line collapses into one rectangle.
    std::vector<Rect> TakeDirty();
    bool HasDirty() const { return !m_dirty.empty(); }

    static constexpr Pixel FromColor(TColor color)
    {
        return 0xFF000000u | Pixel(GetRValue(color)) << 16 | Pixel(GetGValue(color)) << 8 | GetBValue(color);
    }
    static constexpr TColor ToColor(Pixel pixel)
    {
        return RGB(std::uint8_t(pixel >> 16), std::uint8_t(pixel >> 8), std::uint8_t(pixel));
    }

private:
    void AddDirtyPixel(int x, int y);

    int m_width = 0;
    int m_height = 0;
    std::vector<Pixel> m_pixels;
    std::vector<Rect> m_dirty;
};

}
