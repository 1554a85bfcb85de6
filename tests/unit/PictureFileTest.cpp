#include "Form1Fixture.h"
#include "JpegFixtures.h"

#include "media/JpegImage.h"

#include <fstream>
#include <iterator>
#include <ostream>

using namespace toolkit;

namespace {

constexpr int ClientSize = 320;
const std::string OpenError = "ファイル []\\sketch5421365.jpg は開けません.";
const std::string TuneOpened = "open []\\;;;;;.mid type sequencer alias midifile";
constexpr Rgb White { 255, 255, 255 };

enum class Place { NoFolder, EmptyFolder, FolderInItsPlace, File };

struct Size {
    int Width, Height;
    bool operator==(const Size&) const = default;
};

struct Probe {
    int X, Y;
    Rgb Expected;
};

struct PictureCase {
    std::string Name;
    Place Where;
    Bytes File;
    // The error box's text; none is expected when empty.
    std::string Error;
    Size Picture;
    Size Image;
    // Colours known from how the file was made, beyond matching its decode.
    std::vector<Probe> Probes {};
};

void PrintTo(const PictureCase& picture, std::ostream* out) { *out << picture.Name; }

std::vector<Probe> QuadrantCentres(int width, int height)
{
    return { { width / 4, height / 4, Red }, { width * 3 / 4, height / 4, Green },
        { width / 4, height * 3 / 4, Blue }, { width * 3 / 4, height * 3 / 4, Grey } };
}

template <typename... More>
std::vector<Probe> Join(std::vector<Probe> probes, More... more)
{
    (probes.push_back(more), ...);
    return probes;
}

std::vector<PictureCase> Cases()
{
    const Size builtIn { ClientSize, ClientSize };
    const Coding square { .Width = ClientSize, .Height = ClientSize };
    return {
        { "NoFolder", Place::NoFolder, {}, OpenError, builtIn, builtIn },
        { "NoFile", Place::EmptyFolder, {}, OpenError, builtIn, builtIn },
        { "FolderInItsPlace", Place::FolderInItsPlace, {}, OpenError, builtIn, builtIn },
        { "PngRenamed", Place::File, Png, "JPEG エラー #53.", builtIn, builtIn },
        { "CutAfterStartOfImage", Place::File, Cut(Jpeg(square), 2), "JPEG エラー #51.", builtIn, builtIn },
        // Loads as 0 × 0: Image1 keeps its size and shows the white background.
        { "EmptyFile", Place::File, {}, "", { 0, 0 }, builtIn, { { 160, 160, White }, { 1, 1, White } } },
        { "CutMidScan", Place::File, CutMidScan(square), "", builtIn, builtIn, { { 80, 80, Red } } },
        { "Square", Place::File, Jpeg(square), "", builtIn, builtIn,
            Join(QuadrantCentres(320, 320), Probe { 319, 319, Grey }) },
        // Unscaled: the quadrants meet at x 200, so x 190 is still red and the
        // last visible column is green; a white band lies below row 300.
        { "Wide", Place::File, Jpeg({ .Width = 400, .Height = 300 }), "", { 400, 300 }, { 400, 300 },
            { { 190, 75, Red }, { 210, 75, Green }, { 319, 75, Green }, { 100, 225, Blue }, { 319, 299, Grey },
                { 160, 300, White }, { 319, 319, White } } },
        { "OnePixel", Place::File, Jpeg({ .Width = 1, .Height = 1 }), "", { 1, 1 }, { 1, 1 },
            { { 0, 0, Red }, { 1, 0, White }, { 0, 1, White } } },
        { "Greyscale", Place::File, Jpeg({ .Kind = Samples::Grey }), "", { 32, 32 }, { 32, 32 },
            { { 8, 8, { 76, 76, 76 } }, { 24, 24, Grey }, { 32, 8, White } } },
        { "Progressive", Place::File, Jpeg({ .Progressive = true }), "", { 32, 32 }, { 32, 32 },
            Join(QuadrantCentres(32, 32), Probe { 8, 32, White }) },
        { "Cmyk", Place::File, Jpeg({ .Kind = Samples::Inks }), "", { 32, 32 }, { 32, 32 },
            Join(QuadrantCentres(32, 32), Probe { 32, 32, White }) },
    };
}

Bytes BuiltInPicture()
{
    std::ifstream file(WHITEOUT_SOURCE_DIR "/resources/builtin-sketch.jpg", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// The client area as it should look: white, with the picture drawn unscaled
// at the top-left corner and cut at the client's edges.
Surface ClientShowing(const Bytes& picture)
{
    Surface client(ClientSize, ClientSize, Surface::FromColor(clWhite));
    media::TJPEGImage image;
    image.LoadFromBytes(picture);
    image.Draw(client, 0, 0, client.Bounds());
    return client;
}

testing::AssertionResult SamePixels(const Surface& shown, const Surface& expected)
{
    if (shown.Width() != expected.Width() || shown.Height() != expected.Height())
        return testing::AssertionFailure() << "shown " << shown.Width() << "x" << shown.Height();
    for (int y = 0; y < expected.Height(); ++y) {
        for (int x = 0; x < expected.Width(); ++x) {
            if (shown.PixelAt(x, y) != expected.PixelAt(x, y))
                return testing::AssertionFailure() << "first difference at " << x << "," << y << std::hex << ": "
                                                   << shown.PixelAt(x, y) << " not " << expected.PixelAt(x, y);
        }
    }
    return testing::AssertionSuccess();
}

// What this process holds open inside the picture's folder.
std::vector<std::string> OpenInside(const std::filesystem::path& folder)
{
    std::vector<std::string> open;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (!error && target.starts_with(folder.string()))
            open.push_back(target);
    }
    return open;
}

class PictureFileTest : public Form1Fixture, public testing::WithParamInterface<PictureCase> {
protected:
    void PlacePicture(const PictureCase& picture)
    {
        if (picture.Where == Place::NoFolder)
            return;
        std::filesystem::create_directory("[]");
        if (picture.Where == Place::FolderInItsPlace)
            std::filesystem::create_directory("[]/sketch5421365.jpg");
        if (picture.Where == Place::File) {
            std::ofstream file("[]/sketch5421365.jpg", std::ios::binary);
            file.write(reinterpret_cast<const char*>(picture.File.data()), std::streamsize(picture.File.size()));
        }
    }
};

TEST_P(PictureFileTest, StartUpShowsThePictureOrReportsItOnceOverTheBuiltIn)
{
    const PictureCase& picture = GetParam();
    PlacePicture(picture);
    const std::filesystem::path folder = std::filesystem::canonical(".") / "[]";
    ASSERT_NO_FATAL_FAILURE(Start());

    if (picture.Error.empty()) {
        EXPECT_TRUE(Backend->ErrorBoxes.empty()) << Backend->ErrorBoxes[0].Message;
        EXPECT_EQ(Form->CircleScale, 1);
        EXPECT_EQ(Form->MidiPath, "[]\\;;;;;.mid");
        EXPECT_EQ(Commands, std::vector<std::string> { TuneOpened });
    } else {
        ASSERT_EQ(Backend->ErrorBoxes.size(), 1u);
        EXPECT_EQ(Backend->ErrorBoxes[0].Caption, "whiteout");
        EXPECT_EQ(Backend->ErrorBoxes[0].Message, picture.Error);
        // The rest of start-up is skipped.
        EXPECT_EQ(Form->CircleScale, 0);
        EXPECT_EQ(Form->MidiPath, "");
        EXPECT_TRUE(Commands.empty());
    }
    EXPECT_EQ(Form->Tick, 0);
    EXPECT_EQ(Form->CircleStep, 0);
    EXPECT_EQ((Size { Form->Image1->Picture.Width(), Form->Image1->Picture.Height() }), picture.Picture);
    EXPECT_EQ((Size { Form->Image1->Width, Form->Image1->Height }), picture.Image);
    EXPECT_EQ((Size { Window->Screen.Width(), Window->Screen.Height() }), (Size { ClientSize, ClientSize }));
    EXPECT_EQ((Size { Form->ClientSurface().Width(), Form->ClientSurface().Height() }),
        (Size { ClientSize, ClientSize }));
    EXPECT_TRUE(Window->Visible);

    const Surface expected = ClientShowing(picture.Error.empty() ? picture.File : BuiltInPicture());
    EXPECT_TRUE(SamePixels(Window->Screen, expected));
    for (const Probe& probe : picture.Probes) {
        const TColor shown = ScreenPixel(probe.X, probe.Y);
        SCOPED_TRACE(testing::Message() << "at " << probe.X << "," << probe.Y << " colour " << std::hex << shown);
        EXPECT_NEAR(GetRValue(shown), probe.Expected.Red, 12);
        EXPECT_NEAR(GetGValue(shown), probe.Expected.Green, 12);
        EXPECT_NEAR(GetBValue(shown), probe.Expected.Blue, 12);
    }

    // A repaint draws the same again and raises nothing, damaged data or not.
    const std::size_t boxes = Backend->ErrorBoxes.size();
    Window->Expose();
    EXPECT_EQ(Backend->ErrorBoxes.size(), boxes);
    EXPECT_TRUE(SamePixels(Window->Screen, expected));

    EXPECT_EQ(OpenInside(folder), std::vector<std::string> {});
}

INSTANTIATE_TEST_SUITE_P(Files, PictureFileTest, testing::ValuesIn(Cases()),
    [](const testing::TestParamInfo<PictureCase>& info) { return info.param.Name; });

}
