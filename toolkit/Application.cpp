#include "toolkit/Application.h"

#include "toolkit/Controls.h"
#include "toolkit/Exceptions.h"

#include <algorithm>

namespace toolkit {

namespace {
TApplication TheApplication;
}

TApplication* const Application = &TheApplication;

std::string ApplicationTitleFromPath(const std::string& executablePath)
{
    // File names are already in the system's own character set here, so the
    // conversion from the console's code page has nothing to do.
    std::size_t slash = executablePath.find_last_of("/\\");
    std::string title = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
    title = title.substr(0, title.find('.'));
    for (std::size_t i = 1; i < title.size(); ++i) {
        if (title[i] >= 'A' && title[i] <= 'Z')
            title[i] = char(title[i] - 'A' + 'a');
    }
    return title;
}

std::string ErrorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void TApplication::Initialize(std::unique_ptr<Backend> backend)
{
    m_backend = std::move(backend);
    m_terminated = false;
    m_title = ApplicationTitleFromPath(m_backend->ExecutablePath());
    RegisterStandardComponents();

    TIcon icon;
    std::span<const std::uint8_t> mainIcon = FindResource("MAINICON");
    if (!mainIcon.empty())
        icon.LoadFromBytes(Bytes(mainIcon.begin(), mainIcon.end()));
    m_backend->SetApplicationIdentity(m_title, icon.Image());
}

std::string TApplication::FindResourceText(const std::string& className)
{
    std::string name = className;
    std::transform(name.begin(), name.end(), name.begin(), [](char c) { return char(std::toupper(c)); });
    std::span<const std::uint8_t> data = FindResource(name);
    if (data.empty())
        throw EReadError("Resource " + name + " not found");
    return std::string(data.begin(), data.end());
}

void TApplication::Run()
{
    if (!m_terminated && m_mainForm) {
        m_mainForm->Show();
        m_backend->Run();
    }
    Shutdown();
}

void TApplication::Discard(TForm* form)
{
    m_forms.erase(std::remove(m_forms.begin(), m_forms.end(), form), m_forms.end());
    if (m_mainForm == form)
        m_mainForm = nullptr;
    delete form;
}

void TApplication::Terminate()
{
    m_terminated = true;
    if (m_backend)
        m_backend->Quit();
}

void TApplication::Shutdown()
{
    DestroyForms();
    m_backend.reset();
    m_terminated = false;
}

void TApplication::DestroyForms()
{
    while (!m_forms.empty()) {
        TForm* form = m_forms.back();
        form->BeforeDestruction();
        m_forms.pop_back();
        if (m_mainForm == form)
            m_mainForm = nullptr;
        delete form;
    }
}

void TApplication::ShowException(const std::string& message)
{
    m_backend->ShowErrorBox(m_title, ErrorBoxText(message));
}

void TApplication::PresentChanges()
{
    for (TForm* form : m_forms)
        form->PresentChanges();
}

Backend& TApplication::Platform()
{
    if (!m_backend)
        throw Exception("The application is not initialised");
    return *m_backend;
}

}
