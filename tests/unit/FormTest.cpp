#include "Form1Fixture.h"

#include "toolkit/Random.h"

#include <algorithm>
#include <cmath>

using namespace toolkit;

namespace {

constexpr TColor White = clWhite;
constexpr TColor Dark = RGB(0x20, 0x20, 0x20);

bool Near(TColor a, TColor b)
{
    auto close = [](int x, int y) { return std::abs(x - y) <= 3; };
    return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) && close(GetBValue(a), GetBValue(b));
}

class FormTest : public Form1Fixture { };

TEST_F(FormTest, TheDeclarationBuildsTheFixedBlankWindow)
{
    ProvidePicture("dark-320.jpg");
    Start();
    const WindowOptions& options = Window->Options;
    EXPECT_EQ(options.Left, 263);
    EXPECT_EQ(options.Top, 135);
    EXPECT_EQ(options.ClientWidth, 320);
    EXPECT_EQ(options.ClientHeight, 320);
    EXPECT_TRUE(options.FixedSize);
    EXPECT_TRUE(options.SystemMenu);
    EXPECT_TRUE(options.MinimizeBox);
    EXPECT_FALSE(options.MaximizeBox);
    EXPECT_EQ(Window->Title(), "");
    EXPECT_EQ(Backend->ApplicationTitle, "whiteout");

    for (const Surface* icon : { &Window->IconImage, &Backend->ApplicationIcon }) {
        ASSERT_EQ(icon->Width(), 16);
        ASSERT_EQ(icon->Height(), 16);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(icon->PixelAt(x, y) >> 24, 0u) << x << "," << y;
    }

    EXPECT_EQ(Form->Icon.Data().size(), 198u);
    EXPECT_EQ(Form->Color, clWhite);
    EXPECT_EQ(Form->BorderStyle, TBorderStyle::bsSingle);
    EXPECT_TRUE(Form->AutoSize);
    EXPECT_EQ(Form->Constraints.MinWidth, 328);
    EXPECT_EQ(Form->Constraints.MaxWidth, 328);
    EXPECT_EQ(Form->Constraints.MinHeight, 347);
    EXPECT_EQ(Form->Constraints.MaxHeight, 347);
    EXPECT_EQ(Form->Font.Charset, 128);
    EXPECT_EQ(Form->Font.Color, clWindowText);
    EXPECT_EQ(Form->Font.Height, -12);
    EXPECT_EQ(Form->Font.Name, "ＭＳ Ｐゴシック");
    EXPECT_TRUE(Form->Font.Style.empty());
    EXPECT_EQ(Form->PixelsPerInch, 96);
    EXPECT_EQ(Form->TextHeight, 12);
    EXPECT_FALSE(Form->OldCreateOrder);

    EXPECT_EQ(Form->Components(), (std::vector<TComponent*> { Form->Image1, Form->Timer1, Form->Timer2 }));
    EXPECT_TRUE(Form->Image1->Visible());
    EXPECT_TRUE(Form->Image1->AutoSize);
    EXPECT_EQ(Form->Image1->BoundsRect(), (Rect { 0, 0, 320, 320 }));
    EXPECT_FALSE(Form->Timer1->Enabled());
    EXPECT_EQ(Form->Timer1->Interval(), 2300u);
    EXPECT_EQ(Form->Timer1->Left, 8);
    EXPECT_EQ(Form->Timer1->Top, 8);
    EXPECT_TRUE(Form->Timer2->Enabled());
    EXPECT_EQ(Form->Timer2->Interval(), 60u);
    EXPECT_EQ(Form->Timer2->Left, 8);
    EXPECT_EQ(Form->Timer2->Top, 40);
}

TEST_F(FormTest, StartUpSeedsFromTheTimeOfDayOpensTheTuneAndSetsTheState)
{
    ProvidePicture("dark-320.jpg");
    Start();
    EXPECT_EQ(RandSeed(), std::uint32_t(SeedTime)); // nothing has drawn yet
    EXPECT_TRUE(Backend->ErrorBoxes.empty());
    EXPECT_EQ(Form->Tick, 0);
    EXPECT_EQ(Form->CircleStep, 0);
    EXPECT_EQ(Form->CircleScale, 1);
    EXPECT_EQ(Form->MidiPath, "[]\\;;;;;.mid");
    EXPECT_EQ(Commands, (std::vector<std::string> { "open []\\;;;;;.mid type sequencer alias midifile" }));
    EXPECT_TRUE(Near(ScreenPixel(160, 160), Dark));
}

