#include "media/FluidSequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using media::CommandError;
using media::FluidSequencer;
using Bytes = std::vector<std::uint8_t>;

const std::filesystem::path DemoTune = std::filesystem::path(WHITEOUT_SOURCE_DIR) / "demo" / "[]" / ";;;;;.mid";

// Anything below this is silence; the quietest note here peaks near 0.02.
constexpr float Audible = 1e-3f;

// The audio output of a test: samples are rendered on the test's thread, in the
// amounts the test asks for, so the test decides how far the tune has played.
class ManualRenderer {
public:
    media::AudioOutputFactory Factory()
    {
        return [shared = Shared](fluid_settings_t* settings, fluid_synth_t* synth) -> std::unique_ptr<media::AudioOutput> {
            if (shared->Unplugged)
                return nullptr;
            return std::make_unique<Output>(shared, settings, synth);
        };
    }

    // While unplugged, the factory finds no audio device.
    void SetUnplugged(bool unplugged)
    {
        std::lock_guard lock(Shared->Mutex);
        Shared->Unplugged = unplugged;
    }

    int OutputsMade() const
    {
        std::lock_guard lock(Shared->Mutex);
        return Shared->Made;
    }

    // Renders some seconds; false, rendering nothing, when the device has no output.
    bool Render(double seconds)
    {
        std::lock_guard lock(Shared->Mutex);
        if (Shared->Synth == nullptr)
            return false;
        const int frames = static_cast<int>(seconds * Shared->SampleRate);
        std::vector<float> left(frames), right(frames);
        fluid_synth_write_float(Shared->Synth, frames, left.data(), 0, 1, right.data(), 0, 1);
        for (int i = 0; i < frames; ++i)
            Samples.push_back(std::max(std::abs(left[i]), std::abs(right[i])));
        return true;
    }

    // Renders until the device releases its output, or up to the limit.
    void RenderUntilReleased(double limitSeconds)
    {
        while (RenderedSeconds() < limitSeconds && Render(0.1)) {
        }
        std::unique_lock lock(Shared->Mutex);
        Shared->Released.wait_for(lock, std::chrono::seconds(5), [this] { return Shared->Synth == nullptr; });
    }

    bool HasOutput() const
    {
        std::lock_guard lock(Shared->Mutex);
        return Shared->Synth != nullptr;
    }

    double RenderedSeconds() const { return static_cast<double>(Samples.size()) / Shared->SampleRate; }

    float Peak(double fromSeconds, double toSeconds) const
    {
        const auto from = static_cast<std::size_t>(fromSeconds * Shared->SampleRate);
        const auto to = std::min(Samples.size(), static_cast<std::size_t>(toSeconds * Shared->SampleRate));
        float peak = 0;
        for (std::size_t i = from; i < to; ++i)
            peak = std::max(peak, Samples[i]);
        return peak;
    }

private:
    struct State {
        mutable std::mutex Mutex;
        std::condition_variable Released;
        fluid_synth_t* Synth = nullptr;
        double SampleRate = 44100;
        int Made = 0;
        bool Unplugged = false;
    };

    class Output final : public media::AudioOutput {
    public:
        Output(std::shared_ptr<State> shared, fluid_settings_t* settings, fluid_synth_t* synth)
            : Shared(std::move(shared))
        {
            std::lock_guard lock(Shared->Mutex);
            fluid_settings_getnum(settings, "synth.sample-rate", &Shared->SampleRate);
            Shared->Synth = synth;
            ++Shared->Made;
        }
        ~Output() override
        {
            {
                std::lock_guard lock(Shared->Mutex);
                Shared->Synth = nullptr;
            }
            Shared->Released.notify_all();
        }

    private:
        std::shared_ptr<State> Shared;
    };

    std::shared_ptr<State> Shared = std::make_shared<State>();
    std::vector<float> Samples; // The louder channel of each frame.
};

