// An in-memory backend for tests and offline rendering: the window keeps the
// pixels it was last shown, time moves only when told, and error boxes are
// recorded instead of shown.
#pragma once

#include "toolkit/Backend.h"

#include <functional>
#include <string>
#include <vector>

namespace toolkit {

class HeadlessTimer;

class HeadlessWindow : public NativeWindow {
public:
    explicit HeadlessWindow(const WindowOptions& options, WindowEvents& events);

    void SetTitle(const std::string& text) override;
    std::string Title() const override { return m_title; }
    void SetIcon(const Surface& icon) override { IconImage = icon; }
    void Show() override;
    void Hide() override { Visible = false; }
    void Present(const Surface& client, std::span<const Rect> rects) override;

    // What a person would see: the client pixels as last presented.
    Surface Screen;
    Surface IconImage;
    WindowOptions Options;
    bool Visible = false;
    int Presents = 0;
    int TitleChanges = 0;

    // Input, as the window system would deliver it.
    void Click(int x, int y, MouseButton button = MouseButton::Left);
    void Expose() { m_events.Exposed(); }
    void RequestClose() { m_events.CloseRequested(); }
    WindowEvents& Events() { return m_events; }

private:
    WindowEvents& m_events;
    std::string m_title;
};

class HeadlessBackend : public Backend {
public:
    struct ErrorBox {
        std::string Caption;
        std::string Message;
    };

    HeadlessBackend();
    ~HeadlessBackend() override;

    std::string ExecutablePath() override { return ExecutableFile; }
    void SetApplicationIdentity(const std::string& title, const Surface& icon) override;
    std::unique_ptr<NativeWindow> CreateWindow(const WindowOptions& options, WindowEvents& events) override;
    std::unique_ptr<NativeTimer> CreateTimer(std::function<void()> due) override;
    std::int64_t MonotonicMs() override { return Now; }
    std::int64_t UtcMsOfDay() override { return TimeOfDayMs; }
    void ShowErrorBox(const std::string& caption, const std::string& message) override;
    // Runs Script, if any, then returns: tests drive the events themselves.
    void Run() override;
    void Quit() override { QuitRequested = true; }

    // Moves the clock forward, firing every timer that falls due on the way
    // at its own due time, in order.
    void Advance(std::int64_t ms);
    // Moves the clock without firing anything, as a busy event loop would;
    // the next Advance delivers what fell due meanwhile, late.
    void Stall(std::int64_t ms) { Now += ms; }
    HeadlessWindow* LastWindow() const { return m_lastWindow; }

    std::string ExecutableFile = "/usr/bin/whiteout";
    std::int64_t TimeOfDayMs = 0;
    std::int64_t Now = 0;
    std::string ApplicationTitle;
    Surface ApplicationIcon;
    std::vector<ErrorBox> ErrorBoxes;
    // Runs while an error box is up, as the modal loop would run events.
    std::function<void()> WhileErrorBox;
    std::function<void()> Script;
    bool QuitRequested = false;

private:
    friend class HeadlessTimer;
    friend class HeadlessWindow;
    std::vector<HeadlessTimer*> m_timers;
    std::uint64_t m_armings = 0;
    HeadlessWindow* m_lastWindow = nullptr;
};

}
