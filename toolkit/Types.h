// Colours, points and rectangles shared by the toolkit and the program.
// Rectangles include their left and top edges and exclude right and bottom.
#pragma once

#include <algorithm>
#include <cstdint>

namespace toolkit {

// $00BBGGRR: red in the lowest byte, then green, then blue.
using TColor = std::uint32_t;

inline constexpr TColor clWhite = 0x00FFFFFF;
inline constexpr TColor clBlack = 0x00000000;
// The system's window text colour; only ever stored, never drawn with.
inline constexpr TColor clWindowText = 0x80000008;

constexpr TColor RGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return TColor(red) | TColor(green) << 8 | TColor(blue) << 16;
}
constexpr std::uint8_t GetRValue(TColor color) { return color & 0xFF; }
constexpr std::uint8_t GetGValue(TColor color) { return (color >> 8) & 0xFF; }
constexpr std::uint8_t GetBValue(TColor color) { return (color >> 16) & 0xFF; }

struct Rect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr bool Empty() const { return Right <= Left || Bottom <= Top; }
    constexpr bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    constexpr bool Contains(const Rect& other) const
    {
        return other.Left >= Left && other.Right <= Right && other.Top >= Top && other.Bottom <= Bottom;
    }
    constexpr Rect Intersected(const Rect& other) const
    {
        Rect result { std::max(Left, other.Left), std::max(Top, other.Top),
            std::min(Right, other.Right), std::min(Bottom, other.Bottom) };
        return result.Empty() ? Rect {} : result;
    }
    constexpr Rect United(const Rect& other) const
    {
        if (Empty())
            return other;
        if (other.Empty())
            return *this;
        return { std::min(Left, other.Left), std::min(Top, other.Top),
            std::max(Right, other.Right), std::max(Bottom, other.Bottom) };
    }
    constexpr bool operator==(const Rect&) const = default;
};

}