TEST_F(FormTest, AMissingPictureShowsOneErrorAndLeavesTheBuiltInPictureAndAZeroState)
{
    Start();
    ASSERT_EQ(Backend->ErrorBoxes.size(), 1u);
    EXPECT_EQ(Backend->ErrorBoxes[0].Caption, "whiteout");
    EXPECT_EQ(Backend->ErrorBoxes[0].Message, "ファイル []\\sketch5421365.jpg は開けません.");
    EXPECT_EQ(Form->Tick, 0);
    EXPECT_EQ(Form->CircleStep, 0);
    EXPECT_EQ(Form->CircleScale, 0);
    EXPECT_EQ(Form->MidiPath, "");
    EXPECT_TRUE(Commands.empty());
    EXPECT_EQ(Form->Image1->Picture.Width(), 320);
    EXPECT_EQ(Form->Image1->Picture.Height(), 320);
    EXPECT_TRUE(Window->Visible);
    EXPECT_NE(ScreenPixel(160, 160), White);
}

struct CircleCase {
    int Step, Scale;
    bool Grow;
    int Radius, StepAfter, ScaleAfter;
};

TEST_F(FormTest, DrawCircleCountsItsStepsAndGrowsTheScaleBeforeTheRadius)
{
    ProvidePicture("dark-320.jpg");
    Start();
    for (const CircleCase& c : { CircleCase { 0, 1, false, 1, 1, 1 }, CircleCase { 6, 1, false, 7, 7, 1 },
             CircleCase { 25, 1, true, 52, 26, 2 }, CircleCase { 3, 0, false, 0, 4, 0 },
             CircleCase { 25, 0, true, 26, 26, 1 } }) {
        Form->Repaint();
        Form->CircleStep = c.Step;
        Form->CircleScale = c.Scale;
        Form->DrawCircle(c.Grow);
        EXPECT_EQ(Form->CircleStep, c.StepAfter);
        EXPECT_EQ(Form->CircleScale, c.ScaleAfter);
        const Surface& client = Form->ClientSurface();
        if (c.Radius == 0) {
            EXPECT_TRUE(Near(Surface::ToColor(client.PixelAt(160, 160)), Dark));
            continue;
        }
        EXPECT_EQ(Surface::ToColor(client.PixelAt(160 + c.Radius - 1, 160)), White) << c.Radius;
        EXPECT_TRUE(Near(Surface::ToColor(client.PixelAt(160 + c.Radius, 160)), Dark)) << c.Radius;
        EXPECT_EQ(Surface::ToColor(client.PixelAt(160, 160 - c.Radius)), White) << c.Radius;
        EXPECT_TRUE(Near(Surface::ToColor(client.PixelAt(160, 160 - c.Radius - 1)), Dark)) << c.Radius;
    }
}

TEST_F(FormTest, NoiseWalksAllFourEdgesWithOnePaleColourPerStep)
{
    ProvidePicture("dark-320.jpg");
    Start();
    Randomize(987654321);
    Form->DrawBorderNoise();

    // Replay the source: red, green and blue are drawn in that order, and
    // the four pixels of a step are written top, bottom, left, right.
    Randomize(987654321);
    std::vector<TColor> colours;
    for (int i = 0; i < 320; ++i) {
        int red = 208 + Random(47);
        int green = 208 + Random(47);
        int blue = 208 + Random(47);
        colours.push_back(RGB(std::uint8_t(red), std::uint8_t(green), std::uint8_t(blue)));
    }
    const Surface& client = Form->ClientSurface();
    auto at = [&](int x, int y) { return Surface::ToColor(client.PixelAt(x, y)); };
    for (int i = 1; i < 319; ++i) {
        ASSERT_EQ(at(i, 0), colours[i]) << i;
        ASSERT_EQ(at(i, 319), colours[i]) << i;
        ASSERT_EQ(at(0, i), colours[i]) << i;
        ASSERT_EQ(at(319, i), colours[i]) << i;
    }
    // Corners show the last step that wrote them.
    EXPECT_EQ(at(0, 0), colours[0]);
    EXPECT_EQ(at(319, 0), colours[319]);
    EXPECT_EQ(at(0, 319), colours[319]);
    EXPECT_EQ(at(319, 319), colours[319]);
    EXPECT_TRUE(Near(at(1, 1), Dark));
}

