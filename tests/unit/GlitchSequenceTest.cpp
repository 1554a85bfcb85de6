#include "Form1Fixture.h"

#include <algorithm>
#include <set>

using namespace toolkit;

namespace {

constexpr std::int64_t Period = 2300;
constexpr TColor White = clWhite;

bool IsWhite(const Surface& surface, int x, int y)
{
    return Surface::ToColor(surface.PixelAt(x, y)) == White;
}

// The radius every tick leaves, when start-up completed (scale from 1) and
// when it failed (scale from 0).
int ExpectedRadius(int tick, int startScale)
{
    if (tick < 27)
        return 0;
    int step = tick - 26;
    int scale = startScale + std::max(0, tick - 51);
    return step * scale;
}

class GlitchSequenceTest : public Form1Fixture {
protected:
    void StartAndClick(const char* picture = "dark-320.jpg")
    {
        if (picture)
            ProvidePicture(picture);
        Start();
        Commands.clear();
        Window->Click(160, 160);
    }
};

TEST_F(GlitchSequenceTest, SixtyTwoTicksGarbleTheTitleGrowTheDiscAndEndWhite)
{
    StartAndClick();
    EXPECT_EQ(Commands, (std::vector<std::string> { "play midifile" }));
    EXPECT_TRUE(Form->Timer1->Enabled());
    Backend->Advance(Period - 1);
    EXPECT_EQ(Form->Tick, 0);

    std::set<int> lengths;
    for (int k = 1; k <= 62; ++k) {
        Backend->Advance(k == 1 ? 1 : Period);
        SCOPED_TRACE("tick " + std::to_string(k));
        ASSERT_EQ(Form->Tick, k);
        const std::string title = Window->Title();
        if (k <= 59) {
            EXPECT_LE(title.size(), 39u);
            EXPECT_TRUE(std::all_of(title.begin(), title.end(), [](char c) { return c >= 1 && c <= 14; }));
            lengths.insert(int(title.size()));
        } else {
            EXPECT_EQ(title, "");
        }
        EXPECT_EQ(Form->Image1->Visible(), k < 60);
        EXPECT_EQ(Form->Timer1->Enabled(), k < 62);

        int r = ExpectedRadius(k, 1);
        EXPECT_EQ(Form->CircleStep * Form->CircleScale, r);
        const Surface& screen = Window->Screen;
        if (r > 0 && r < 160) {
            EXPECT_TRUE(IsWhite(screen, 160 + r - 1, 160));
            EXPECT_FALSE(IsWhite(screen, 160 + r, 160));
            EXPECT_FALSE(IsWhite(screen, 160, 160 - r - 1));
        } else if (r == 0) {
            EXPECT_FALSE(IsWhite(screen, 160, 160));
        }
        if (r >= 256 || k >= 60) {
            int notWhite = 0;
            for (int y = 1; y < 319; ++y)
                for (int x = 1; x < 319; ++x)
                    notWhite += !IsWhite(screen, x, y);
            EXPECT_EQ(notWhite, 0);
        }
    }
    EXPECT_GT(lengths.size(), 10u); // the lengths really vary

    // Nothing after the last tick: the title and the state stay, the edges
    // keep shimmering.
    int titleChanges = Window->TitleChanges;
    TColor edge = Surface::ToColor(Window->Screen.PixelAt(100, 0));
    Backend->Advance(10 * Period);
    EXPECT_EQ(Form->Tick, 62);
    EXPECT_EQ(Window->TitleChanges, titleChanges);
    EXPECT_NE(Surface::ToColor(Window->Screen.PixelAt(100, 0)), edge);
    EXPECT_FALSE(IsWhite(Window->Screen, 100, 0));
}

TEST_F(GlitchSequenceTest, EveryTickDrawsOneDotThenTheDiscFromTick27GrowingFrom52)
{
    StartAndClick();
    Form->Draws.clear();
    Backend->Advance(62 * Period);
    std::vector<std::string> sequence;
    for (const std::string& draw : Form->Draws) {
        if (draw != "DrawBorderNoise")
            sequence.push_back(draw);
    }
    std::vector<std::string> expected;
    for (int k = 1; k <= 62; ++k) {
        expected.push_back("DrawDot");
        if (k >= 27)
            expected.push_back(k >= 52 ? "DrawCircle(true)" : "DrawCircle(false)");
    }
    EXPECT_EQ(sequence, expected);
}

TEST_F(GlitchSequenceTest, AfterAFailedStartUpTheDiscAppearsOnlyWhenTheScaleGrows)
{
    StartAndClick(nullptr);
    ASSERT_EQ(Backend->ErrorBoxes.size(), 1u);
    Backend->Advance(51 * Period);
    EXPECT_EQ(Form->CircleStep, 25);
    EXPECT_EQ(Form->CircleScale, 0);
    std::vector<int> radii;
    for (int k = 52; k <= 62; ++k) {
        Backend->Advance(Period);
        radii.push_back(Form->CircleStep * Form->CircleScale);
        EXPECT_EQ(radii.back(), ExpectedRadius(k, 0));
    }
    EXPECT_EQ(radii, (std::vector<int> { 26, 54, 84, 116, 150, 186, 224, 264, 306, 350, 396 }));
}

TEST_F(GlitchSequenceTest, ClicksDuringTheRunKeepThePeriodAndOnlyRepeatPlay)
{
    StartAndClick();
    Backend->Advance(Period + 1000);
    for (int i = 0; i < 100; ++i)
        Window->Click(10 + i, 300 - i);
    EXPECT_EQ(Form->Tick, 1);
    Backend->Advance(Period - 1001);
    EXPECT_EQ(Form->Tick, 1);
    Backend->Advance(1);
    EXPECT_EQ(Form->Tick, 2);
    EXPECT_EQ(Commands.size(), 101u);
    EXPECT_TRUE(std::all_of(Commands.begin(), Commands.end(), [](const std::string& c) { return c == "play midifile"; }));
}

TEST_F(GlitchSequenceTest, OnlyALeftClickOnTheVisiblePictureStartsIt)
{
    ProvidePicture("dark-100x80.jpg");
    Start();
    EXPECT_EQ(Form->Image1->BoundsRect(), (Rect { 0, 0, 100, 80 }));
    Commands.clear();
    Window->Click(150, 150); // the white area beside a small picture
    Window->Click(50, 40, MouseButton::Right);
    Window->Events().MouseDown(MouseButton::Left, 50, 40);
    Window->Events().MouseUp(MouseButton::Left, 150, 40); // released off the picture
    EXPECT_FALSE(Form->Timer1->Enabled());
    EXPECT_TRUE(Commands.empty());

    Window->Click(99, 79);
    EXPECT_TRUE(Form->Timer1->Enabled());
    Backend->Advance(60 * Period);
    EXPECT_FALSE(Form->Image1->Visible());
    Commands.clear();
    Window->Click(50, 40);
    EXPECT_TRUE(Commands.empty());
}

TEST_F(GlitchSequenceTest, RestoringMidRunShowsThePictureAgainAndTheNextTickRedrawsTheDisc)
{
    StartAndClick();
    Backend->Advance(40 * Period);
    EXPECT_TRUE(IsWhite(Window->Screen, 160, 160));
    Window->Expose(); // restored from minimised
    EXPECT_FALSE(IsWhite(Window->Screen, 160, 160));
    Backend->Advance(Period);
    EXPECT_EQ(Form->Tick, 41);
    EXPECT_TRUE(IsWhite(Window->Screen, 160 + 14, 160));
    EXPECT_FALSE(IsWhite(Window->Screen, 160 + 15, 160));

    Backend->Advance(20 * Period); // hidden from tick 60 on
    Window->Expose();
    EXPECT_TRUE(IsWhite(Window->Screen, 160, 160));
}

TEST_F(GlitchSequenceTest, ClosingMidRunStopsAndClosesTheTune)
{
    StartAndClick();
    Backend->Advance(30 * Period);
    Commands.clear();
    Window->RequestClose();
    Application->Shutdown();
    EXPECT_EQ(Commands, (std::vector<std::string> { "stop midifile", "close midifile" }));
}

}
