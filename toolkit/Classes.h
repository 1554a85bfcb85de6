// The root of every toolkit object and the component tree: an owner frees the
// components it owns, last created first. Components take their properties
// from a declaration by name.
#pragma once

#include "toolkit/Declaration.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace toolkit {

class TObject {
public:
    virtual ~TObject() = default;
};

// An event handler; Sender is the component whose event it is.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string Name;
    TComponent* Owner() const { return m_owner; }
    const std::vector<TComponent*>& Components() const { return m_components; }

    // Applies a declared property; false when this class has none of that
    // name. Throws EReadError when the value does not fit.
    virtual bool SetProperty(const std::string& name, const PropertyValue& value);
    // Binds a declared event (OnClick and the like); false when unknown.
    virtual bool SetEvent(const std::string& name, TNotifyEvent handler);
    // Called once all of the component's declared properties are read.
    virtual void Loaded() { }

private:
    TComponent* m_owner;
    std::vector<TComponent*> m_components;
};

using ComponentFactory = std::function<TComponent*(TComponent* owner)>;

// Component classes by the names declarations use ("TImage", "TTimer").
void RegisterComponentClass(const std::string& className, ComponentFactory factory);
// Returns nullptr when no class of that name is registered.
TComponent* CreateComponentByClassName(const std::string& className, TComponent* owner);

}
