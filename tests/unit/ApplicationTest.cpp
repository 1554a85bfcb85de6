#include "HeadlessFixture.h"

#include "toolkit/Exceptions.h"

using namespace toolkit;

namespace {

TEST(ApplicationTitleTest, IsTheFileNameCutAtTheFirstDotInLowerCaseAfterItsFirstLetter)
{
    struct Case {
        const char* Path;
        const char* Title;
    };
    for (const Case& c : { Case { "/usr/bin/whiteout", "whiteout" }, Case { "C:\\Games\\Glitch.Exe", "Glitch" },
             Case { "a.b.c", "a" }, Case { "/opt/X", "X" }, Case { "/opt/WhiteOUT", "Whiteout" },
             Case { "/opt/.hidden", "" } })
        EXPECT_EQ(ApplicationTitleFromPath(c.Path), c.Title) << c.Path;
}

TEST(ErrorBoxTextTest, AppendsADotOnlyAfterCharactersThatSortAfterIt)
{
    struct Case {
        const char* Message;
        const char* Text;
    };
    for (const Case& c : { Case { "Disk full", "Disk full." }, Case { "Done.", "Done." }, Case { "Why?", "Why?." },
             Case { "Stop!", "Stop!" }, Case { "(a)", "(a)" }, Case { "a-", "a-" }, Case { "", "" },
             Case { "ファイル []\\sketch5421365.jpg は開けません", "ファイル []\\sketch5421365.jpg は開けません." },
             Case { "JPEG エラー #53", "JPEG エラー #53." } })
        EXPECT_EQ(ErrorBoxText(c.Message), c.Text) << c.Message;
}

const char* const TimerForm = R"(object TestForm: TTestForm
  ClientWidth = 10
  ClientHeight = 10
  Color = clWhite
  OnCreate = FormCreate
  object Timer1: TTimer
    Interval = 60
    OnTimer = Timer1Timer
  end
end
)";

class ApplicationTest : public HeadlessFixture { };

TEST_F(ApplicationTest, TitleComesFromTheExecutableAndLabelsErrorBoxes)
{
    EXPECT_EQ(Application->Title(), "whiteout");
    EXPECT_EQ(Backend->ApplicationTitle, "whiteout");
    Application->ShowException("boom");
    ASSERT_EQ(Backend->ErrorBoxes.size(), 1u);
    EXPECT_EQ(Backend->ErrorBoxes[0].Caption, "whiteout");
    EXPECT_EQ(Backend->ErrorBoxes[0].Message, "boom.");
}

TEST_F(ApplicationTest, AnExceptionInOnCreateIsShownOnceAndTheFormLivesOn)
{
    TTestForm::BehaviourFromCreation = [](const std::string& handler) {
        if (handler == "FormCreate")
            throw EFOpenError("ファイル x は開けません");
    };
    // The box is modal: timers keep ticking under it, on the hidden window.
    Backend->WhileErrorBox = [this] { Backend->Advance(200); };
    TTestForm* form = CreateTestForm(TimerForm);
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(Backend->ErrorBoxes.size(), 1u);
    EXPECT_EQ(Backend->ErrorBoxes[0].Message, "ファイル x は開けません.");
    EXPECT_EQ(form->Calls, (std::vector<std::string> { "FormCreate", "Timer1Timer", "Timer1Timer", "Timer1Timer" }));
    EXPECT_FALSE(Backend->LastWindow()->Visible);
    Application->MainForm()->Show();
    EXPECT_TRUE(Backend->LastWindow()->Visible);
}

TEST_F(ApplicationTest, AnExceptionInAHandlerIsShownOnceAndTheNextEventStillRuns)
{
    TTestForm* form = CreateTestForm(TimerForm);
    int ticks = 0;
    form->Behaviour = [&](const std::string& handler) {
        if (handler == "Timer1Timer" && ++ticks == 2)
            throw EFOpenError("ファイル x は開けません");
    };
    Backend->Advance(60 * 5);
    EXPECT_EQ(ticks, 5);
    ASSERT_EQ(Backend->ErrorBoxes.size(), 1u);
    EXPECT_EQ(Backend->ErrorBoxes[0].Message, "ファイル x は開けません.");
}

TEST_F(ApplicationTest, ClosingTheMainFormEndsTheLoopAndDestroysIt)
{
    TTestForm* form = CreateTestForm(TimerForm);
    HeadlessWindow* window = Backend->LastWindow();
    Application->MainForm()->Show();
    EXPECT_TRUE(window->Visible);
    window->RequestClose();
    EXPECT_TRUE(Backend->QuitRequested);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(Application->MainForm(), form);
}

}
