// What the sequencer costs with Debian's default SoundFont: how long the open
// holds up start-up, how long the SoundFont takes to load behind it, memory, the
// CPU time of rendering the demo tune, and, given "--live SECONDS" and a sound
// server, the CPU the process uses before, while and after it plays for real.
#include "media/FluidSequencer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

const std::filesystem::path DemoTune = std::filesystem::path(WHITEOUT_SOURCE_DIR) / "demo" / "[]" / ";;;;;.mid";

double Milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

long ResidentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * 4096 / (1024 * 1024);
}

long PeakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Renders on the calling thread as fast as it can, while the device keeps it.
class FastOutput final : public media::AudioOutput {
public:
    explicit FastOutput(bool& alive)
        : Alive(alive)
    {
        Alive = true;
    }
    ~FastOutput() override { Alive = false; }

private:
    bool& Alive;
};

std::unique_ptr<media::FluidSequencer> Open(media::FluidSequencer::Options options, Clock::duration& took)
{
    const Clock::time_point start = Clock::now();
    media::OpenedDevice opened = media::FluidSequencer::Open(DemoTune, std::move(options));
    took = Clock::now() - start;
    if (opened.Error != media::CommandError::None) {
        std::fprintf(stderr, "cannot open %s: error %d\n", DemoTune.c_str(), static_cast<int>(opened.Error));
        std::exit(1);
    }
    return std::unique_ptr<media::FluidSequencer>(static_cast<media::FluidSequencer*>(opened.Device.release()));
}

void MeasureOpen()
{
    constexpr int Rounds = 20;
    std::vector<double> opens;
    std::vector<double> loads;
    for (int round = 0; round < Rounds; ++round) {
        Clock::duration took{};
        const Clock::time_point start = Clock::now();
        auto sequencer = Open(media::FluidSequencer::DefaultOptions(), took);
        sequencer->Synchronize();
        opens.push_back(Milliseconds(took));
        loads.push_back(Milliseconds(Clock::now() - start));
        if (round == 0)
            std::printf("RSS with the SoundFont loaded:  %ld MB\n", ResidentMegabytes());
    }
    std::sort(opens.begin(), opens.end());
    std::sort(loads.begin(), loads.end());
    std::printf("open returns after:             median %.2f ms, max %.2f ms\n", opens[Rounds / 2], opens.back());
    std::printf("SoundFont loaded after:         median %.1f ms, max %.1f ms\n", loads[Rounds / 2], loads.back());
}

void MeasureRender()
{
    fluid_synth_t* synth = nullptr;
    bool alive = false;
    media::FluidSequencer::Options options = media::FluidSequencer::DefaultOptions();
    options.Output = [&](fluid_settings_t*, fluid_synth_t* made) {
        synth = made;
        return std::make_unique<FastOutput>(alive);
    };
    Clock::duration took{};
    auto sequencer = Open(std::move(options), took);
    const Clock::time_point start = Clock::now();
    sequencer->Play();
    const double command = Milliseconds(Clock::now() - start);
    sequencer->Synchronize();

    constexpr int Block = 1024;
    std::vector<float> left(Block), right(Block);
    long frames = 0;
    const double cpuStart = CpuSeconds();
    // The thread that notices the end is not this one, so the last blocks may run past it.
    while (alive && frames < 200L * 44100) {
        fluid_synth_write_float(synth, Block, left.data(), 0, 1, right.data(), 0, 1);
        frames += Block;
        if (frames % (Block * 64) == 0)
            std::this_thread::yield();
    }
    const double cpu = CpuSeconds() - cpuStart;
    const double seconds = static_cast<double>(frames) / 44100;
    std::printf("play returns after:             %.3f ms\n", command);
    std::printf("rendering %.0f s of the tune:    %.2f s CPU (%.1f %% of one core in real time)\n", seconds, cpu,
                100 * cpu / seconds);
    std::printf("RSS after the whole tune:       %ld MB (peak %ld MB)\n", ResidentMegabytes(), PeakResidentMegabytes());
}

double CpuPercentOver(double seconds)
{
    const double cpuStart = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return 100 * (CpuSeconds() - cpuStart) / seconds;
}

void MeasureLive(double seconds)
{
    Clock::duration took{};
    auto sequencer = Open(media::FluidSequencer::DefaultOptions(), took);
    sequencer->Synchronize();
    std::printf("live, before play:              %.2f %% CPU\n", CpuPercentOver(seconds));
    sequencer->Play();
    std::printf("live, playing:                  %.2f %% CPU, RSS %ld MB\n", CpuPercentOver(seconds),
                ResidentMegabytes());
    const Clock::time_point start = Clock::now();
    sequencer->Stop();
    sequencer->Synchronize();
    std::printf("live, stop carried out after:   %.1f ms\n", Milliseconds(Clock::now() - start));
    std::printf("live, after stop:               %.2f %% CPU\n", CpuPercentOver(seconds));
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path soundFont = media::DefaultSoundFont();
    std::printf("SoundFont: %s (%.0f MB)\n", soundFont.c_str(),
                soundFont.empty() ? 0.0 : static_cast<double>(std::filesystem::file_size(soundFont)) / 1e6);
    std::printf("RSS at start:                   %ld MB\n", ResidentMegabytes());
    MeasureOpen();
    MeasureRender();
    if (argc == 3 && std::string(argv[1]) == "--live")
        MeasureLive(std::atof(argv[2]));
    return 0;
}
