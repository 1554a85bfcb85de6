#include "JpegFixtures.h"

#include "media/JpegImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

using namespace media;
using toolkit::Bytes;
using toolkit::Rect;
using toolkit::Surface;

namespace {

constexpr Surface::Pixel Sentinel = 0xFF123456;

// Detail everywhere, so a pixel depends on its neighbours' coefficients.
Rgb Texture(int x, int y, int, int)
{
    return { (x * 7 + (x * y >> 5)) & 255, (y * 5 + (x ^ y)) & 255, ((x + y) * 3 + (x * x >> 7)) & 255 };
}

Rgb Checkerboard(int x, int y, int, int) { return (x + y) % 2 ? Rgb { 255, 255, 255 } : Rgb { 0, 0, 0 }; }

// Rewrites the frame header's size, leaving the data as it was.
Bytes WithFrameSize(Bytes bytes, int width, int height)
{
    for (std::size_t at = 2; at + 9 < bytes.size(); ++at) {
        if (bytes[at] == 0xFF && (bytes[at + 1] == 0xC0 || bytes[at + 1] == 0xC2)) {
            bytes[at + 5] = std::uint8_t(height >> 8);
            bytes[at + 6] = std::uint8_t(height);
            bytes[at + 7] = std::uint8_t(width >> 8);
            bytes[at + 8] = std::uint8_t(width);
            return bytes;
        }
    }
    ADD_FAILURE() << "no frame header";
    return bytes;
}

// Keeps the tables and frame header, ending where the first scan's header starts.
Bytes CutBeforeScan(Bytes bytes)
{
    for (std::size_t at = 2; at + 1 < bytes.size(); ++at) {
        if (bytes[at] == 0xFF && bytes[at + 1] == 0xDA)
            return Cut(bytes, at);
    }
    ADD_FAILURE() << "no scan";
    return bytes;
}

// Gives the second scan a spectral range past the 64 coefficients, which
// libjpeg refuses outright.
Bytes WithBadSecondScan(Bytes bytes)
{
    int scans = 0;
    for (std::size_t at = 2; at + 4 < bytes.size(); ++at) {
        if (bytes[at] == 0xFF && bytes[at + 1] == 0xDA && ++scans == 2) {
            const std::size_t components = bytes[at + 4];
            bytes[at + 5 + 2 * components + 1] = 64;
            return bytes;
        }
    }
    ADD_FAILURE() << "no second scan";
    return bytes;
}

Surface DrawOn(TJPEGImage& image, int width, int height, const Rect& clip)
{
    Surface surface(width, height, Sentinel);
    image.Draw(surface, 0, 0, clip);
    return surface;
}

TJPEGImage Loaded(const Bytes& bytes)
{
    TJPEGImage image;
    image.LoadFromBytes(bytes);
    return image;
}

struct Probe {
    int X, Y;
    Rgb Expected;
    bool Untouched = false;
};

Probe Outside(int x, int y) { return { x, y, {}, true }; }

struct LoadCase {
    std::string Name;
    std::function<Bytes()> Make;
    int Error = 0;
    int Width = 0, Height = 0;
    bool Grayscale = false, Progressive = false;
    std::vector<Probe> Probes {};
};

std::vector<Probe> QuadrantCentres(int width, int height)
{
    return { { width / 4, height / 4, Red }, { width * 3 / 4, height / 4, Green },
        { width / 4, height * 3 / 4, Blue }, { width * 3 / 4, height * 3 / 4, Grey } };
}

// Luminance of the quadrant colours, as the grey fixture stores them.
std::vector<Probe> GreyQuadrantCentres(int width, int height)
{
    std::vector<Probe> probes = QuadrantCentres(width, height);
    for (Probe& probe : probes) {
        const int light = (probe.Expected.Red * 299 + probe.Expected.Green * 587 + probe.Expected.Blue * 114) / 1000;
        probe.Expected = { light, light, light };
    }
    return probes;
}

template <typename... More>
std::vector<Probe> Join(std::vector<Probe> probes, More... more)
{
    (probes.push_back(more), ...);
    return probes;
}

std::vector<LoadCase> LoadCases()
{
    const Coding square { .Width = 320, .Height = 320 };
    return {
        { "Empty", [] { return Bytes {}; }, 0, 0, 0, false, false, { Outside(0, 0) } },
        { "Png", [] { return Png; }, 53 },
        { "CutAfterStartOfImage", [=] { return Cut(Jpeg(square), 2); }, 51 },
        { "CutBeforeScan", [=] { return CutBeforeScan(Jpeg(square)); }, 59 },
        { "CutMidScan", [=] { return CutMidScan(square); }, 0, 320, 320, false, false, { { 80, 80, Red } } },
        { "Square", [=] { return Jpeg(square); }, 0, 320, 320, false, false, QuadrantCentres(320, 320) },
        { "Wide", [] { return Jpeg({ .Width = 400, .Height = 300 }); }, 0, 400, 300, false, false,
            Join(QuadrantCentres(320, 300), Probe { 319, 299, Grey }, Outside(0, 300), Outside(319, 319)) },
        { "OnePixel", [] { return Jpeg({ .Width = 1, .Height = 1 }); }, 0, 1, 1, false, false,
            { { 0, 0, Red }, Outside(1, 0), Outside(0, 1) } },
        { "Greyscale", [] { return Jpeg({ .Kind = Samples::Grey }); }, 0, 32, 32, true, false,
            Join(GreyQuadrantCentres(32, 32), Outside(32, 0)) },
        { "Progressive", [] { return Jpeg({ .Progressive = true }); }, 0, 32, 32, false, true, QuadrantCentres(32, 32) },
        { "ProgressiveGreyscale", [] { return Jpeg({ .Kind = Samples::Grey, .Progressive = true }); }, 0, 32, 32, true,
            true, GreyQuadrantCentres(32, 32) },
        { "Arithmetic", [] { return Jpeg({ .Arithmetic = true }); }, 0, 32, 32, false, false, QuadrantCentres(32, 32) },
        // The first scan holds every block's average colour: enough for solid quadrants.
        { "ProgressiveWithBadLaterScan", [] { return WithBadSecondScan(Jpeg({ .Progressive = true })); }, 0, 32, 32,
            false, true, QuadrantCentres(32, 32) },
        { "ArithmeticProgressive", [] { return Jpeg({ .Progressive = true, .Arithmetic = true }); }, 0, 32, 32, false,
            true, QuadrantCentres(32, 32) },
        { "Cmyk", [] { return Jpeg({ .Kind = Samples::Inks }); }, 0, 32, 32, false, false, QuadrantCentres(32, 32) },
        { "Ycck", [] { return Jpeg({ .Kind = Samples::InksAsYcck }); }, 0, 32, 32, false, false,
            QuadrantCentres(32, 32) },
        // The data holds one 16 × 16 MCU; the rest of the frame has nothing behind it.
        { "AbsurdFrame", [] { return WithFrameSize(Jpeg({ .Width = 16, .Height = 16 }), 65500, 65500); }, 0, 65500,
            65500, false, false, { { 4, 4, Red } } },
        // Whole, its coefficients would take 800 MB; the top rows alone take 14 MB.
        { "HugeProgressiveFrame",
            [] { return WithFrameSize(Jpeg({ .Width = 16, .Height = 16, .Kind = Samples::Grey, .Progressive = true }),
                     20000, 20000); },
            0, 20000, 20000, true, true, { GreyQuadrantCentres(16, 16)[0] } },
        { "AbsurdProgressiveFrame",
            [] { return WithFrameSize(Jpeg({ .Width = 16, .Height = 16, .Progressive = true }), 65500, 65500); }, 0,
            65500, 65500, false, true, {} },
    };
}

class LoadAndDraw : public testing::TestWithParam<LoadCase> { };

TEST_P(LoadAndDraw, GivesSizeOrLibjpegErrorAndTellingPixels)
{
    const LoadCase& expected = GetParam();
    TJPEGImage image;
    if (expected.Error != 0) {
        try {
            image.LoadFromBytes(expected.Make());
            FAIL() << "loaded";
        } catch (const EJPEG& error) {
            EXPECT_EQ(error.MessageNumber(), expected.Error);
            EXPECT_EQ(std::string(error.what()), "JPEG エラー #" + std::to_string(expected.Error));
        }
        return;
    }

    image.LoadFromBytes(expected.Make());
    EXPECT_EQ(image.Width(), expected.Width);
    EXPECT_EQ(image.Height(), expected.Height);
    EXPECT_EQ(image.Grayscale(), expected.Grayscale);
    EXPECT_EQ(image.ProgressiveEncoding(), expected.Progressive);

    Surface surface = DrawOn(image, 320, 320, { 0, 0, 320, 320 });
    EXPECT_TRUE((Rect { 0, 0, 320, 320 }).Contains(image.DecodedArea()));
    for (const Probe& probe : expected.Probes) {
        const Surface::Pixel pixel = surface.PixelAt(probe.X, probe.Y);
        SCOPED_TRACE(testing::Message() << "at " << probe.X << "," << probe.Y << " pixel " << std::hex << pixel);
        if (probe.Untouched) {
            EXPECT_EQ(pixel, Sentinel);
            continue;
        }
        EXPECT_EQ(pixel >> 24, 0xFFu);
        EXPECT_NEAR(int(pixel >> 16 & 0xFF), probe.Expected.Red, 12);
        EXPECT_NEAR(int(pixel >> 8 & 0xFF), probe.Expected.Green, 12);
        EXPECT_NEAR(int(pixel & 0xFF), probe.Expected.Blue, 12);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LoadAndDraw, testing::ValuesIn(LoadCases()),
    [](const testing::TestParamInfo<LoadCase>& info) { return info.param.Name; });

Bytes WithCount(std::uint32_t count, const Bytes& content)
{
    Bytes data(4 + content.size());
    for (int i = 0; i < 4; ++i)
        data[std::size_t(i)] = std::uint8_t(count >> 8 * i);
    std::copy(content.begin(), content.end(), data.begin() + 4);
    return data;
}

TEST(JpegImageTest, ReadDataTakesCountedBytesAndRefusesToReadPastTheData)
{
    const Bytes jpeg = Jpeg({ .Width = 8, .Height = 8 });
    Bytes trailed = WithCount(std::uint32_t(jpeg.size()), jpeg);
    trailed.push_back(0x2A);

    TJPEGImage image;
    EXPECT_EQ(image.ReadData(trailed), 4 + jpeg.size());
    EXPECT_EQ(image.Width(), 8);
    EXPECT_EQ(image.ReadData(WithCount(0, {})), 4u);
    EXPECT_EQ(image.Width(), 0);

    const struct {
        const char* Name;
        Bytes Data;
    } bad[] = {
        { "count longer than the data", WithCount(std::uint32_t(jpeg.size() + 1), jpeg) },
        { "count beyond any size", WithCount(0xFFFFFFFF, jpeg) },
        { "count cut short", { 0x10, 0x00 } },
    };
    for (const auto& data : bad)
        EXPECT_THROW(image.ReadData(data.Data), toolkit::EReadError) << data.Name;
}

TEST(JpegImageTest, BrokenFileDecodesOnceAcrossRepaints)
{
    TJPEGImage image = Loaded(CutMidScan({ .Width = 320, .Height = 320, .Content = Texture }));
    const Surface first = DrawOn(image, 320, 320, { 0, 0, 320, 320 });
    const Surface second = DrawOn(image, 320, 320, { 0, 0, 320, 320 });
    const Surface part = DrawOn(image, 320, 320, { 10, 10, 20, 20 });
    EXPECT_EQ(image.DecodeCount(), 1);
    EXPECT_EQ(std::vector(first.Bits(), first.Bits() + 320 * 320), std::vector(second.Bits(), second.Bits() + 320 * 320));
    EXPECT_EQ(part.PixelAt(15, 15), first.PixelAt(15, 15));
    EXPECT_EQ(part.PixelAt(5, 5), Sentinel);
}

struct RegionCase {
    std::string Name;
    Coding Picture;
    std::size_t CutAt = 0; // Keeps only this many bytes when not 0.
    Rect Clip;
};

class RegionDraw : public testing::TestWithParam<RegionCase> { };

// Only the clip is decoded, and every pixel in it is what a whole decode gives.
TEST_P(RegionDraw, DecodesOnlyTheClipYetMatchesAWholeDecode)
{
    const RegionCase& region = GetParam();
    Bytes bytes = Jpeg(region.Picture);
    if (region.CutAt != 0)
        bytes.resize(region.CutAt);
    const int width = region.Picture.Width, height = region.Picture.Height;

    TJPEGImage whole = Loaded(bytes);
    const Surface reference = DrawOn(whole, width, height, { 0, 0, width, height });
    TJPEGImage part = Loaded(bytes);
    const Surface drawn = DrawOn(part, width, height, region.Clip);

    EXPECT_EQ(part.DecodedArea(), region.Clip);
    int mismatches = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Surface::Pixel expected = region.Clip.Contains(x, y) ? reference.PixelAt(x, y) : Sentinel;
            if (drawn.PixelAt(x, y) != expected && mismatches++ < 5)
                ADD_FAILURE() << "at " << x << "," << y << std::hex << ": " << drawn.PixelAt(x, y) << " not " << expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Codings, RegionDraw,
    testing::Values(
        RegionCase { "TopLeftOfLarge", { .Width = 1600, .Height = 1200, .Content = Texture }, 0, { 0, 0, 320, 320 } },
        RegionCase { "Middle", { .Width = 600, .Height = 400, .Content = Texture }, 0, { 253, 171, 421, 293 } },
        RegionCase {
            "ProgressiveMiddle", { .Width = 600, .Height = 400, .Progressive = true, .Content = Texture }, 0,
            { 253, 171, 421, 293 } },
        // Cut in its sixth scan of ten, the file lacks refinements: libjpeg smooths blocks with their neighbours.
        RegionCase { "ProgressiveCutShort",
            { .Width = 600, .Height = 400, .Progressive = true, .Content = Texture }, 100000, { 253, 171, 421, 293 } },
        RegionCase { "ProgressiveWithRestarts",
            { .Width = 600, .Height = 400, .Progressive = true, .RestartRows = 1, .Content = Texture }, 0,
            { 253, 171, 421, 293 } },
        RegionCase { "ArithmeticProgressiveTop",
            { .Width = 600, .Height = 400, .Progressive = true, .Arithmetic = true, .Content = Texture }, 0,
            { 0, 0, 320, 200 } },
        RegionCase { "GreyscaleMiddle", { .Width = 600, .Height = 400, .Kind = Samples::Grey, .Content = Texture }, 0,
            { 253, 171, 421, 293 } }),
    [](const testing::TestParamInfo<RegionCase>& info) { return info.param.Name; });

// Eleven scans for each of 63 coefficient bands: the scan limit keeps only
// the lowest bands, which cannot show a one-pixel checkerboard.
TEST(JpegImageTest, ScansBeyondTheLimitAreLeftUnread)
{
    Coding coding { .Width = 64, .Height = 64, .Kind = Samples::Grey, .Content = Checkerboard };
    coding.Script.push_back({ 1, { 0 }, 0, 0, 0, 0 });
    for (int band = 1; band < 64; ++band) {
        coding.Script.push_back({ 1, { 0 }, band, band, 0, 10 });
        for (int bit = 10; bit > 0; --bit)
            coding.Script.push_back({ 1, { 0 }, band, band, bit, bit - 1 });
    }
    TJPEGImage image = Loaded(Jpeg(coding));
    ASSERT_TRUE(image.ProgressiveEncoding());
    const Surface drawn = DrawOn(image, 64, 64, { 0, 0, 64, 64 });
    for (int x = 30; x < 34; ++x)
        EXPECT_NEAR(int(drawn.PixelAt(x, 32) & 0xFF), 128, 40) << x;
}

TEST(JpegImageTest, RegisteredForJpgAndJpeg)
{
    RegisterJpegImage();
    RegisterJpegImage();
    for (const char* name : { "[]/sketch5421365.jpg", "photo.JPEG" })
        EXPECT_NE(dynamic_cast<TJPEGImage*>(toolkit::CreateGraphicByFileName(name).get()), nullptr) << name;
    EXPECT_NE(dynamic_cast<TJPEGImage*>(toolkit::CreateGraphicByClassName("TJPEGImage").get()), nullptr);
}

}
