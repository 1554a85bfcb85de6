#include "toolkit/Graphics.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace toolkit;

namespace {

constexpr TColor Ink = RGB(10, 20, 30);

// Renders a surface as rows of '#' (ink) and '.' (anything else).
std::vector<std::string> Picture(const Surface& surface, const Rect& area)
{
    std::vector<std::string> rows;
    for (int y = area.Top; y < area.Bottom; ++y) {
        std::string row;
        for (int x = area.Left; x < area.Right; ++x)
            row += Surface::ToColor(surface.PixelAt(x, y)) == Ink ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

struct EllipseCase {
    const char* Name;
    Rect Box;
    std::vector<std::string> Expected; // the 8x8 surface afterwards
};

void PrintTo(const EllipseCase& ellipse, std::ostream* out) { *out << ellipse.Name; }

class EllipseTest : public testing::TestWithParam<EllipseCase> { };

TEST_P(EllipseTest, FillsThePixelsInsideTheBoxOnly)
{
    Surface surface(8, 8, 0xFF000000);
    TCanvas canvas(surface);
    canvas.Pen.Color = Ink;
    canvas.Brush.Color = Ink;
    const Rect& box = GetParam().Box;
    canvas.Ellipse(box.Left, box.Top, box.Right, box.Bottom);
    EXPECT_EQ(Picture(surface, surface.Bounds()), GetParam().Expected);
}

const std::vector<std::string> Blank(8, "........");

INSTANTIATE_TEST_SUITE_P(Boxes, EllipseTest,
    testing::Values(
        EllipseCase { "EmptyBox", { 4, 4, 4, 4 }, Blank },
        EllipseCase { "ZeroWidth", { 2, 2, 2, 6 }, Blank },
        EllipseCase { "OnePixel", { 3, 3, 4, 4 },
            { "........", "........", "........", "...#....", "........", "........", "........", "........" } },
        EllipseCase { "RadiusOne", { 3, 3, 5, 5 },
            { "........", "........", "........", "...##...", "...##...", "........", "........", "........" } },
        EllipseCase { "RadiusTwo", { 2, 2, 6, 6 },
            { "........", "........", "...##...", "..####..", "..####..", "...##...", "........", "........" } },
        EllipseCase { "RadiusThree", { 1, 1, 7, 7 },
            { "........", "..####..", ".######.", ".######.", ".######.", ".######.", "..####..", "........" } },
        EllipseCase { "ReversedCorners", { 5, 5, 3, 3 },
            { "........", "........", "........", "...##...", "...##...", "........", "........", "........" } },
        EllipseCase { "ClippedAtTheEdges", { -4, -4, 4, 4 },
            { "####....", "####....", "###.....", "##......", "........", "........", "........", "........" } },
        EllipseCase { "WideBox", { 0, 3, 8, 5 },
            { "........", "........", "........", ".######.", ".######.", "........", "........", "........" } }),
    [](const testing::TestParamInfo<EllipseCase>& info) { return info.param.Name; });

TEST(CanvasTest, DiscOfRadiusRCoversItsLastPixelButNotTheNext)
{
    for (int r : { 1, 2, 5, 25, 52, 159, 160 }) {
        Surface surface(320, 320, 0xFF000000);
        TCanvas canvas(surface);
        canvas.Pen.Color = Ink;
        canvas.Brush.Color = Ink;
        canvas.Ellipse(160 - r, 160 - r, 160 + r, 160 + r);
        for (auto [x, y] : { std::pair { 160 + r - 1, 160 }, std::pair { 160 - r, 160 }, std::pair { 160, 160 - r },
                 std::pair { 160, 160 + r - 1 } }) {
            EXPECT_EQ(canvas.Pixel(x, y), Ink) << "r=" << r << " at " << x << "," << y;
        }
        if (160 + r < 320) {
            EXPECT_NE(canvas.Pixel(160 + r, 160), Ink) << "r=" << r;
            EXPECT_NE(canvas.Pixel(160, 160 + r), Ink) << "r=" << r;
        }
        if (160 - r - 1 >= 0) {
            EXPECT_NE(canvas.Pixel(160 - r - 1, 160), Ink) << "r=" << r;
        }
    }
}

TEST(CanvasTest, HugeDiscsCoverTheCornersOnlyFromRadius256)
{
    for (auto [r, covered] : { std::pair { 217, false }, std::pair { 256, true }, std::pair { 432, true },
             std::pair { 100000, true } }) {
        Surface surface(320, 320, 0xFF000000);
        TCanvas canvas(surface);
        canvas.Pen.Color = Ink;
        canvas.Brush.Color = Ink;
        canvas.Ellipse(160 - r, 160 - r, 160 + r, 160 + r);
        EXPECT_EQ(canvas.Pixel(0, 0) == Ink, covered) << "r=" << r;
        EXPECT_EQ(canvas.Pixel(319, 319) == Ink, covered) << "r=" << r;
        EXPECT_EQ(canvas.Pixel(160, 0), Ink) << "r=" << r;
    }
}

TEST(CanvasTest, PenOutlinesInsideTheBoxAndBrushFillsTheRest)
{
    Surface surface(8, 8, 0xFF000000);
    TCanvas canvas(surface);
    canvas.Pen.Color = Ink;
    canvas.Brush.Color = RGB(1, 2, 3);
    canvas.Ellipse(0, 0, 8, 8);
    EXPECT_EQ(Picture(surface, surface.Bounds()),
        (std::vector<std::string> { "..####..", ".#....#.", "#......#", "#......#", "#......#", "#......#",
            ".#....#.", "..####.." }));
    EXPECT_EQ(canvas.Pixel(3, 3), RGB(1, 2, 3));
}

TEST(CanvasTest, PixelsKeepTheirColourAndIgnoreWritesOutside)
{
    Surface surface(4, 4, 0xFF000000);
    TCanvas canvas(surface);
    canvas.SetPixel(1, 2, 0x00CCBBAA); // red AA, green BB, blue CC
    EXPECT_EQ(canvas.Pixel(1, 2), 0x00CCBBAAu);
    EXPECT_EQ(surface.PixelAt(1, 2), 0xFFAABBCCu);
    for (auto [x, y] : { std::pair { -1, 0 }, std::pair { 4, 0 }, std::pair { 0, -1 }, std::pair { 0, 4 } }) {
        canvas.SetPixel(x, y, Ink);
    }
    EXPECT_EQ(Picture(surface, { -1, -1, 5, 5 }),
        (std::vector<std::string> { "......", "......", "......", "......", "......", "......" }));
}

}
