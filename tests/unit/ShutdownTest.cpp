#include "Form1Fixture.h"

using namespace toolkit;

namespace {

constexpr std::int64_t Period = 2300;
const std::vector<std::string> StopThenClose { "stop midifile", "close midifile" };

// A close request, from the close box or a termination signal, at any point
// of the run: the loop ends and the tune is stopped and closed exactly once.
// Times are after the click, on a tick or between two.
class CloseAtAnyTickTest : public Form1Fixture, public testing::WithParamInterface<std::int64_t> { };

TEST_P(CloseAtAnyTickTest, EndsTheLoopAndStopsAndClosesTheTuneOnce)
{
    ProvidePicture("dark-320.jpg");
    Start();
    Window->Click(160, 160);
    Backend->Advance(GetParam());
    Commands.clear();

    Window->RequestClose();
    // A second request (a signal after the close box) and the timers that
    // still fall due before the loop returns change nothing.
    Window->RequestClose();
    Backend->Advance(Period);
    EXPECT_TRUE(Backend->QuitRequested);
    Application->Shutdown();
    EXPECT_EQ(Commands, StopThenClose);
}

INSTANTIATE_TEST_SUITE_P(Ticks, CloseAtAnyTickTest,
    testing::Values(0, Period / 2, 27 * Period, 59 * Period, 60 * Period, 61 * Period, 62 * Period,
        62 * Period + 1, 100 * Period));

class ShutdownTest : public Form1Fixture { };

TEST_F(ShutdownTest, ClosingDuringTheStartUpErrorBoxEndsWithoutShowingTheWindow)
{
    auto backend = std::make_unique<HeadlessBackend>();
    Backend = backend.get();
    int boxes = 0;
    bool loopRan = false;
    Backend->WhileErrorBox = [this, &boxes] {
        ++boxes;
        Backend->Advance(500);
        Backend->LastWindow()->RequestClose();
    };
    Backend->Script = [&loopRan] { loopRan = true; };
    Application->Initialize(std::move(backend));
    Application->CreateForm(Form);
    ASSERT_NE(Form, nullptr);
    Application->Run(); // releases the backend

    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(loopRan);
    // Start-up stopped before the open, but shutdown sends both all the same.
    EXPECT_EQ(Commands, StopThenClose);
}
}