TEST_F(FormTest, NoiseChannelsStayBetween208And254AndTheEdgesShimmerEvery60Ms)
{
    ProvidePicture("dark-320.jpg");
    Start();
    Backend->Advance(59);
    EXPECT_TRUE(Near(ScreenPixel(100, 0), Dark));
    Surface previous;
    int minimum = 255, maximum = 0, unchanged = 0;
    for (int pass = 0; pass < 50; ++pass) {
        Backend->Advance(pass == 0 ? 1 : 60);
        for (int i = 0; i < 320; ++i) {
            for (auto [x, y] : { std::pair { i, 0 }, std::pair { i, 319 }, std::pair { 0, i }, std::pair { 319, i } }) {
                TColor colour = ScreenPixel(x, y);
                for (int channel : { GetRValue(colour), GetGValue(colour), GetBValue(colour) }) {
                    minimum = std::min(minimum, channel);
                    maximum = std::max(maximum, channel);
                }
                if (pass > 0 && Window->Screen.PixelAt(x, y) == previous.PixelAt(x, y))
                    ++unchanged;
            }
        }
        previous = Window->Screen;
    }
    EXPECT_EQ(minimum, 208);
    EXPECT_EQ(maximum, 254);
    EXPECT_LT(unchanged, 49 * 1280 / 100); // nearly every edge pixel changes every pass
    EXPECT_TRUE(Near(ScreenPixel(1, 1), Dark));
    EXPECT_EQ(std::count(Form->Draws.begin(), Form->Draws.end(), "DrawBorderNoise"), 50);
}

TEST_F(FormTest, DotsLandUniformlyOnEveryPositionAndNowhereElse)
{
    ProvidePicture("dark-320.jpg");
    Start();
    Form->Image1->SetVisible(false);
    Form->Color = clBlack;
    Form->Repaint();
    Randomize(20261211);
    auto whitePixels = [&] {
        int count = 0;
        for (int y = 0; y < 320; ++y)
            for (int x = 0; x < 320; ++x)
                count += Form->ClientSurface().PixelAt(x, y) == Surface::FromColor(White);
        return count;
    };
    // As many dots as positions cover about 1 - 1/e of them when uniform.
    for (int i = 0; i < 320 * 320; ++i)
        Form->DrawDot();
    EXPECT_NEAR(whitePixels() / double(320 * 320), 1 - std::exp(-1.0), 0.01);
    for (int i = 0; i < 15 * 320 * 320; ++i)
        Form->DrawDot();
    EXPECT_EQ(whitePixels(), 320 * 320);
}

TEST_F(FormTest, ARepaintRemovesWhatWasDrawnUntilTheNextNoisePass)
{
    ProvidePicture("dark-320.jpg");
    Start();
    Backend->Advance(60);
    Form->CircleScale = 1;
    Form->CircleStep = 29;
    Form->DrawCircle(false);
    Form->DrawDot();
    Application->Dispatch([] { });
    EXPECT_EQ(ScreenPixel(160, 160), White);

    Window->Expose();
    EXPECT_TRUE(Near(ScreenPixel(160, 160), Dark));
    EXPECT_TRUE(Near(ScreenPixel(100, 0), Dark));
    Backend->Advance(60);
    EXPECT_FALSE(Near(ScreenPixel(100, 0), Dark));
    EXPECT_TRUE(Near(ScreenPixel(160, 160), Dark));
}

TEST_F(FormTest, ClosingBeforeAnyClickStopsAndClosesTheTuneOnce)
{
    ProvidePicture("dark-320.jpg");
    Start();
    Commands.clear();
    Window->RequestClose();
    EXPECT_TRUE(Backend->QuitRequested);
    Application->Shutdown();
    EXPECT_EQ(Commands, (std::vector<std::string> { "stop midifile", "close midifile" }));
}

}
