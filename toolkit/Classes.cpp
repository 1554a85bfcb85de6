#include "toolkit/Classes.h"

#include <algorithm>
#include <map>

namespace toolkit {

TComponent::TComponent(TComponent* AOwner)
    : m_owner(AOwner)
{
    if (m_owner)
        m_owner->m_components.push_back(this);
}

TComponent::~TComponent()
{
    while (!m_components.empty()) {
        TComponent* last = m_components.back();
        m_components.pop_back();
        last->m_owner = nullptr;
        delete last;
    }
    if (m_owner) {
        auto& siblings = m_owner->m_components;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

bool TComponent::SetProperty(const std::string&, const PropertyValue&)
{
    return false;
}

bool TComponent::SetEvent(const std::string&, TNotifyEvent)
{
    return false;
}

namespace {
std::map<std::string, ComponentFactory>& ComponentClasses()
{
    static std::map<std::string, ComponentFactory> classes;
    return classes;
}
}

void RegisterComponentClass(const std::string& className, ComponentFactory factory)
{
    ComponentClasses()[className] = std::move(factory);
}

TComponent* CreateComponentByClassName(const std::string& className, TComponent* owner)
{
    auto found = ComponentClasses().find(className);
    return found == ComponentClasses().end() ? nullptr : found->second(owner);
}

}
