#include "toolkit/Backend.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <csignal>
#include <set>

using namespace toolkit;

namespace {

constexpr int ClientSize = 320;
constexpr Surface::Pixel Red = 0xFFFF0000;
constexpr Surface::Pixel Blue = 0xFF0000FF;

// Qt allows one application per process, so every test shares one backend.
class BackendEnvironment : public ::testing::Environment {
public:
    void SetUp() override { s_backend = CreatePlatformBackend(); }
    void TearDown() override { s_backend.reset(); }
    static inline std::unique_ptr<Backend> s_backend;
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new BackendEnvironment);

Backend& TheBackend() { return *BackendEnvironment::s_backend; }

class RecordingEvents : public WindowEvents {
public:
    void Exposed() override
    {
        ++exposed;
        // As the toolkit does: repaint everything and present it.
        if (window)
            window->Present(client, std::span(&fullClient, 1));
    }
    void MouseDown(MouseButton button, int x, int y) override { calls.push_back(Describe("down", button, x, y)); }
    void MouseUp(MouseButton button, int x, int y) override { calls.push_back(Describe("up", button, x, y)); }
    void CloseRequested() override
    {
        ++closeRequests;
        if (destroyOnClose)
            window.reset();
    }

    static std::string Describe(const char* what, MouseButton button, int x, int y)
    {
        const char* name = button == MouseButton::Left ? "left" : button == MouseButton::Right ? "right" : "middle";
        return std::string(what) + " " + name + " " + std::to_string(x) + "," + std::to_string(y);
    }

    std::unique_ptr<NativeWindow> window;
    Surface client { ClientSize, ClientSize, Red };
    Rect fullClient { 0, 0, ClientSize, ClientSize };
    int exposed = 0;
    int closeRequests = 0;
    bool destroyOnClose = false;
    std::vector<std::string> calls;
};

class QtBackendTest : public ::testing::Test {
protected:
    // Creates the window the program would: 320×320 at (263,135), fixed.
    QWidget* CreateWindow()
    {
        const auto before = QApplication::topLevelWidgets();
        const std::set<QWidget*> existing(before.begin(), before.end());
        WindowOptions options;
        options.Left = 263;
        options.Top = 135;
        options.ClientWidth = options.ClientHeight = ClientSize;
        events.window = TheBackend().CreateWindow(options, events);
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!existing.contains(widget))
                return widget;
        }
        return nullptr;
    }

    QWidget* ShowWindow()
    {
        QWidget* widget = CreateWindow();
        events.window->Show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(widget));
        return widget;
    }

    // Runs the backend's loop until done() holds, or two seconds pass.
    bool RunUntil(const std::function<bool()>& done)
    {
        bool timedOut = false;
        std::unique_ptr<NativeTimer> poll;
        auto watchdog = TheBackend().CreateTimer([&] {
            timedOut = true;
            TheBackend().Quit();
        });
        const auto check = [&] {
            if (done())
                TheBackend().Quit();
            else
                poll->Arm(TheBackend().MonotonicMs() + 5);
        };
        poll = TheBackend().CreateTimer(check);
        poll->Arm(0);
        watchdog->Arm(TheBackend().MonotonicMs() + 2000);
        TheBackend().Run();
        return !timedOut;
    }

    RecordingEvents events;
};

TEST_F(QtBackendTest, WindowHasFixedSizeAndNoMaximiseBox)
{
    QWidget* widget = ShowWindow();
    const Qt::WindowFlags flags = widget->windowFlags();
    EXPECT_TRUE(flags.testFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(widget->minimumSize(), QSize(ClientSize, ClientSize));
    EXPECT_EQ(widget->maximumSize(), QSize(ClientSize, ClientSize));
    EXPECT_EQ(widget->pos(), QPoint(263, 135));
}

TEST_F(QtBackendTest, TitleKeepsEveryByteAndPlaceholders)
{
    std::string controls;
    for (char code = 1; code <= 14; ++code)
        controls += code;
    struct Case {
        std::string set;
        std::string expected;
    };
    const Case cases[] = {
        { controls, controls },
        { "", "" },
        { "[*]", "[*]" },
        { "a[*][*]b[*]*]", "a[*][*]b[*]*]" },
        { "\xE9t\xE9", "\xE9t\xE9" },
        { std::string("cut\0off", 7), "cut" },
    };
    QWidget* widget = ShowWindow();
    for (const Case& c : cases) {
        events.window->SetTitle(c.set);
        EXPECT_EQ(events.window->Title(), c.expected);
        // What the window system is given, after Qt's own placeholder rules.
        EXPECT_EQ(widget->windowHandle()->title(), QString::fromLatin1(c.expected.c_str()));
    }
}

TEST_F(QtBackendTest, ShowsExactlyThePresentedPixels)
{
    QWidget* widget = CreateWindow();
    events.window->Present(events.client, std::span(&events.fullClient, 1));

    // Only the top row is presented again; drawing elsewhere stays unseen.
    events.client.FillRect(events.fullClient, Blue);
    const Rect topRow { 0, 0, ClientSize, 1 };
    events.window->Present(events.client, std::span(&topRow, 1));
    events.client = Surface();

    const QImage shown = widget->grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), Blue);
    EXPECT_EQ(shown.pixel(ClientSize - 1, 0), Blue);
    EXPECT_EQ(shown.pixel(0, 1), Red);
    EXPECT_EQ(shown.pixel(ClientSize - 1, ClientSize - 1), Red);
}

