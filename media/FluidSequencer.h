// The sequencer device on FluidSynth: plays one Standard MIDI File with Debian's
// General MIDI SoundFont. One thread of its own holds every FluidSynth object, so
// commands return at once and never wait for the SoundFont or the audio device.
#pragma once

#include "media/CommandString.h"

#include <fluidsynth.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace media {

// Pulls samples from a synthesizer for as long as it exists.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
};

// Makes the output for a synthesizer; nullptr when there is no audio device.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>(fluid_settings_t*, fluid_synth_t*)>;

// FluidSynth's own audio driver, the one it chooses for this machine.
std::unique_ptr<AudioOutput> OpenAudioDriver(fluid_settings_t* settings, fluid_synth_t* synth);

// Debian's default General MIDI SoundFont, or an empty path when none is installed.
std::filesystem::path DefaultSoundFont();

class FluidSequencer final : public SequencerDevice {
public:
    struct Options {
        std::filesystem::path SoundFont;
        AudioOutputFactory Output;
    };
    static Options DefaultOptions();

    // Reads and checks the file and starts loading the SoundFont in the background.
    // Fails when the file is missing or no playable MIDI file, or there is no SoundFont.
    static OpenedDevice Open(const std::filesystem::path& file, Options options);

    // Stops, releases the audio output and every FluidSynth object, and joins the thread.
    ~FluidSequencer() override;

    // Plays from the current position; while playing, and once the tune has ended,
    // nothing changes. The audio output exists only while the tune plays.
    CommandError Play() override;
    // Halts at the current position, so that a later play goes on from there.
    CommandError Stop() override;

    // Waits until the SoundFont is loaded and every command sent so far is carried out.
    void Synchronize();

private:
    class Worker;
    explicit FluidSequencer(std::unique_ptr<Worker> worker);

    std::unique_ptr<Worker> Background;
};

// Opens a file with the default SoundFont and audio driver.
OpenedDevice OpenFluidSequencer(const std::filesystem::path& file);

} // namespace media
