#include "toolkit/Surface.h"

namespace toolkit {

namespace {
// Past this many separate rectangles a present is cheaper as one bounding box.
constexpr std::size_t MaxDirtyRects = 16;
}

Surface::Surface(int width, int height, Pixel fill)
    : m_width(std::max(width, 0))
    , m_height(std::max(height, 0))
    , m_pixels(std::size_t(m_width) * std::size_t(m_height), fill)
{
}

void Surface::SetPixel(int x, int y, Pixel value)
{
    if (!Bounds().Contains(x, y))
        return;
    ScanLine(y)[x] = value;
    AddDirtyPixel(x, y);
}

Surface::Pixel Surface::PixelAt(int x, int y) const
{
    return Bounds().Contains(x, y) ? ScanLine(y)[x] : 0;
}

void Surface::FillRect(const Rect& rect, Pixel value)
{
    Rect clipped = rect.Intersected(Bounds());
    for (int y = clipped.Top; y < clipped.Bottom; ++y)
        std::fill(ScanLine(y) + clipped.Left, ScanLine(y) + clipped.Right, value);
    MarkDirty(clipped);
}

void Surface::MarkDirty(const Rect& rect)
{
    Rect clipped = rect.Intersected(Bounds());
    if (clipped.Empty())
        return;
    for (const Rect& existing : m_dirty) {
        if (existing.Contains(clipped))
            return;
    }
    m_dirty.push_back(clipped);
    if (m_dirty.size() > MaxDirtyRects) {
        Rect bounding;
        for (const Rect& dirty : m_dirty)
            bounding = bounding.United(dirty);
        m_dirty.assign(1, bounding);
    }
}

void Surface::AddDirtyPixel(int x, int y)
{
    for (Rect& existing : m_dirty) {
        if (existing.Contains(x, y))
            return;
        // Grow a rectangle only when the pixel extends it without covering
        // anything else: a line of border noise stays a line.
        if (existing.Height() == 1 && y == existing.Top) {
            if (x == existing.Right) {
                ++existing.Right;
                return;
            }
            if (x == existing.Left - 1) {
                --existing.Left;
                return;
            }
        }
        if (existing.Width() == 1 && x == existing.Left) {
            if (y == existing.Bottom) {
                ++existing.Bottom;
                return;
            }
            if (y == existing.Top - 1) {
                --existing.Top;
                return;
            }
        }
    }
    MarkDirty({ x, y, x + 1, y + 1 });
}

std::vector<Rect> Surface::TakeDirty()
{
    std::vector<Rect> taken;
    taken.swap(m_dirty);
    return taken;
}

}