TEST_F(QtBackendTest, ExposesOnFirstShowAndRestoreButNotOnPresent)
{
    QWidget* widget = ShowWindow();
    EXPECT_GE(events.exposed, 1);
    EXPECT_EQ(widget->grab().toImage().pixel(160, 160), Red);

    events.exposed = 0;
    events.window->Present(events.client, std::span(&events.fullClient, 1));
    QTest::qWait(20);
    EXPECT_EQ(events.exposed, 0);

    widget->showMinimized();
    QCoreApplication::processEvents();
    widget->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.exposed > 0; }, 1000));
}

TEST_F(QtBackendTest, ButtonsReportClientPixels)
{
    QWidget* widget = ShowWindow();
    const struct {
        Qt::MouseButton qt;
        MouseButton button;
        QPoint at;
    } cases[] = {
        { Qt::LeftButton, MouseButton::Left, { 1, 0 } },
        { Qt::RightButton, MouseButton::Right, { 319, 319 } },
        { Qt::MiddleButton, MouseButton::Middle, { 12, 300 } },
    };
    for (const auto& c : cases) {
        events.calls.clear();
        QTest::mouseClick(widget, c.qt, {}, c.at);
        const std::vector<std::string> expected {
            RecordingEvents::Describe("down", c.button, c.at.x(), c.at.y()),
            RecordingEvents::Describe("up", c.button, c.at.x(), c.at.y()),
        };
        EXPECT_EQ(events.calls, expected);
    }

    // Qt delivers the second press of a double click as its own event type.
    events.calls.clear();
    const QPoint at(5, 6);
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    const std::vector<std::string> twice { "down left 5,6", "up left 5,6", "down left 5,6", "up left 5,6" };
    EXPECT_EQ(events.calls, twice);
}

TEST_F(QtBackendTest, CloseAsksTheToolkitWhichMayDestroyTheWindow)
{
    QPointer<QWidget> widget = ShowWindow();
    EXPECT_FALSE(widget->close());
    EXPECT_TRUE(widget->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.closeRequests == 1; }, 1000));
    EXPECT_TRUE(widget->isVisible());

    // The toolkit destroys the window while answering the request.
    events.destroyOnClose = true;
    widget->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return events.closeRequests == 2; }, 1000));
    EXPECT_EQ(events.window, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return widget.isNull(); }, 1000));
}

TEST_F(QtBackendTest, TerminationSignalAsksTheWindowToClose)
{
    ShowWindow();
    for (int signal : { SIGTERM, SIGINT }) {
        const int before = events.closeRequests;
        std::raise(signal);
        EXPECT_TRUE(QTest::qWaitFor([&] { return events.closeRequests == before + 1; }, 1000)) << signal;
    }
}

TEST_F(QtBackendTest, TerminationSignalWithoutWindowEndsTheLoop)
{
    std::raise(SIGTERM);
    bool timedOut = false;
    auto watchdog = TheBackend().CreateTimer([&] {
        timedOut = true;
        TheBackend().Quit();
    });
    watchdog->Arm(TheBackend().MonotonicMs() + 2000);
    TheBackend().Run();
    EXPECT_FALSE(timedOut);
}

TEST_F(QtBackendTest, QuitBeforeRunMakesRunReturnAtOnce)
{
    TheBackend().Quit();
    const std::int64_t start = TheBackend().MonotonicMs();
    TheBackend().Run();
    EXPECT_LT(TheBackend().MonotonicMs() - start, 100);
    // The next Run is not affected.
    int ticks = 0;
    EXPECT_TRUE(RunUntil([&] { return ++ticks == 3; }));
}

