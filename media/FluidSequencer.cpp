#include "media/FluidSequencer.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace media {

namespace {

constexpr int MidiChannels = 16;
constexpr int NoNotes = -1;
// The program each channel plays its first note with, or NoNotes.
using ChannelPrograms = std::array<int, MidiChannels>;

// Larger than any tune; a huge file given the tune's name must not stall start-up.
constexpr std::uintmax_t LargestTune = 16 * 1024 * 1024;
// FluidSynth's player keeps at most this many tracks and ignores the rest.
constexpr std::uint32_t MostTracks = 128;
// How often the thread looks whether the tune has ended while it plays.
constexpr std::chrono::milliseconds EndPollInterval{50};

void IgnoreFluidLog(int, const char*, void*) {}
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}
void IgnoreGlibLog(const char*, int, const char*, void*) {}

// The program prints nothing, but FluidSynth logs to stderr, and so may the
// libraries it brings: ALSA, for instance when there is no sound card, and GLib on
// behalf of libinstpatch, for instance when the SoundFont is damaged. Those two
// are looked up rather than linked: they are FluidSynth's dependencies, not ours.
void SilenceLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = 0; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, IgnoreFluidLog, nullptr);
        using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
        if (void* symbol = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))
            reinterpret_cast<int (*)(AlsaErrorHandler)>(symbol)(IgnoreAlsaError);
        using GlibLogHandler = void (*)(const char*, int, const char*, void*);
        if (void* symbol = dlsym(RTLD_DEFAULT, "g_log_set_default_handler"))
            reinterpret_cast<GlibLogHandler (*)(GlibLogHandler, void*)>(symbol)(IgnoreGlibLog, nullptr);
    });
}

// Reads the whole file; an error code when it cannot.
std::optional<CommandError> ReadTune(const std::filesystem::path& file, std::vector<std::uint8_t>& bytes)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error)
        return CommandError::ElementNotFound;
    if (size > LargestTune)
        return CommandError::InvalidElement;
    std::ifstream stream(file, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    if (!stream.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return CommandError::ElementNotFound;
    return std::nullopt;
}

// Reads big-endian numbers and variable-length quantities, refusing to run past the end.
class ByteReader {
public:
    ByteReader(const std::uint8_t* begin, const std::uint8_t* end)
        : Position(begin)
        , End(end)
    {
    }

    bool AtEnd() const { return Position == End; }
    std::size_t Left() const { return static_cast<std::size_t>(End - Position); }

    bool Byte(std::uint8_t& value)
    {
        if (AtEnd())
            return false;
        value = *Position++;
        return true;
    }

    bool DataByte(std::uint8_t& value) { return Byte(value) && value < 0x80; }

    bool BigEndian(int bytes, std::uint32_t& value)
    {
        value = 0;
        std::uint8_t byte = 0;
        for (int i = 0; i < bytes; ++i) {
            if (!Byte(byte))
                return false;
            value = value << 8 | byte;
        }
        return true;
    }

    bool VariableLength(std::uint32_t& value)
    {
        value = 0;
        std::uint8_t byte = 0;
        for (int i = 0; i < 4; ++i) {
            if (!Byte(byte))
                return false;
            value = value << 7 | (byte & 0x7F);
            if ((byte & 0x80) == 0)
                return true;
        }
        return false;
    }

    bool Skip(std::size_t count)
    {
        if (count > Left())
            return false;
        Position += count;
        return true;
    }

    bool Tag(const char (&tag)[5])
    {
        if (Left() < 4 || !std::equal(tag, tag + 4, Position))
            return false;
        Position += 4;
        return true;
    }

    ByteReader Take(std::size_t count)
    {
        ByteReader part(Position, Position + count);
        Position += count;
        return part;
    }

private:
    const std::uint8_t* Position;
    const std::uint8_t* End;
};

// Where each channel's first note and its program changes fall, over all tracks.
class ChannelStarts {
public:
    ChannelStarts() { FirstNote.fill(NoTick); }

    void Note(std::uint64_t tick, int channel) { FirstNote[channel] = std::min(FirstNote[channel], tick); }
    void Program(std::uint64_t tick, int channel, int program) { Changes[channel].push_back({tick, program}); }

    // The last program chosen up to each channel's first note; General MIDI starts on 0.
    ChannelPrograms Programs() const
    {
        ChannelPrograms programs;
        for (int channel = 0; channel < MidiChannels; ++channel) {
            programs[channel] = FirstNote[channel] == NoTick ? NoNotes : 0;
            std::uint64_t chosenAt = 0;
            for (const auto& [tick, program] : Changes[channel]) {
                if (programs[channel] != NoNotes && tick <= FirstNote[channel] && tick >= chosenAt) {
                    programs[channel] = program;
                    chosenAt = tick;
                }
            }
        }
        return programs;
    }

private:
    static constexpr std::uint64_t NoTick = UINT64_MAX;
    std::array<std::uint64_t, MidiChannels> FirstNote;
    std::array<std::vector<std::pair<std::uint64_t, int>>, MidiChannels> Changes;
};

bool ScanTrack(ByteReader track, ChannelStarts& starts)
{
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    while (!track.AtEnd()) {
        std::uint32_t delta = 0;
        std::uint8_t status = 0;
        if (!track.VariableLength(delta) || !track.Byte(status))
            return false;
        tick += delta;
        if (status == 0xFF) {
            std::uint8_t type = 0;
            std::uint32_t length = 0;
            if (!track.Byte(type) || !track.VariableLength(length) || !track.Skip(length))
                return false;
            if (type == 0x2F)
                return true;
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!track.VariableLength(length) || !track.Skip(length))
                return false;
            continue;
        }
        std::uint8_t first = 0;
        if (status < 0x80) {
            if (running == 0)
                return false;
            first = status;
            status = running;
        } else if (status >= 0xF0 || !track.DataByte(first)) {
            return false;
        }
        running = status;
        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        std::uint8_t second = 0;
        if (kind != 0xC0 && kind != 0xD0 && !track.DataByte(second))
            return false;
        if (kind == 0x90 && second > 0)
            starts.Note(tick, channel);
        else if (kind == 0xC0)
            starts.Program(tick, channel, first);
    }
    return false; // A track must close with its end-of-track event.
}

