#include "HeadlessFixture.h"

using namespace toolkit;

namespace {

class TimerTest : public HeadlessFixture {
protected:
    void SetUp() override
    {
        HeadlessFixture::SetUp();
        Form = CreateTestForm(R"(object TestForm: TTestForm
  object Timer1: TTimer
    Enabled = False
    Interval = 2300
    OnTimer = Timer1Timer
  end
end
)");
        Form->Behaviour = [this](const std::string&) { TickTimes.push_back(Backend->Now); };
    }

    TTestForm* Form = nullptr;
    std::vector<std::int64_t> TickTimes;
};

TEST_F(TimerTest, TickKComesKIntervalsAfterSwitchingOn)
{
    Backend->Advance(500);
    Form->Timer1->SetEnabled(true);
    Backend->Advance(62 * 2300);
    ASSERT_EQ(TickTimes.size(), 62u);
    for (std::size_t k = 1; k <= TickTimes.size(); ++k)
        EXPECT_EQ(TickTimes[k - 1], 500 + std::int64_t(k) * 2300) << "tick " << k;
}

TEST_F(TimerTest, SwitchingOnAgainKeepsThePeriod)
{
    Form->Timer1->SetEnabled(true);
    Backend->Advance(1000);
    Form->Timer1->SetEnabled(true);
    Backend->Advance(3600);
    EXPECT_EQ(TickTimes, (std::vector<std::int64_t> { 2300, 4600 }));
}

TEST_F(TimerTest, ALateTickIsDeliveredOnceAndThePeriodHolds)
{
    Form->Timer1->SetEnabled(true);
    Backend->Stall(3 * 2300 + 100); // the loop was busy through three due times
    Backend->Advance(0);
    Backend->Advance(2300);
    EXPECT_EQ(TickTimes, (std::vector<std::int64_t> { 7000, 9200 }));
}

TEST_F(TimerTest, AHandlerThatSwitchesItsTimerOffGetsNoMoreTicks)
{
    Form->Behaviour = [this](const std::string&) {
        TickTimes.push_back(Backend->Now);
        if (TickTimes.size() == 2)
            Form->Timer1->SetEnabled(false);
    };
    Form->Timer1->SetEnabled(true);
    Backend->Advance(10 * 2300);
    EXPECT_EQ(TickTimes, (std::vector<std::int64_t> { 2300, 4600 }));
}

TEST_F(TimerTest, NoTicksWithoutHandlerOrInterval)
{
    Form->Timer1->SetInterval(0);
    Form->Timer1->SetEnabled(true);
    Backend->Advance(5000);
    Form->Timer1->SetInterval(100);
    Form->Timer1->SetOnTimer({});
    Backend->Advance(5000);
    EXPECT_TRUE(TickTimes.empty());
}

}
