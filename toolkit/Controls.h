// The components a form holds: controls that paint into the form's client
// surface and take clicks (TImage), and timers (TTimer).
#pragma once

#include "toolkit/Backend.h"
#include "toolkit/Classes.h"
#include "toolkit/Graphics.h"

#include <cstdint>
#include <memory>

namespace toolkit {

class TForm;

class TControl : public TComponent {
public:
    using TComponent::TComponent;

    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    TNotifyEvent OnClick;

    TForm* Parent() const { return m_parent; }
    void SetParent(TForm* parent);
    Rect BoundsRect() const { return { Left, Top, Left + Width, Top + Height }; }

    bool Visible() const { return m_visible; }
    // Showing or hiding a control repaints its form.
    void SetVisible(bool visible);

    // Paints the control into its form's surface, inside clip.
    virtual void Paint(Surface& surface, const Rect& clip) = 0;
    // A click lands here: the left button pressed and released over it.
    virtual void Click();

    bool SetProperty(const std::string& name, const PropertyValue& value) override;
    bool SetEvent(const std::string& name, TNotifyEvent handler) override;

protected:
    void Invalidate();

private:
    TForm* m_parent = nullptr;
    bool m_visible = true;
};

// Shows a picture unscaled at its top-left corner.
class TImage : public TControl {
public:
    explicit TImage(TComponent* AOwner);

    TPicture Picture;
    // When set, the control takes the picture's size whenever the picture
    // changes and both its sides are above 0.
    bool AutoSize = false;

    void Paint(Surface& surface, const Rect& clip) override;
    bool SetProperty(const std::string& name, const PropertyValue& value) override;

private:
    void PictureChanged();
};

// Calls OnTimer on the event-loop thread every Interval milliseconds while
// enabled. Ticks keep a fixed rate: tick k comes k × Interval after the timer
// was switched on, and a late tick never bunches up several.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    // Design-surface position; no effect while running.
    int Left = 0;
    int Top = 0;

    bool Enabled() const { return m_enabled; }
    // Switching on a timer that is already on changes nothing.
    void SetEnabled(bool enabled);
    unsigned Interval() const { return m_interval; }
    void SetInterval(unsigned interval);
    const TNotifyEvent& OnTimer() const { return m_onTimer; }
    void SetOnTimer(TNotifyEvent handler);

    bool SetProperty(const std::string& name, const PropertyValue& value) override;
    bool SetEvent(const std::string& name, TNotifyEvent handler) override;

private:
    void UpdateTimer();
    void Due();

    bool m_enabled = true;
    unsigned m_interval = 1000;
    TNotifyEvent m_onTimer;
    std::unique_ptr<NativeTimer> m_native;
    std::int64_t m_startMs = 0;
    std::int64_t m_ticks = 0;
};

void RegisterStandardComponents();

}
