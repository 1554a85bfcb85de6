// The real TForm1 on the headless backend, in a scratch folder that holds
// whatever picture and tune a test puts there, with every command string the
// form sends recorded.
#pragma once

#include "Unit1.h"
#include "media/CommandString.h"
#include "toolkit/Random.h"
#include "toolkit/headless/HeadlessBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// Opens TForm1's state to the tests and records the drawing operations the
// handlers reach through dynamic dispatch.
class TForm1Probe : public TForm1 {
public:
    using TForm1::TForm1;
    using TForm1::CircleScale;
    using TForm1::CircleStep;
    using TForm1::MidiPath;
    using TForm1::Tick;

    void DrawDot() override
    {
        Draws.push_back("DrawDot");
        TForm1::DrawDot();
    }
    void DrawCircle(bool Grow) override
    {
        Draws.push_back(Grow ? "DrawCircle(true)" : "DrawCircle(false)");
        TForm1::DrawCircle(Grow);
    }
    void DrawBorderNoise() override
    {
        Draws.push_back("DrawBorderNoise");
        TForm1::DrawBorderNoise();
    }

    std::vector<std::string> Draws;
};

class Form1Fixture : public testing::Test {
protected:
    // 12:34:56.789 UTC
    static constexpr std::int64_t SeedTime = 45296789;

    void SetUp() override
    {
        m_previousDirectory = std::filesystem::current_path();
        // A parameterised test's name holds a "/", which must not nest folders.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        m_folder = std::filesystem::temp_directory_path()
            / ("whiteout-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + name);
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        std::filesystem::current_path(m_folder);
        m_previousHandler = media::SetCommandStringHandler([this](const std::string& command) {
            Commands.push_back(command);
            return 0;
        });
    }

    void TearDown() override
    {
        toolkit::Application->Shutdown();
        media::SetCommandStringHandler(m_previousHandler);
        std::filesystem::current_path(m_previousDirectory);
        std::filesystem::remove_all(m_folder);
    }

    // Puts a fixture from tests/data where the program looks for its picture.
    void ProvidePicture(const std::string& fixture)
    {
        std::filesystem::create_directories("[]");
        std::filesystem::copy_file(std::filesystem::path(WHITEOUT_TEST_DATA) / fixture, "[]/sketch5421365.jpg");
    }

    void Start()
    {
        auto backend = std::make_unique<toolkit::HeadlessBackend>();
        backend->TimeOfDayMs = SeedTime;
        Backend = backend.get();
        toolkit::Application->Initialize(std::move(backend));
        toolkit::Application->CreateForm(Form);
        ASSERT_NE(Form, nullptr) << (Backend->ErrorBoxes.empty() ? "" : Backend->ErrorBoxes[0].Message);
        Window = Backend->LastWindow();
        Form->Show();
    }

    toolkit::TColor ScreenPixel(int x, int y) const
    {
        return toolkit::Surface::ToColor(Window->Screen.PixelAt(x, y));
    }

    TForm1Probe* Form = nullptr;
    toolkit::HeadlessBackend* Backend = nullptr;
    toolkit::HeadlessWindow* Window = nullptr;
    std::vector<std::string> Commands;

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_previousDirectory;
    media::CommandStringHandler m_previousHandler;
};
