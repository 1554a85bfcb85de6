#include "toolkit/Surface.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace toolkit;

namespace toolkit {
void PrintTo(const Rect& rect, std::ostream* out)
{
    *out << "{" << rect.Left << "," << rect.Top << "," << rect.Right << "," << rect.Bottom << "}";
}
}

TEST(SurfaceTest, BorderNoiseOrderCollapsesIntoFourStrips)
{
    Surface surface(320, 320);
    for (int i = 0; i < 320; ++i) {
        surface.SetPixel(i, 0, 1);
        surface.SetPixel(i, 319, 1);
        surface.SetPixel(0, i, 1);
        surface.SetPixel(319, i, 1);
    }
    std::vector<Rect> dirty = surface.TakeDirty();
    std::vector<Rect> expected { { 0, 0, 320, 1 }, { 0, 319, 320, 320 }, { 319, 0, 320, 319 }, { 0, 1, 1, 319 } };
    EXPECT_EQ(dirty, expected);
    EXPECT_FALSE(surface.HasDirty());
}

TEST(SurfaceTest, ScatteredPixelsStaySeparateUntilTooManyThenMerge)
{
    Surface surface(320, 320);
    surface.SetPixel(10, 10, 1);
    surface.SetPixel(200, 50, 1);
    surface.SetPixel(10, 10, 2);
    EXPECT_EQ(surface.TakeDirty(), (std::vector<Rect> { { 10, 10, 11, 11 }, { 200, 50, 201, 51 } }));

    for (int i = 0; i < 40; ++i)
        surface.SetPixel(i * 7, (i * 13) % 300, 1);
    std::vector<Rect> dirty = surface.TakeDirty();
    ASSERT_LE(dirty.size(), 17u);
    for (int i = 0; i < 40; ++i) {
        bool covered = false;
        for (const Rect& rect : dirty)
            covered = covered || rect.Contains(i * 7, (i * 13) % 300);
        EXPECT_TRUE(covered) << i;
    }
}
