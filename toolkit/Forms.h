// A top-level window built from its stored declaration: its client surface,
// the controls painted on it, its canvas, and the published fields and
// handlers the declaration binds by name.
#pragma once

#include "toolkit/Backend.h"
#include "toolkit/Classes.h"
#include "toolkit/Controls.h"
#include "toolkit/Graphics.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace toolkit {

enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };

struct TSizeConstraints {
    int MinWidth = 0;
    int MaxWidth = 0;
    int MinHeight = 0;
    int MaxHeight = 0;
};

class TForm : public TComponent, private WindowEvents {
    // First, so that Canvas can draw on it from construction on.
    Surface m_client;

public:
    explicit TForm(TComponent* AOwner);
    ~TForm() override;

    // Declared properties. Sizes are in pixels; Left and Top place the
    // window's outer corner on the screen.
    int Left = 0;
    int Top = 0;
    int ClientWidth = 0;
    int ClientHeight = 0;
    bool AutoSize = false;
    TSizeConstraints Constraints;
    TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
    std::set<TBorderIcon> BorderIcons { TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize };
    TColor Color = 0x00F0F0F0;
    TIcon Icon;
    TFont Font;
    int PixelsPerInch = 96;
    int TextHeight = 13;
    bool OldCreateOrder = false;
    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

    // Draws straight onto the client surface.
    TCanvas Canvas;

    // The window title, as the window system holds it. The text is handed
    // over as a C string, so it ends at its first NUL.
    std::string Caption() const;
    void SetCaption(const std::string& text);

    // Builds the form from the declaration text: its own properties, then
    // each component, and finally runs OnCreate.
    void Create(const std::string& className, std::string_view declaration);
    void Show();
    void Close();
    bool Showing() const { return m_showing; }

    // Repaints the whole client area once the running handler returns.
    void Invalidate() { m_repaintPending = true; }
    // White background, then the visible controls, in creation order.
    void Repaint();
    // Carries out a pending repaint and shows what changed; called after
    // every handler.
    void PresentChanges();

    const Surface& ClientSurface() const { return m_client; }
    NativeWindow* Window() const { return m_window.get(); }

    // For the declaration: published fields and handlers, by name.
    bool BindField(const std::string& name, TComponent* component);
    bool FindMethod(const std::string& name, TNotifyEvent& handler) const;
    bool SetProperty(const std::string& name, const PropertyValue& value) override;
    bool SetEvent(const std::string& name, TNotifyEvent handler) override;

    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);

    // Runs OnDestroy with the window hidden while the components still exist;
    // the owner calls it just before deleting the form.
    void BeforeDestruction();

protected:
    template <class Form, class Component>
    void PublishField(const std::string& name, Component* Form::*field)
    {
        m_fields[name] = [this, field](TComponent* component) {
            auto* typed = dynamic_cast<Component*>(component);
            if (typed)
                static_cast<Form*>(this)->*field = typed;
            return typed != nullptr;
        };
    }
    template <class Form>
    void PublishMethod(const std::string& name, void (Form::*method)(TObject*))
    {
        m_methods[name] = [this, method](TObject* sender) { (static_cast<Form*>(this)->*method)(sender); };
    }

private:
    void CreateWindowHandle();

    void Exposed() override;
    void MouseDown(MouseButton button, int x, int y) override;
    void MouseUp(MouseButton button, int x, int y) override;
    void CloseRequested() override;
    TControl* ControlAt(int x, int y) const;

    std::unique_ptr<NativeWindow> m_window;
    std::string m_caption;
    std::vector<TControl*> m_controls;
    TControl* m_pressed = nullptr;
    bool m_repaintPending = false;
    bool m_showing = false;
    bool m_destroying = false;
    std::map<std::string, std::function<bool(TComponent*)>> m_fields;
    std::map<std::string, TNotifyEvent> m_methods;
};

}
