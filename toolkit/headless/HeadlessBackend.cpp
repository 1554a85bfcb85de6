#include "toolkit/headless/HeadlessBackend.h"

#include <algorithm>

namespace toolkit {

class HeadlessTimer : public NativeTimer {
public:
    HeadlessTimer(HeadlessBackend& backend, std::function<void()> due)
        : m_backend(backend)
        , Callback(std::move(due))
    {
        m_backend.m_timers.push_back(this);
    }
    ~HeadlessTimer() override
    {
        auto& timers = m_backend.m_timers;
        timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    }
    void Arm(std::int64_t dueMs) override
    {
        Armed = true;
        DueMs = dueMs;
        Order = ++m_backend.m_armings;
    }
    void Disarm() override { Armed = false; }

    HeadlessBackend& m_backend;
    std::function<void()> Callback;
    bool Armed = false;
    std::int64_t DueMs = 0;
    std::uint64_t Order = 0;
};

HeadlessWindow::HeadlessWindow(const WindowOptions& options, WindowEvents& events)
    : Screen(options.ClientWidth, options.ClientHeight, 0xFF000000)
    , Options(options)
    , m_events(events)
{
}

void HeadlessWindow::SetTitle(const std::string& text)
{
    m_title = text;
    ++TitleChanges;
}

void HeadlessWindow::Show()
{
    Visible = true;
    m_events.Exposed();
}

void HeadlessWindow::Present(const Surface& client, std::span<const Rect> rects)
{
    ++Presents;
    for (const Rect& rect : rects) {
        Rect clipped = rect.Intersected(Screen.Bounds()).Intersected(client.Bounds());
        for (int y = clipped.Top; y < clipped.Bottom; ++y)
            std::copy(client.ScanLine(y) + clipped.Left, client.ScanLine(y) + clipped.Right,
                Screen.ScanLine(y) + clipped.Left);
    }
}

void HeadlessWindow::Click(int x, int y, MouseButton button)
{
    m_events.MouseDown(button, x, y);
    m_events.MouseUp(button, x, y);
}

HeadlessBackend::HeadlessBackend() = default;

HeadlessBackend::~HeadlessBackend() = default;

void HeadlessBackend::SetApplicationIdentity(const std::string& title, const Surface& icon)
{
    ApplicationTitle = title;
    ApplicationIcon = icon;
}

std::unique_ptr<NativeWindow> HeadlessBackend::CreateWindow(const WindowOptions& options, WindowEvents& events)
{
    auto window = std::make_unique<HeadlessWindow>(options, events);
    m_lastWindow = window.get();
    return window;
}

std::unique_ptr<NativeTimer> HeadlessBackend::CreateTimer(std::function<void()> due)
{
    return std::make_unique<HeadlessTimer>(*this, std::move(due));
}

void HeadlessBackend::ShowErrorBox(const std::string& caption, const std::string& message)
{
    ErrorBoxes.push_back({ caption, message });
    if (WhileErrorBox)
        WhileErrorBox();
}

void HeadlessBackend::Run()
{
    if (Script && !QuitRequested)
        Script();
}

void HeadlessBackend::Advance(std::int64_t ms)
{
    const std::int64_t target = Now + ms;
    for (;;) {
        HeadlessTimer* next = nullptr;
        for (HeadlessTimer* timer : m_timers) {
            if (timer->Armed && timer->DueMs <= target
                && (!next || timer->DueMs < next->DueMs || (timer->DueMs == next->DueMs && timer->Order < next->Order)))
                next = timer;
        }
        if (!next)
            break;
        Now = std::max(Now, next->DueMs);
        next->Armed = false;
        next->Callback();
    }
    Now = target;
}

}
