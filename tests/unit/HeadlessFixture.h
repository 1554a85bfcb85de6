// A toolkit test's world: a headless application whose clock, window and
// error boxes the test controls, and a small form to declare things on.
#pragma once

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"
#include "toolkit/headless/HeadlessBackend.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

class TTestForm : public toolkit::TForm {
public:
    static constexpr const char* ClassName = "TTestForm";

    explicit TTestForm(toolkit::TComponent* AOwner)
        : TForm(AOwner)
    {
        PublishField("Image1", &TTestForm::Image1);
        PublishField("Timer1", &TTestForm::Timer1);
        PublishMethod("FormCreate", &TTestForm::FormCreate);
        PublishMethod("Timer1Timer", &TTestForm::Timer1Timer);
        PublishMethod("Image1Click", &TTestForm::Image1Click);
        Behaviour = BehaviourFromCreation;
    }

    toolkit::TImage* Image1 = nullptr;
    toolkit::TTimer* Timer1 = nullptr;

    void FormCreate(toolkit::TObject*) { Record("FormCreate"); }
    void Timer1Timer(toolkit::TObject*) { Record("Timer1Timer"); }
    void Image1Click(toolkit::TObject*) { Record("Image1Click"); }

    // What each handler does besides being recorded: a test sets it.
    std::function<void(const std::string&)> Behaviour;
    // The behaviour new forms start with, so that OnCreate can have one.
    static inline std::function<void(const std::string&)> BehaviourFromCreation;
    std::vector<std::string> Calls;

private:
    void Record(const std::string& handler)
    {
        Calls.push_back(handler);
        if (Behaviour)
            Behaviour(handler);
    }
};

class HeadlessFixture : public testing::Test {
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<toolkit::HeadlessBackend>();
        Backend = backend.get();
        toolkit::Application->Initialize(std::move(backend));
    }
    void TearDown() override
    {
        toolkit::Application->Shutdown();
        TTestForm::BehaviourFromCreation = nullptr;
    }

    // Declares TTestForm with the given text and creates it.
    TTestForm* CreateTestForm(const std::string& declaration)
    {
        m_declaration = declaration;
        toolkit::RegisterResource("TTESTFORM",
            { reinterpret_cast<const std::uint8_t*>(m_declaration.data()), m_declaration.size() });
        TTestForm* form = nullptr;
        toolkit::Application->CreateForm(form);
        return form;
    }

    toolkit::HeadlessBackend* Backend = nullptr;

private:
    std::string m_declaration;
};