// Checks the structure of a Standard MIDI File as FluidSynth will read it, event by
// event, and finds the program each channel starts with. FluidSynth itself accepts
// anything at first and only stops at the first unreadable byte.
std::optional<ChannelPrograms> ScanMidiFile(const std::vector<std::uint8_t>& bytes)
{
    ByteReader file(bytes.data(), bytes.data() + bytes.size());
    std::uint32_t headerLength = 0;
    std::uint32_t format = 0;
    std::uint32_t tracks = 0;
    std::uint32_t division = 0;
    if (!file.Tag("MThd") || !file.BigEndian(4, headerLength) || headerLength != 6
        || !file.BigEndian(2, format) || !file.BigEndian(2, tracks) || !file.BigEndian(2, division))
        return std::nullopt;
    // Division with the top bit set counts SMPTE frames, which FluidSynth does not play.
    if (format > 2 || tracks == 0 || tracks > MostTracks || division == 0 || (division & 0x8000) != 0)
        return std::nullopt;

    ChannelStarts starts;
    for (std::uint32_t found = 0; found < tracks;) {
        std::uint32_t length = 0;
        const bool isTrack = file.Tag("MTrk");
        if (!isTrack && !file.Skip(4))
            return std::nullopt;
        if (!file.BigEndian(4, length) || length > file.Left())
            return std::nullopt;
        ByteReader chunk = file.Take(length);
        if (!isTrack)
            continue; // Chunks of unknown kinds are skipped, as the format asks.
        if (!ScanTrack(chunk, starts))
            return std::nullopt;
        ++found;
    }
    return starts.Programs();
}

template <auto Delete>
struct Deleter {
    template <class T>
    void operator()(T* object) const
    {
        Delete(object);
    }
};

class DriverOutput final : public AudioOutput {
public:
    explicit DriverOutput(fluid_audio_driver_t* driver)
        : Driver(driver)
    {
    }
    ~DriverOutput() override { delete_fluid_audio_driver(Driver); }

private:
    fluid_audio_driver_t* Driver;
};

} // namespace

