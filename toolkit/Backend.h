// Everything a platform backend provides to the toolkit, and all it must
// provide: one top-level window that shows a client surface the toolkit draws,
// one-shot timers, clocks, the modal error box and the event loop. A backend
// for another window system is written from this header alone.
//
// Every call, in both directions, happens on the thread that runs the event
// loop. A backend never calls into the toolkit from another thread.
#pragma once

#include "toolkit/Surface.h"
#include "toolkit/Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace toolkit {

enum class MouseButton { Left, Right, Middle };

struct WindowOptions {
    // Outer top-left corner, where the window system lets a program choose it.
    int Left = 0;
    int Top = 0;
    int ClientWidth = 0;
    int ClientHeight = 0;
    // A fixed frame: the user cannot resize, and no maximise box is offered.
    bool FixedSize = true;
    bool SystemMenu = true;
    bool MinimizeBox = true;
    bool MaximizeBox = false;
};

// What the window reports to the toolkit. Coordinates are client pixels.
class WindowEvents {
public:
    // The window's contents were lost or are shown for the first time (first
    // show, uncovered, restored from minimised): the toolkit repaints the whole
    // client surface and presents it.
    virtual void Exposed() = 0;
    virtual void MouseDown(MouseButton button, int x, int y) = 0;
    virtual void MouseUp(MouseButton button, int x, int y) = 0;
    // The close box, Close on the system menu, the keyboard's close command,
    // or a request to terminate the process (SIGINT, SIGTERM).
    virtual void CloseRequested() = 0;

protected:
    ~WindowEvents() = default;
};

class NativeWindow {
public:
    virtual ~NativeWindow() = default;

    // The title is 8-bit text: control characters go to the window system
    // unchanged, and Title() gives back exactly what it holds.
    virtual void SetTitle(const std::string& text) = 0;
    virtual std::string Title() const = 0;
    // Pixels with alpha 0 are transparent; an all-transparent icon stays so.
    virtual void SetIcon(const Surface& icon) = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    // Shows the given rectangles of the client surface. The surface stays
    // alive and unchanged until the backend has shown them or the next call.
    virtual void Present(const Surface& client, std::span<const Rect> rects) = 0;
};

class NativeTimer {
public:
    virtual ~NativeTimer() = default;
    // Calls back once when MonotonicMs() reaches dueMs (at once when it has
    // passed), replacing any earlier arming.
    virtual void Arm(std::int64_t dueMs) = 0;
    virtual void Disarm() = 0;
};

// Windows and timers are destroyed before the backend that created them.
class Backend {
public:
    virtual ~Backend() = default;

    // The full path of the running executable, for the application title.
    virtual std::string ExecutablePath() = 0;
    // Labels the task-bar entry (on X11 the WM_CLASS) and sets the icon that
    // windows without their own show. Called before the first window or error
    // box: X11 backends may read the label only once. The title is UTF-8.
    virtual void SetApplicationIdentity(const std::string& title, const Surface& icon) = 0;

    virtual std::unique_ptr<NativeWindow> CreateWindow(const WindowOptions& options, WindowEvents& events) = 0;
    virtual std::unique_ptr<NativeTimer> CreateTimer(std::function<void()> due) = 0;

    // Milliseconds on a clock that never jumps.
    virtual std::int64_t MonotonicMs() = 0;
    // Milliseconds since midnight, UTC.
    virtual std::int64_t UtcMsOfDay() = 0;

    // Modal: returns when the user has dismissed the box. Timers keep firing
    // while it is up. Caption and message are UTF-8.
    virtual void ShowErrorBox(const std::string& caption, const std::string& message) = 0;

    // Dispatches events until Quit is called.
    virtual void Run() = 0;
    // Also ends an error box that is up. Called before Run, it makes the next
    // Run return at once.
    virtual void Quit() = 0;
};

// The backend the program runs on, chosen when the program is linked.
std::unique_ptr<Backend> CreatePlatformBackend();

}
