#include "media/CommandString.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using media::CommandError;

// Records what the interpreter asks of its devices, in order.
using CallLog = std::vector<std::string>;

class RecordingDevice final : public media::SequencerDevice {
public:
    explicit RecordingDevice(std::shared_ptr<CallLog> log)
        : Log(std::move(log))
    {
    }
    ~RecordingDevice() override { Log->push_back("release"); }
    CommandError Play() override
    {
        Log->push_back("play");
        return CommandError::None;
    }
    CommandError Stop() override
    {
        Log->push_back("stop");
        return CommandError::None;
    }

private:
    std::shared_ptr<CallLog> Log;
};

struct Step {
    std::string Command;
    CommandError Expected;
};

struct Script {
    std::string Name;
    std::vector<Step> Steps;
    CallLog ExpectedCalls;
};

const std::string OpenTune = "open []\\;;;;;.mid type sequencer alias midifile";

std::vector<Script> Scripts()
{
    const CommandError ok = CommandError::None;
    return {
        {"WholeLifeOfTheProgram",
         {{OpenTune, ok}, {"play midifile", ok}, {"play midifile", ok}, {"stop midifile", ok}, {"close midifile", ok}},
         {"open []/;;;;;.mid", "play", "play", "stop", "release"}},
        {"ExtraWhiteSpaceSeparatesWords",
         {{"  open\t[]\\;;;;;.mid   type  sequencer alias   midifile ", ok}, {"play    midifile  ", ok}},
         {"open []/;;;;;.mid", "play", "release"}},
        {"CommandsKeywordsAndAliasesIgnoreCase",
         {{"OPEN []\\;;;;;.mid TYPE Sequencer ALIAS MidiFile", ok}, {"Play MIDIFILE", ok}},
         {"open []/;;;;;.mid", "play", "release"}},
        {"UnknownCommands",
         {{OpenTune, ok}, {"pause midifile", CommandError::UnknownCommand}, {"", CommandError::UnknownCommand},
          {"   ", CommandError::UnknownCommand}, {"playmidifile", CommandError::UnknownCommand}},
         {"open []/;;;;;.mid", "release"}},
        {"UnknownAlias",
         {{OpenTune, ok}, {"play tune", CommandError::UnknownAlias}, {"stop tune", CommandError::UnknownAlias}},
         {"open []/;;;;;.mid", "release"}},
        {"NeverOpenedAlias",
         {{"play midifile", CommandError::UnknownAlias}, {"stop midifile", CommandError::UnknownAlias},
          {"close midifile", CommandError::UnknownAlias}},
         {}},
        {"SecondOpenOfLiveAliasKeepsTheFirst",
         {{OpenTune, ok}, {OpenTune, CommandError::AliasInUse}, {"play midifile", ok}},
         {"open []/;;;;;.mid", "play", "release"}},
        {"AliasIsFreeAgainAfterClose",
         {{OpenTune, ok}, {"close midifile", ok}, {OpenTune, ok}},
         {"open []/;;;;;.mid", "release", "open []/;;;;;.mid", "release"}},
        {"CloseThenPlay",
         {{OpenTune, ok}, {"close midifile", ok}, {"play midifile", CommandError::UnknownAlias},
          {"close midifile", CommandError::UnknownAlias}},
         {"open []/;;;;;.mid", "release"}},
        {"MissingElementOpensNothing",
         {{"open []\\missing.mid type sequencer alias midifile", CommandError::ElementNotFound},
          {"open missing\\;;;;;.mid type sequencer alias midifile", CommandError::ElementNotFound},
          {"open [] type sequencer alias midifile", CommandError::ElementNotFound},
          {"play midifile", CommandError::UnknownAlias}},
         {}},
        {"DeviceRefusingTheFileOpensNothing",
         {{"open []\\refused.mid type sequencer alias midifile", CommandError::InvalidElement},
          {"play midifile", CommandError::UnknownAlias}},
         {"open []/refused.mid"}},
        {"MalformedOpen",
         {{"open []\\;;;;;.mid type waveaudio alias midifile", CommandError::UnknownDeviceType},
          {"open []\\;;;;;.mid type sequencer", CommandError::BadParameters},
          {"open []\\;;;;;.mid type sequencer alias", CommandError::BadParameters},
          {"open []\\;;;;;.mid type sequencer alias midifile wait", CommandError::BadParameters},
          {"open []\\;;;;;.mid sequencer alias midifile", CommandError::BadParameters},
          {"open", CommandError::BadParameters}},
         {}},
        {"MalformedPlayStopClose",
         {{OpenTune, ok}, {"play", CommandError::BadParameters}, {"play midifile from 0", CommandError::BadParameters},
          {"stop", CommandError::BadParameters}, {"close midifile now", CommandError::BadParameters}},
         {"open []/;;;;;.mid", "release"}},
    };
}