std::unique_ptr<AudioOutput> OpenAudioDriver(fluid_settings_t* settings, fluid_synth_t* synth)
{
    fluid_audio_driver_t* driver = new_fluid_audio_driver(settings, synth);
    if (driver == nullptr)
        return nullptr;
    return std::make_unique<DriverOutput>(driver);
}

std::filesystem::path DefaultSoundFont()
{
    // Debian's alternatives for the default General MIDI SoundFont, in its order of preference.
    const std::array<std::filesystem::path, 2> candidates{
        "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/sounds/sf2/default-GM.sf2",
    };
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error))
            return candidate;
    }
    return {};
}

// Owns the thread that holds every FluidSynth object. The caller's thread only
// queues requests; the thread loads the SoundFont first, then carries them out.
class FluidSequencer::Worker {
public:
    Worker(std::vector<std::uint8_t> tune, const ChannelPrograms& programs, Options options)
        : Tune(std::move(tune))
        , Programs(programs)
        , Choices(std::move(options))
        , Thread([this] { Run(); })
    {
    }

    ~Worker()
    {
        {
            std::lock_guard lock(Mutex);
            Quitting = true;
            Requests.clear();
        }
        Wake.notify_one();
        Thread.join();
    }

    enum class Request { Play, Stop };

    CommandError Post(Request request)
    {
        {
            std::lock_guard lock(Mutex);
            if (Failed)
                return CommandError::DeviceUnavailable;
            Requests.push_back(request);
        }
        Wake.notify_one();
        return CommandError::None;
    }

    void Synchronize()
    {
        std::unique_lock lock(Mutex);
        Idle.wait(lock, [this] { return !Busy && Requests.empty(); });
    }

private:
    void Run()
    {
        const bool loaded = Load();
        std::unique_lock lock(Mutex);
        Failed = !loaded;
        for (;;) {
            if (Requests.empty()) {
                Busy = false;
                Idle.notify_all();
            }
            const auto woken = [this] { return Quitting || !Requests.empty(); };
            if (Output)
                Wake.wait_for(lock, EndPollInterval, woken);
            else
                Wake.wait(lock, woken);
            if (Quitting)
                break;
            std::optional<Request> request;
            if (!Requests.empty()) {
                request = Requests.front();
                Requests.pop_front();
                Busy = true;
            }
            lock.unlock();
            NoticeEnd();
            if (request && loaded)
                CarryOut(*request);
            lock.lock();
        }
        lock.unlock();
        Release();
    }

    bool Load()
    {
        Settings.reset(new_fluid_settings());
        if (!Settings)
            return false;
        fluid_settings_t* settings = Settings.get();
        // Samples are read when an instrument is chosen, not all at once: the
        // default SoundFont may be FluidR3, 148 MB of which a tune needs a few.
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        // Resetting would choose the piano on every channel and load its samples.
        fluid_settings_setint(settings, "player.reset-synth", 0);
        fluid_settings_setstr(settings, "player.timing-source", "sample");
        // Periods of 1024 frames: the tune starts 93 ms after the play instead of
        // 23, and playing costs a fifth of the CPU that FluidSynth's 64 frames did.
        fluid_settings_setint(settings, "audio.period-size", 1024);
        fluid_settings_setint(settings, "audio.periods", 4);
        // The demo tune sounds fewer than 40 voices at once; FluidSynth's 256 cost 2 MB more.
        fluid_settings_setint(settings, "synth.polyphony", 64);
        Synth.reset(new_fluid_synth(settings));
        if (!Synth || fluid_synth_sfload(Synth.get(), Choices.SoundFont.c_str(), 0) == FLUID_FAILED)
            return false;
        // Choosing the instruments now reads their samples here rather than in the
        // audio thread when the tune starts.
        for (int channel = 0; channel < MidiChannels; ++channel) {
            if (Programs[channel] != NoNotes)
                fluid_synth_program_change(Synth.get(), channel, Programs[channel]);
        }
        Player.reset(new_fluid_player(Synth.get()));
        if (!Player || fluid_player_add_mem(Player.get(), Tune.data(), Tune.size()) != FLUID_OK)
            return false;
        Tune = {};
        return true;
    }

