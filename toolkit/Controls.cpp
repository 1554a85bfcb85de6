#include "toolkit/Controls.h"

#include "toolkit/Application.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Forms.h"

namespace toolkit {

void TControl::SetParent(TForm* parent)
{
    if (m_parent == parent)
        return;
    if (m_parent)
        m_parent->RemoveControl(this);
    m_parent = parent;
    if (m_parent)
        m_parent->InsertControl(this);
}

void TControl::SetVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    Invalidate();
}

void TControl::Click()
{
    if (OnClick)
        OnClick(this);
}

void TControl::Invalidate()
{
    if (m_parent)
        m_parent->Invalidate();
}

bool TControl::SetProperty(const std::string& name, const PropertyValue& value)
{
    if (name == "Left")
        Left = int(value.AsInteger());
    else if (name == "Top")
        Top = int(value.AsInteger());
    else if (name == "Width")
        Width = int(value.AsInteger());
    else if (name == "Height")
        Height = int(value.AsInteger());
    else if (name == "Visible")
        SetVisible(value.AsBoolean());
    else
        return TComponent::SetProperty(name, value);
    Invalidate();
    return true;
}

bool TControl::SetEvent(const std::string& name, TNotifyEvent handler)
{
    if (name != "OnClick")
        return TComponent::SetEvent(name, std::move(handler));
    OnClick = std::move(handler);
    return true;
}

TImage::TImage(TComponent* AOwner)
    : TControl(AOwner)
{
    Width = 105;
    Height = 105;
    Picture.OnChange = [this] { PictureChanged(); };
}

void TImage::PictureChanged()
{
    if (AutoSize && Picture.Width() > 0 && Picture.Height() > 0) {
        Width = Picture.Width();
        Height = Picture.Height();
    }
    Invalidate();
}

void TImage::Paint(Surface& surface, const Rect& clip)
{
    if (TGraphic* graphic = Picture.Graphic())
        graphic->Draw(surface, Left, Top, clip.Intersected(BoundsRect()));
}

bool TImage::SetProperty(const std::string& name, const PropertyValue& value)
{
    if (name == "AutoSize") {
        AutoSize = value.AsBoolean();
        PictureChanged();
    } else if (name == "Picture.Data") {
        Picture.ReadData(value.AsBinary());
    } else {
        return TControl::SetProperty(name, value);
    }
    return true;
}

TTimer::TTimer(TComponent* AOwner)
    : TComponent(AOwner)
    , m_native(Application->Platform().CreateTimer([this] { Due(); }))
{
}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool enabled)
{
    if (m_enabled == enabled)
        return;
    m_enabled = enabled;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned interval)
{
    if (m_interval == interval)
        return;
    m_interval = interval;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler)
{
    m_onTimer = std::move(handler);
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    m_native->Disarm();
    if (!m_enabled || m_interval == 0 || !m_onTimer)
        return;
    m_startMs = Application->Platform().MonotonicMs();
    m_ticks = 0;
    m_native->Arm(m_startMs + m_interval);
}

void TTimer::Due()
{
    // Arm the next tick before the handler runs, so its run time cannot
    // shift the period; the handler may still switch the timer off.
    std::int64_t now = Application->Platform().MonotonicMs();
    m_ticks = std::max(m_ticks + 1, (now - m_startMs) / std::int64_t(m_interval));
    m_native->Arm(m_startMs + (m_ticks + 1) * std::int64_t(m_interval));
    Application->Dispatch([this] { m_onTimer(this); });
}

bool TTimer::SetProperty(const std::string& name, const PropertyValue& value)
{
    if (name == "Enabled")
        SetEnabled(value.AsBoolean());
    else if (name == "Interval")
        SetInterval(unsigned(std::max(0LL, value.AsInteger())));
    else if (name == "Left")
        Left = int(value.AsInteger());
    else if (name == "Top")
        Top = int(value.AsInteger());
    else
        return TComponent::SetProperty(name, value);
    return true;
}

bool TTimer::SetEvent(const std::string& name, TNotifyEvent handler)
{
    if (name != "OnTimer")
        return TComponent::SetEvent(name, std::move(handler));
    SetOnTimer(std::move(handler));
    return true;
}

void RegisterStandardComponents()
{
    RegisterComponentClass("TImage", [](TComponent* owner) { return new TImage(owner); });
    RegisterComponentClass("TTimer", [](TComponent* owner) { return new TTimer(owner); });
}

}
