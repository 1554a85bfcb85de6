#include "toolkit/Forms.h"

#include "toolkit/Application.h"
#include "toolkit/DeclarationReader.h"
#include "toolkit/Exceptions.h"

#include <algorithm>
#include <map>

namespace toolkit {

namespace {

template <class Value>
Value Lookup(const std::map<std::string, Value>& names, const std::string& name, const char* what)
{
    auto found = names.find(name);
    if (found == names.end())
        throw EReadError(std::string("unknown ") + what + " " + name);
    return found->second;
}

TColor ColorValue(const PropertyValue& value)
{
    static const std::map<std::string, TColor> names {
        { "clBlack", clBlack }, { "clWhite", clWhite }, { "clWindowText", clWindowText },
        { "clBtnFace", 0x8000000F }, { "clWindow", 0x80000005 },
    };
    if (value.Type == PropertyValue::Kind::Integer)
        return TColor(value.Integer);
    return Lookup(names, value.AsIdentifier(), "colour");
}

int CharsetValue(const PropertyValue& value)
{
    static const std::map<std::string, int> names {
        { "ANSI_CHARSET", 0 }, { "DEFAULT_CHARSET", 1 }, { "SYMBOL_CHARSET", 2 }, { "SHIFTJIS_CHARSET", 128 },
    };
    if (value.Type == PropertyValue::Kind::Integer)
        return int(value.Integer);
    return Lookup(names, value.AsIdentifier(), "character set");
}

}

TForm::TForm(TComponent* AOwner)
    : TComponent(AOwner)
    , Canvas(m_client)
{
}

TForm::~TForm()
{
    // Components go first, while the window they might refer to still exists.
    while (!Components().empty())
        delete Components().back();
}

void TForm::Create(const std::string& className, std::string_view declaration)
{
    ReadDeclaration(*this, className, ParseDeclaration(declaration));
    CreateWindowHandle();
    // OnCreate runs once construction is complete; what it throws is shown
    // and the form lives on.
    Application->Dispatch([this] {
        if (OnCreate)
            OnCreate(this);
    });
}

void TForm::CreateWindowHandle()
{
    m_client = Surface(ClientWidth, ClientHeight, Surface::FromColor(Color));
    WindowOptions options;
    options.Left = Left;
    options.Top = Top;
    options.ClientWidth = ClientWidth;
    options.ClientHeight = ClientHeight;
    options.FixedSize = BorderStyle != TBorderStyle::bsSizeable && BorderStyle != TBorderStyle::bsSizeToolWin;
    options.SystemMenu = BorderIcons.contains(TBorderIcon::biSystemMenu);
    options.MinimizeBox = options.SystemMenu && BorderIcons.contains(TBorderIcon::biMinimize);
    options.MaximizeBox = options.SystemMenu && !options.FixedSize && BorderIcons.contains(TBorderIcon::biMaximize);
    m_window = Application->Platform().CreateWindow(options, *this);
    m_window->SetTitle(m_caption);
    if (!Icon.Empty())
        m_window->SetIcon(Icon.Image());
    Repaint();
}

std::string TForm::Caption() const
{
    return m_window ? m_window->Title() : m_caption;
}

void TForm::SetCaption(const std::string& text)
{
    m_caption = text.substr(0, text.find('\0'));
    if (m_window)
        m_window->SetTitle(m_caption);
}

void TForm::Show()
{
    if (m_showing || !m_window)
        return;
    m_showing = true;
    m_window->Show();
}

void TForm::Close()
{
    if (Application->MainForm() == this)
        Application->Terminate();
    else if (m_window && m_showing) {
        m_showing = false;
        m_window->Hide();
    }
}

void TForm::Repaint()
{
    m_repaintPending = false;
    m_client.FillRect(m_client.Bounds(), Surface::FromColor(Color));
    for (TControl* control : m_controls) {
        if (control->Visible())
            control->Paint(m_client, control->BoundsRect().Intersected(m_client.Bounds()));
    }
    m_client.MarkDirty(m_client.Bounds());
}

void TForm::PresentChanges()
{
    if (m_repaintPending)
        Repaint();
    if (!m_client.HasDirty() || !m_window)
        return;
    std::vector<Rect> dirty = m_client.TakeDirty();
    m_window->Present(m_client, dirty);
}

bool TForm::BindField(const std::string& name, TComponent* component)
{
    auto found = m_fields.find(name);
    return found != m_fields.end() && found->second(component);
}

bool TForm::FindMethod(const std::string& name, TNotifyEvent& handler) const
{
    auto found = m_methods.find(name);
    if (found == m_methods.end())
        return false;
    handler = found->second;
    return true;
}

bool TForm::SetProperty(const std::string& name, const PropertyValue& value)
{
    static const std::map<std::string, TBorderStyle> borderStyles {
        { "bsNone", TBorderStyle::bsNone }, { "bsSingle", TBorderStyle::bsSingle },
        { "bsSizeable", TBorderStyle::bsSizeable }, { "bsDialog", TBorderStyle::bsDialog },
        { "bsToolWindow", TBorderStyle::bsToolWindow }, { "bsSizeToolWin", TBorderStyle::bsSizeToolWin },
    };
    static const std::map<std::string, TBorderIcon> borderIcons {
        { "biSystemMenu", TBorderIcon::biSystemMenu }, { "biMinimize", TBorderIcon::biMinimize },
        { "biMaximize", TBorderIcon::biMaximize }, { "biHelp", TBorderIcon::biHelp },
    };
    static const std::map<std::string, TFontStyle> fontStyles {
        { "fsBold", TFontStyle::Bold }, { "fsItalic", TFontStyle::Italic },
        { "fsUnderline", TFontStyle::Underline }, { "fsStrikeOut", TFontStyle::StrikeOut },
    };
    // The client surface is allocated at this size: keep it to what a screen
    // can show.
    auto size = [&](int& field) {
        long long pixels = value.AsInteger();
        if (pixels < 0 || pixels > 4096)
            throw EReadError("size out of range");
        field = int(pixels);
    };

    if (name == "Left")
        Left = int(value.AsInteger());
    else if (name == "Top")
        Top = int(value.AsInteger());
    else if (name == "ClientWidth")
        size(ClientWidth);
    else if (name == "ClientHeight")
        size(ClientHeight);
    else if (name == "AutoSize")
        AutoSize = value.AsBoolean();
    else if (name == "Constraints.MinWidth")
        size(Constraints.MinWidth);
    else if (name == "Constraints.MaxWidth")
        size(Constraints.MaxWidth);
    else if (name == "Constraints.MinHeight")
        size(Constraints.MinHeight);
    else if (name == "Constraints.MaxHeight")
        size(Constraints.MaxHeight);
    else if (name == "BorderStyle")
        BorderStyle = Lookup(borderStyles, value.AsIdentifier(), "border style");
    else if (name == "BorderIcons") {
        BorderIcons.clear();
        for (const std::string& icon : value.AsSet())
            BorderIcons.insert(Lookup(borderIcons, icon, "border icon"));
    } else if (name == "Color")
        Color = ColorValue(value);
    else if (name == "Caption")
        SetCaption(value.AsString());
    else if (name == "Icon.Data")
        Icon.LoadFromBytes(value.AsBinary());
    else if (name == "Font.Charset")
        Font.Charset = CharsetValue(value);
    else if (name == "Font.Color")
        Font.Color = ColorValue(value);
    else if (name == "Font.Height")
        Font.Height = int(value.AsInteger());
    else if (name == "Font.Name")
        Font.Name = value.AsString();
    else if (name == "Font.Style") {
        Font.Style.clear();
        for (const std::string& style : value.AsSet())
            Font.Style.push_back(Lookup(fontStyles, style, "font style"));
    } else if (name == "PixelsPerInch")
        PixelsPerInch = int(value.AsInteger());
    else if (name == "TextHeight")
        TextHeight = int(value.AsInteger());
    else if (name == "OldCreateOrder")
        OldCreateOrder = value.AsBoolean();
    else
        return TComponent::SetProperty(name, value);
    return true;
}

bool TForm::SetEvent(const std::string& name, TNotifyEvent handler)
{
    if (name == "OnCreate")
        OnCreate = std::move(handler);
    else if (name == "OnDestroy")
        OnDestroy = std::move(handler);
    else
        return TComponent::SetEvent(name, std::move(handler));
    return true;
}

void TForm::InsertControl(TControl* control)
{
    m_controls.push_back(control);
    Invalidate();
}

void TForm::RemoveControl(TControl* control)
{
    m_controls.erase(std::remove(m_controls.begin(), m_controls.end(), control), m_controls.end());
    if (m_pressed == control)
        m_pressed = nullptr;
    Invalidate();
}

void TForm::BeforeDestruction()
{
    if (m_destroying)
        return;
    m_destroying = true;
    if (m_window && m_showing) {
        m_showing = false;
        m_window->Hide();
    }
    Application->Dispatch([this] {
        if (OnDestroy)
            OnDestroy(this);
    });
}

TControl* TForm::ControlAt(int x, int y) const
{
    if (!m_client.Bounds().Contains(x, y))
        return nullptr;
    for (auto it = m_controls.rbegin(); it != m_controls.rend(); ++it) {
        if ((*it)->Visible() && (*it)->BoundsRect().Contains(x, y))
            return *it;
    }
    return nullptr;
}

void TForm::Exposed()
{
    Application->Dispatch([this] { Repaint(); });
}

void TForm::MouseDown(MouseButton button, int x, int y)
{
    if (button == MouseButton::Left)
        m_pressed = ControlAt(x, y);
}

void TForm::MouseUp(MouseButton button, int x, int y)
{
    if (button != MouseButton::Left)
        return;
    TControl* pressed = std::exchange(m_pressed, nullptr);
    if (pressed && pressed == ControlAt(x, y))
        Application->Dispatch([pressed] { pressed->Click(); });
}

void TForm::CloseRequested()
{
    Application->Dispatch([this] { Close(); });
}

}