// Runs in a folder holding "[]/;;;;;.mid" and "[]/refused.mid", as the program does.
class CommandInterpreterTest : public testing::TestWithParam<Script> {
protected:
    void SetUp() override
    {
        Previous = std::filesystem::current_path();
        Folder = std::filesystem::path(testing::TempDir()) / ("command-string-" + GetParam().Name);
        std::filesystem::create_directories(Folder / "[]");
        std::ofstream(Folder / "[]" / ";;;;;.mid") << "MThd";
        std::ofstream(Folder / "[]" / "refused.mid") << "MThd";
        std::filesystem::current_path(Folder);
    }

    void TearDown() override
    {
        std::filesystem::current_path(Previous);
        std::filesystem::remove_all(Folder);
    }

    std::filesystem::path Previous;
    std::filesystem::path Folder;
};

TEST_P(CommandInterpreterTest, ResultsAndDeviceCalls)
{
    auto log = std::make_shared<CallLog>();
    {
        media::CommandInterpreter interpreter([log](const std::filesystem::path& element) {
            log->push_back("open " + element.string());
            if (element.filename() == "refused.mid")
                return media::OpenedDevice{CommandError::InvalidElement, nullptr};
            return media::OpenedDevice{CommandError::None, std::make_unique<RecordingDevice>(log)};
        });
        for (const Step& step : GetParam().Steps)
            EXPECT_EQ(interpreter.Execute(step.Command), step.Expected) << '"' << step.Command << '"';
    }
    EXPECT_EQ(*log, GetParam().ExpectedCalls);
}

INSTANTIATE_TEST_SUITE_P(Scripts, CommandInterpreterTest, testing::ValuesIn(Scripts()),
                         [](const testing::TestParamInfo<Script>& info) { return info.param.Name; });

TEST(SendCommandStringTest, HandlerReceivesExactStringsUntilRestored)
{
    std::vector<std::string> sent;
    const media::CommandStringHandler previous = media::SetCommandStringHandler([&sent](const std::string& command) {
        sent.push_back(command);
        return 7;
    });
    EXPECT_FALSE(previous);
    EXPECT_EQ(media::SendCommandString(OpenTune), 7);
    EXPECT_EQ(media::SendCommandString("play midifile"), 7);
    EXPECT_EQ(sent, (std::vector<std::string>{OpenTune, "play midifile"}));

    EXPECT_TRUE(media::SetCommandStringHandler(previous));
    // The real interpreter: nothing is open, and nothing it is sent may throw.
    EXPECT_EQ(media::SendCommandString("play midifile"), static_cast<int>(CommandError::UnknownAlias));
    EXPECT_EQ(media::SendCommandString("open nothing\\here.mid type sequencer alias midifile"),
              static_cast<int>(CommandError::ElementNotFound));
    EXPECT_EQ(media::SendCommandString("bogus"), static_cast<int>(CommandError::UnknownCommand));
    EXPECT_EQ(sent.size(), 2u);
}

TEST(NativePathTest, EveryBackslashIsAFolderSeparator)
{
    EXPECT_EQ(media::NativePath("a\\b\\c.mid"), std::filesystem::path("a") / "b" / "c.mid");
}

} // namespace
