// The application object: owns the backend and the forms, runs the event
// loop, and catches what a handler throws so the program carries on.
#pragma once

#include "toolkit/Backend.h"
#include "toolkit/Forms.h"
#include "toolkit/Resources.h"

#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace toolkit {

// The executable's file name without its folder, cut at the first ".", every
// character after the first in lower case.
std::string ApplicationTitleFromPath(const std::string& executablePath);
// The error box's text: the message, with "." appended when its last
// character sorts after ".".
std::string ErrorBoxText(const std::string& message);

class TApplication {
public:
    // Starts on the platform's backend, or on the one given (tests pass a
    // headless one).
    void Initialize();
    void Initialize(std::unique_ptr<Backend> backend);

    // Allocates the form, lets reference point to it, builds it from the
    // declaration named after its class, and runs its OnCreate. The first
    // form created is the main form.
    template <class Form>
    void CreateForm(Form*& reference)
    {
        auto* form = new Form(nullptr);
        m_forms.push_back(form);
        reference = form;
        if (!m_mainForm)
            m_mainForm = form;
        try {
            form->Create(Form::ClassName, FindResourceText(Form::ClassName));
        } catch (const std::exception& error) {
            // A form whose declaration cannot be read never existed.
            reference = nullptr;
            Discard(form);
            ShowException(error.what());
        }
    }

    // Shows the main form and dispatches events until it is closed, then
    // destroys the forms and releases the backend.
    void Run();
    void Terminate();
    bool Terminated() const { return m_terminated; }
    // Destroys every form (OnDestroy runs) and releases the backend.
    void Shutdown();

    // Runs one handler; what it throws is shown in the error box, and what it
    // drew is presented when it returns.
    template <class Handler>
    void Dispatch(Handler&& handler)
    {
        try {
            std::forward<Handler>(handler)();
        } catch (const std::exception& error) {
            ShowException(error.what());
        }
        PresentChanges();
    }
    void ShowException(const std::string& message);

    const std::string& Title() const { return m_title; }
    TForm* MainForm() const { return m_mainForm; }
    Backend& Platform();

private:
    static std::string FindResourceText(const std::string& className);
    void PresentChanges();
    void DestroyForms();
    void Discard(TForm* form);

    std::unique_ptr<Backend> m_backend;
    std::vector<TForm*> m_forms;
    TForm* m_mainForm = nullptr;
    std::string m_title;
    bool m_terminated = false;
};

extern TApplication* const Application;

}