void AppendBigEndian(Bytes& out, std::uint32_t value, int bytes)
{
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

Bytes Header(std::uint32_t tracks, std::uint32_t division = 480)
{
    Bytes header{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0};
    AppendBigEndian(header, tracks, 2);
    AppendBigEndian(header, division, 2);
    return header;
}

Bytes Chunk(const char* tag, const Bytes& body)
{
    Bytes chunk(tag, tag + 4);
    AppendBigEndian(chunk, static_cast<std::uint32_t>(body.size()), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes EndOfTrack{0x00, 0xFF, 0x2F, 0x00};

// Three half-second notes two seconds apart at the default tempo (a beat lasts
// 0.5 s), dry and on the channel's default program; the track ends at 5 s.
Bytes ThreeNoteEvents()
{
    return {
        0x00, 0xB0, 91, 0,             // Little reverb
        0x00, 0xB0, 93, 0,             // and no chorus, so a cut note falls silent at once.
        0x00, 0x90, 72, 100,           // 0 s
        0x83, 0x60, 0x80, 72, 0,       // 0.5 s
        0x8B, 0x20, 0x90, 76, 100,     // 2 s
        0x83, 0x60, 76, 0,             // 2.5 s, running status and velocity 0.
        0x8B, 0x20, 0x90, 79, 100,     // 4 s
        0x83, 0x60, 0x80, 79, 0,       // 4.5 s
        0x83, 0x60, 0xFF, 0x2F, 0x00,  // 5 s
    };
}

Bytes ThreeNotes()
{
    return Header(1) + Chunk("MTrk", ThreeNoteEvents());
}

class FluidSequencerTest : public testing::Test {
protected:
    void TearDown() override { std::filesystem::remove_all(Folder); }

    std::filesystem::path Write(const std::string& name, const Bytes& bytes)
    {
        std::filesystem::create_directories(Folder);
        const std::filesystem::path path = Folder / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    FluidSequencer::Options Offline() { return {media::DefaultSoundFont(), Renderer.Factory()}; }

    std::unique_ptr<FluidSequencer> OpenOffline(const std::filesystem::path& file)
    {
        media::OpenedDevice opened = FluidSequencer::Open(file, Offline());
        if (opened.Error != CommandError::None)
            throw std::runtime_error("cannot open " + file.string());
        return std::unique_ptr<FluidSequencer>(static_cast<FluidSequencer*>(opened.Device.release()));
    }

    std::filesystem::path Folder = std::filesystem::path(testing::TempDir())
        / ("fluid-sequencer-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    ManualRenderer Renderer;
};

TEST_F(FluidSequencerTest, DemoTuneSoundsThroughoutForTwoToTwoAndAHalfMinutes)
{
    ASSERT_FALSE(media::DefaultSoundFont().empty()) << "fluid-soundfont-gm is not installed";
    const auto sequencer = OpenOffline(DemoTune);
    ASSERT_EQ(sequencer->Play(), CommandError::None);
    sequencer->Synchronize();
    Renderer.RenderUntilReleased(200);
    EXPECT_FALSE(Renderer.HasOutput()) << "the output outlived the tune";

    double lastAudible = 0;
    double longestSilence = 0;
    for (double second = 0; second < Renderer.RenderedSeconds(); ++second) {
        if (Renderer.Peak(second, second + 1) >= Audible) {
            longestSilence = std::max(longestSilence, second - lastAudible);
            lastAudible = second + 1;
        }
    }
    EXPECT_GE(Renderer.Peak(0, 3), Audible) << "the tune starts late";
    EXPECT_GE(lastAudible, 120);
    EXPECT_LE(lastAudible, 150);
    EXPECT_LT(longestSilence, 5);
}

TEST_F(FluidSequencerTest, StopHaltsAndPlayGoesOnFromThere)
{
    const auto sequencer = OpenOffline(Write("three.mid", ThreeNotes()));
    sequencer->Play();
    sequencer->Synchronize();
    ASSERT_TRUE(Renderer.Render(2.25)); // Into the second note.
    EXPECT_GE(Renderer.Peak(0, 0.5), Audible);
    EXPECT_GE(Renderer.Peak(2.0, 2.25), Audible);

    EXPECT_EQ(sequencer->Stop(), CommandError::None);
    sequencer->Synchronize();
    EXPECT_FALSE(Renderer.Render(0.1)) << "a stopped sequencer still renders";

    // Going on from 2.25 s, the second note stays cut and the third sounds at 4 s;
    // from the start, the first note would sound at once.
    sequencer->Play();
    sequencer->Synchronize();
    ASSERT_TRUE(Renderer.Render(1.0));
    // A play while playing changes nothing.
    sequencer->Play();
    sequencer->Synchronize();
    ASSERT_TRUE(Renderer.Render(1.0));
    EXPECT_LT(Renderer.Peak(2.35, 3.95), Audible);
    EXPECT_GE(Renderer.Peak(4.0, 4.25), Audible);
    EXPECT_EQ(Renderer.OutputsMade(), 2);
}

TEST_F(FluidSequencerTest, AtTheEndOutputIsReleasedAndPlayDoesNothing)
{
    const auto sequencer = OpenOffline(Write("three.mid", ThreeNotes()));
    sequencer->Play();
    sequencer->Synchronize();
    Renderer.RenderUntilReleased(30);
    ASSERT_FALSE(Renderer.HasOutput());
    EXPECT_GE(Renderer.Peak(4, 4.5), Audible);

    for (int click = 0; click < 2; ++click) {
        EXPECT_EQ(sequencer->Play(), CommandError::None);
        sequencer->Synchronize();
        EXPECT_FALSE(Renderer.Render(0.5)) << "a play at the end made audio work";
    }
    EXPECT_EQ(sequencer->Stop(), CommandError::None);
    EXPECT_EQ(Renderer.OutputsMade(), 1);
}

TEST_F(FluidSequencerTest, WithoutAudioDevicePlayFailsSilentlyAndKeepsThePosition)
{
    const auto sequencer = OpenOffline(Write("three.mid", ThreeNotes()));
    Renderer.SetUnplugged(true);
    EXPECT_EQ(sequencer->Play(), CommandError::None);
    sequencer->Synchronize();
    EXPECT_EQ(Renderer.OutputsMade(), 0);

    Renderer.SetUnplugged(false);
    sequencer->Play();
    sequencer->Synchronize();
    ASSERT_TRUE(Renderer.Render(0.5));
    EXPECT_GE(Renderer.Peak(0, 0.5), Audible) << "the tune did not start from the beginning";
}

struct FileCase {
    std::string Name;
    Bytes Content;
    CommandError Expected;
};

std::vector<FileCase> FileCases()
{
    const Bytes tune = ThreeNotes();
    return {
        {"Empty", {}, CommandError::InvalidElement},
        {"NotMidi", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00}, CommandError::InvalidElement},
        {"HeaderOnly", Header(1), CommandError::InvalidElement},
        {"Truncated", Bytes(tune.begin(), tune.end() - 10), CommandError::InvalidElement},
        {"TruncatedInHeader", Bytes(tune.begin(), tune.begin() + 10), CommandError::InvalidElement},
        {"FewerTracksThanDeclared", Header(2) + Chunk("MTrk", ThreeNoteEvents()), CommandError::InvalidElement},
        {"LongHeader", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1, 1, 0xE0, 0, 0} + Chunk("MTrk", EndOfTrack),
         CommandError::InvalidElement},
        {"SmpteDivision", Header(1, 0xE728) + Chunk("MTrk", ThreeNoteEvents()), CommandError::InvalidElement},
        {"DataWithoutStatus", Header(1) + Chunk("MTrk", Bytes{0x00, 60, 100} + EndOfTrack), CommandError::InvalidElement},
        {"EventRunsPastTrack", Header(1) + Chunk("MTrk", Bytes{0x00, 0x90, 60}), CommandError::InvalidElement},
        {"NoEndOfTrack", Header(1) + Chunk("MTrk", Bytes{0x00, 0x90, 60, 100}), CommandError::InvalidElement},
        {"ThreeNotes", tune, CommandError::None},
        {"UnknownChunkSkipped", Header(1) + Chunk("XYZW", {1, 2, 3}) + Chunk("MTrk", ThreeNoteEvents()),
         CommandError::None},
    };
}

class TuneFileTest : public FluidSequencerTest, public testing::WithParamInterface<FileCase> {
};

TEST_P(TuneFileTest, OpenChecksTheFile)
{
    const media::OpenedDevice opened = FluidSequencer::Open(Write("tune.mid", GetParam().Content), Offline());
    EXPECT_EQ(opened.Error, GetParam().Expected);
    EXPECT_EQ(opened.Device != nullptr, GetParam().Expected == CommandError::None);
}

INSTANTIATE_TEST_SUITE_P(Files, TuneFileTest, testing::ValuesIn(FileCases()),
                         [](const testing::TestParamInfo<FileCase>& info) { return info.param.Name; });

TEST_F(FluidSequencerTest, MissingFileIsNotFound)
{
    const media::OpenedDevice opened = FluidSequencer::Open(Folder / "missing.mid", Offline());
    EXPECT_EQ(opened.Error, CommandError::ElementNotFound);
}

TEST_F(FluidSequencerTest, WithoutSoundFontEveryCommandFailsSilently)
{
    const std::filesystem::path tune = Write("three.mid", ThreeNotes());
    FluidSequencer::Options none = Offline();
    none.SoundFont = Folder / "missing.sf2";
    EXPECT_EQ(FluidSequencer::Open(tune, none).Error, CommandError::DeviceUnavailable);

    // A SoundFont that exists but does not load fails only once the thread has tried.
    FluidSequencer::Options broken = Offline();
    broken.SoundFont = Write("broken.sf2", {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    media::OpenedDevice opened = FluidSequencer::Open(tune, broken);
    ASSERT_EQ(opened.Error, CommandError::None);
    auto& sequencer = static_cast<FluidSequencer&>(*opened.Device);
    sequencer.Synchronize();
    EXPECT_EQ(sequencer.Play(), CommandError::DeviceUnavailable);
    EXPECT_EQ(sequencer.Stop(), CommandError::DeviceUnavailable);
    EXPECT_EQ(Renderer.OutputsMade(), 0);
}

int ThreadCount()
{
    const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

enum class State { Loading, Opened, Playing, Stopped, Ended };

class SequencerShutdownTest : public FluidSequencerTest, public testing::WithParamInterface<State> {
};

// Plays through FluidSynth's file driver, which has a thread of its own like a sound card's.
media::AudioOutputFactory FileDriver(std::filesystem::path file)
{
    return [file](fluid_settings_t* settings, fluid_synth_t* synth) {
        fluid_settings_setstr(settings, "audio.driver", "file");
        fluid_settings_setstr(settings, "audio.file.name", file.c_str());
        return media::OpenAudioDriver(settings, synth);
    };
}

TEST_P(SequencerShutdownTest, LeavesNoThreadBehind)
{
    const int before = ThreadCount();
    {
        FluidSequencer::Options options = Offline();
        const State state = GetParam();
        if (state == State::Playing || state == State::Stopped)
            options.Output = FileDriver(Folder / "out.raw");
        std::filesystem::create_directories(Folder);
        media::OpenedDevice opened = FluidSequencer::Open(state == State::Ended ? Write("t.mid", ThreeNotes()) : DemoTune,
                                                          std::move(options));
        ASSERT_EQ(opened.Error, CommandError::None);
        auto& sequencer = static_cast<FluidSequencer&>(*opened.Device);
        if (state != State::Loading)
            sequencer.Synchronize();
        if (state == State::Playing || state == State::Stopped || state == State::Ended) {
            sequencer.Play();
            sequencer.Synchronize();
        }
        if (state == State::Playing) {
            EXPECT_GT(ThreadCount(), before + 1) << "the file driver did not start";
        }
        if (state == State::Stopped) {
            sequencer.Stop();
            sequencer.Synchronize();
        }
        if (state == State::Ended) {
            Renderer.RenderUntilReleased(30);
            ASSERT_FALSE(Renderer.HasOutput());
        }
    }
    EXPECT_EQ(ThreadCount(), before);
}

std::string StateName(const testing::TestParamInfo<State>& info)
{
    const std::array<const char*, 5> names{"Loading", "Opened", "Playing", "Stopped", "Ended"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(States, SequencerShutdownTest,
                         testing::Values(State::Loading, State::Opened, State::Playing, State::Stopped, State::Ended),
                         StateName);

// At exit, whatever the program left open is closed by static destruction. A
// handler registered before the first command runs after that, and exits with
// 100 plus the threads that are left over.
constexpr int NoThreadLeft = 100;
int ThreadsAtStart = 0;

void ExitWithThreadsLeft()
{
    std::_Exit(NoThreadLeft + ThreadCount() - ThreadsAtStart);
}

TEST(ProcessExitTest, LeavesNoThreadWhateverIsOpen)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string open = "open " + DemoTune.string() + " type sequencer alias midifile";
    const std::vector<std::vector<std::string>> programs{
        {"stop midifile"},
        {open},
        {open, "play midifile"},
        {open, "play midifile", "stop midifile", "close midifile"},
    };
    for (const auto& commands : programs) {
        EXPECT_EXIT(
            {
                ThreadsAtStart = ThreadCount();
                std::atexit(ExitWithThreadsLeft);
                for (const std::string& command : commands)
                    media::SendCommandString(command);
                std::exit(0);
            },
            testing::ExitedWithCode(NoThreadLeft), "")
            << commands.size() << " commands";
    }
}

} // namespace