    void CarryOut(Request request)
    {
        if (request == Request::Play)
            StartPlaying();
        else
            StopPlaying();
    }

    // While an output renders, FluidSynth's audio thread drives the player, so
    // this thread only reads its status then: it starts the player before the
    // output exists and stops it after the output is gone.
    void StartPlaying()
    {
        // At the end the position stays at the end; FluidSynth would start again from 0.
        if (Playing || Ended)
            return;
        fluid_player_play(Player.get());
        Output = Choices.Output(Settings.get(), Synth.get());
        // Without an audio device nothing renders, so the player stays where it is
        // and the next play tries again.
        Playing = Output != nullptr;
    }

    void StopPlaying()
    {
        if (!Playing)
            return;
        Output.reset();
        // Notes still sounding are cut when playback goes on: the player seeks to
        // where it stopped, and a seek silences every channel.
        fluid_player_stop(Player.get());
        Playing = false;
    }

    void NoticeEnd()
    {
        // FluidSynth reports the end once the last voices and their reverb have died away.
        if (Playing && fluid_player_get_status(Player.get()) == FLUID_PLAYER_DONE) {
            Output.reset();
            Playing = false;
            Ended = true;
        }
    }

    // The player stopped and the output gone, FluidSynth wants the player, synth
    // and settings deleted in that order.
    void Release()
    {
        StopPlaying();
        Player.reset();
        Synth.reset();
        Settings.reset();
    }

    // Shared with the caller's thread, under Mutex.
    std::mutex Mutex;
    std::condition_variable Wake;
    std::condition_variable Idle;
    std::deque<Request> Requests;
    bool Busy = true; // Loading, or carrying out a request.
    bool Quitting = false;
    bool Failed = false;

    // The thread's own.
    std::vector<std::uint8_t> Tune;
    ChannelPrograms Programs;
    Options Choices;
    std::unique_ptr<fluid_settings_t, Deleter<delete_fluid_settings>> Settings;
    std::unique_ptr<fluid_synth_t, Deleter<delete_fluid_synth>> Synth;
    std::unique_ptr<fluid_player_t, Deleter<delete_fluid_player>> Player;
    std::unique_ptr<AudioOutput> Output;
    bool Playing = false;
    bool Ended = false;

    std::thread Thread; // Last, so that it starts when everything else exists.
};

FluidSequencer::Options FluidSequencer::DefaultOptions()
{
    return {DefaultSoundFont(), OpenAudioDriver};
}

OpenedDevice FluidSequencer::Open(const std::filesystem::path& file, Options options)
{
    SilenceLibraries();
    std::vector<std::uint8_t> bytes;
    if (const std::optional<CommandError> error = ReadTune(file, bytes))
        return {*error, nullptr};
    const std::optional<ChannelPrograms> programs = ScanMidiFile(bytes);
    if (!programs)
        return {CommandError::InvalidElement, nullptr};
    std::error_code error;
    if (options.SoundFont.empty() || !std::filesystem::is_regular_file(options.SoundFont, error))
        return {CommandError::DeviceUnavailable, nullptr};
    try {
        auto worker = std::make_unique<Worker>(std::move(bytes), *programs, std::move(options));
        return {CommandError::None, std::unique_ptr<FluidSequencer>(new FluidSequencer(std::move(worker)))};
    } catch (const std::system_error&) {
        return {CommandError::DeviceUnavailable, nullptr}; // No thread to be had.
    }
}

FluidSequencer::FluidSequencer(std::unique_ptr<Worker> worker)
    : Background(std::move(worker))
{
}

FluidSequencer::~FluidSequencer() = default;

CommandError FluidSequencer::Play()
{
    return Background->Post(Worker::Request::Play);
}

CommandError FluidSequencer::Stop()
{
    return Background->Post(Worker::Request::Stop);
}

void FluidSequencer::Synchronize()
{
    Background->Synchronize();
}

OpenedDevice OpenFluidSequencer(const std::filesystem::path& file)
{
    return FluidSequencer::Open(file, FluidSequencer::DefaultOptions());
}

} // namespace media
