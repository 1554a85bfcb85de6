#include "toolkit/DeclarationReader.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Forms.h"

namespace toolkit {

namespace {

[[noreturn]] void Fail(int line, const std::string& what)
{
    throw EReadError("Declaration line " + std::to_string(line) + ": " + what);
}

void ReadProperties(TForm& form, TComponent& component, const DeclarationNode& node)
{
    for (const PropertyEntry& entry : node.Properties) {
        const std::string item = node.Name + "." + entry.Name;
        try {
            if (entry.Name.starts_with("On")) {
                TNotifyEvent handler;
                if (!form.FindMethod(entry.Value.AsIdentifier(), handler))
                    Fail(entry.Line, "no handler named " + entry.Value.Text + " for " + item);
                if (!component.SetEvent(entry.Name, std::move(handler)))
                    Fail(entry.Line, "unknown event " + item);
            } else if (!component.SetProperty(entry.Name, entry.Value)) {
                Fail(entry.Line, "unknown property " + item);
            }
        } catch (const Exception& error) {
            if (std::string(error.what()).starts_with("Declaration line "))
                throw;
            Fail(entry.Line, item + ": " + error.what());
        }
    }
}

}

void ReadDeclaration(TForm& form, const std::string& className, const DeclarationNode& root)
{
    if (root.ClassName != className)
        Fail(root.Line, "declares " + root.ClassName + ", not " + className);
    form.Name = root.Name;
    ReadProperties(form, form, root);
    for (const DeclarationNode& child : root.Children) {
        if (!child.Children.empty())
            Fail(child.Children.front().Line, "only the form holds components");
        TComponent* component = CreateComponentByClassName(child.ClassName, &form);
        if (!component)
            Fail(child.Line, "unknown class " + child.ClassName + " of " + child.Name);
        component->Name = child.Name;
        if (!form.BindField(child.Name, component))
            Fail(child.Line, "no field named " + child.Name + " of class " + child.ClassName);
        if (auto* control = dynamic_cast<TControl*>(component))
            control->SetParent(&form);
        ReadProperties(form, *component, child);
        component->Loaded();
    }
}

}