TEST_F(QtBackendTest, QuitEndsAnErrorBoxAndTheRunAfterIt)
{
    std::unique_ptr<NativeTimer> quitter;
    quitter = TheBackend().CreateTimer([&] {
        if (QApplication::activeModalWidget())
            TheBackend().Quit();
        else
            quitter->Arm(TheBackend().MonotonicMs() + 5);
    });
    quitter->Arm(0);
    bool timedOut = false;
    auto watchdog = TheBackend().CreateTimer([&] {
        timedOut = true;
        QApplication::activeModalWidget()->close();
    });
    watchdog->Arm(TheBackend().MonotonicMs() + 2000);
    TheBackend().ShowErrorBox("whiteout", "message");
    EXPECT_FALSE(timedOut);

    const std::int64_t start = TheBackend().MonotonicMs();
    TheBackend().Run();
    EXPECT_LT(TheBackend().MonotonicMs() - start, 100);
}

TEST_F(QtBackendTest, TimerFiresOnceAtItsDueTime)
{
    std::vector<std::int64_t> fired;
    auto timer = TheBackend().CreateTimer([&] { fired.push_back(TheBackend().MonotonicMs()); });

    timer->Arm(TheBackend().MonotonicMs() - 1000);
    EXPECT_TRUE(RunUntil([&] { return fired.size() == 1; }));

    // A later arming replaces an earlier one; a disarmed timer stays quiet.
    fired.clear();
    const std::int64_t due = TheBackend().MonotonicMs() + 30;
    timer->Arm(due + 10000);
    timer->Arm(due);
    EXPECT_TRUE(RunUntil([&] { return TheBackend().MonotonicMs() >= due + 50; }));
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_GE(fired[0], due);

    fired.clear();
    timer->Arm(0);
    timer->Disarm();
    QTest::qWait(20);
    EXPECT_TRUE(fired.empty());
}

TEST_F(QtBackendTest, TimerMayDestroyItselfWhenDue)
{
    std::unique_ptr<NativeTimer> timer;
    timer = TheBackend().CreateTimer([&] { timer.reset(); });
    timer->Arm(0);
    EXPECT_TRUE(RunUntil([&] { return timer == nullptr; }));
}

TEST_F(QtBackendTest, ErrorBoxIsModalCriticalWithOkWhileTimersRun)
{
    const std::string message = "ファイル []\\sketch5421365.jpg は開けません.";
    int ticks = 0;
    std::unique_ptr<NativeTimer> ticker;
    ticker = TheBackend().CreateTimer([&] {
        ++ticks;
        ticker->Arm(TheBackend().MonotonicMs() + 5);
    });
    ticker->Arm(0);

    struct {
        bool shown = false;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Qt::TextFormat format = Qt::AutoText;
        QList<QMessageBox::StandardButton> buttons;
    } seen;
    std::unique_ptr<NativeTimer> inspector;
    inspector = TheBackend().CreateTimer([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || ticks < 3) {
            inspector->Arm(TheBackend().MonotonicMs() + 5);
            return;
        }
        seen = { true, box->windowTitle(), box->text(), box->icon(), box->textFormat(), {} };
        for (QAbstractButton* button : box->buttons())
            seen.buttons.push_back(box->standardButton(button));
        box->done(0);
    });
    inspector->Arm(0);

    TheBackend().ShowErrorBox("whiteout", message);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, "whiteout");
    EXPECT_EQ(seen.text.toStdString(), message);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.buttons, QList { QMessageBox::Ok });
    EXPECT_GE(ticks, 3);
}

TEST_F(QtBackendTest, IconsStayTransparent)
{
    const Surface blank(16, 16, 0x00000000);
    TheBackend().SetApplicationIdentity("whiteout", blank);
    QWidget* widget = CreateWindow();
    events.window->SetIcon(blank);

    EXPECT_EQ(QCoreApplication::applicationName(), "whiteout");
    for (const QIcon& icon : { QApplication::windowIcon(), widget->windowIcon() }) {
        ASSERT_FALSE(icon.isNull());
        const QImage image = icon.pixmap(16, 16).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
    }
}

TEST_F(QtBackendTest, ClocksAndExecutablePath)
{
    EXPECT_TRUE(TheBackend().ExecutablePath().ends_with("/QtBackendTest"));
    const std::int64_t reference = QDateTime::currentDateTimeUtc().time().msecsSinceStartOfDay();
    const std::int64_t ofDay = TheBackend().UtcMsOfDay();
    ASSERT_GE(ofDay, 0);
    ASSERT_LT(ofDay, 24 * 60 * 60 * 1000);
    // Allowing for midnight passing between the two readings.
    EXPECT_TRUE(ofDay - reference < 1000 || ofDay < 1000) << ofDay << " " << reference;
}

}
