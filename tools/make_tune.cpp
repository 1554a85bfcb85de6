// Writes the demo tune, a Standard MIDI File, to the path given as the only argument.
//
// The tune is slow and sparse: a soft pad over a bowed bass, a music box that
// drops a few notes per bar, and high strings that drift out of tune in the second
// half. Every choice comes from a fixed seed and integer arithmetic, so the output
// is the same byte for byte on every machine.

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr int TicksPerBeat = 480;
constexpr int BeatsPerBar = 4;
constexpr int TicksPerBar = TicksPerBeat * BeatsPerBar;
constexpr int MicrosecondsPerBeat = 1'000'000; // 60 beats a minute: one bar lasts four seconds.
constexpr int BarsOfMusic = 34;
constexpr int SilentBarsAtEnd = 1;             // Room for the last reverb before the end of track.
constexpr int BarsPerChord = 2;

constexpr int PadChannel = 0;
constexpr int BassChannel = 1;
constexpr int BoxChannel = 2;
constexpr int HighChannel = 3;

// General MIDI programs, counted from 0.
constexpr int WarmPad = 89;
constexpr int Contrabass = 43;
constexpr int MusicBox = 10;
constexpr int SlowStrings = 49;

constexpr int ControlVolume = 7;
constexpr int ControlExpression = 11;
constexpr int ControlReverb = 91;
constexpr int ControlChorus = 93;

constexpr int PitchBendCentre = 8192;

// A deterministic source of small choices; std::uniform_int_distribution differs
// between standard libraries, so the arithmetic is spelled out here.
class Dice {
public:
    int Below(int limit)
    {
        State = State * 1664525u + 1013904223u;
        return static_cast<int>((State >> 16) % static_cast<std::uint32_t>(limit));
    }

private:
    std::uint32_t State = 5421365u;
};

struct Event {
    int Tick;
    int Order; // At one tick: ends of notes first, then controls, then new notes.
    std::vector<std::uint8_t> Bytes;
};

class Track {
public:
    void Meta(int tick, std::uint8_t type, const std::vector<std::uint8_t>& data)
    {
        std::vector<std::uint8_t> bytes{0xFF, type};
        AppendVariableLength(bytes, static_cast<std::uint32_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
        Events.push_back({tick, 1, bytes});
    }

    void Name(const std::string& name) { Meta(0, 0x03, {name.begin(), name.end()}); }

    void Program(int channel, int program)
    {
        Events.push_back({0, 1, {Status(0xC0, channel), static_cast<std::uint8_t>(program)}});
    }

    void Control(int tick, int channel, int control, int value)
    {
        Events.push_back({tick, 1, {Status(0xB0, channel), static_cast<std::uint8_t>(control),
                                    static_cast<std::uint8_t>(value)}});
    }

    void PitchBend(int tick, int channel, int value)
    {
        Events.push_back({tick, 1, {Status(0xE0, channel), static_cast<std::uint8_t>(value & 0x7F),
                                    static_cast<std::uint8_t>(value >> 7)}});
    }

    void Note(int tick, int length, int channel, int key, int velocity)
    {
        Events.push_back({tick, 2, {Status(0x90, channel), static_cast<std::uint8_t>(key),
                                    static_cast<std::uint8_t>(velocity)}});
        Events.push_back({tick + length, 0, {Status(0x80, channel), static_cast<std::uint8_t>(key), 0}});
    }

    // The chunk bytes, with the end of track at endTick.
    std::vector<std::uint8_t> Chunk(int endTick) const
    {
        std::vector<Event> sorted = Events;
        std::stable_sort(sorted.begin(), sorted.end(), [](const Event& a, const Event& b) {
            return a.Tick != b.Tick ? a.Tick < b.Tick : a.Order < b.Order;
        });
        sorted.push_back({endTick, 3, {0xFF, 0x2F, 0x00}});

        std::vector<std::uint8_t> body;
        int previous = 0;
        for (const Event& event : sorted) {
            AppendVariableLength(body, static_cast<std::uint32_t>(event.Tick - previous));
            body.insert(body.end(), event.Bytes.begin(), event.Bytes.end());
            previous = event.Tick;
        }
        std::vector<std::uint8_t> chunk{'M', 'T', 'r', 'k'};
        AppendBigEndian(chunk, static_cast<std::uint32_t>(body.size()), 4);
        chunk.insert(chunk.end(), body.begin(), body.end());
        return chunk;
    }

    static void AppendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value)
    {
        std::array<std::uint8_t, 5> groups{};
        int count = 0;
        do {
            groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (count > 1)
            out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
        out.push_back(groups[0]);
    }

    static void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
    {
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(value >> shift));
    }

private:
    static std::uint8_t Status(int kind, int channel) { return static_cast<std::uint8_t>(kind | channel); }

    std::vector<Event> Events;
};

struct Chord {
    int Root;                 // The bass note.
    std::array<int, 4> Pad;   // Close voicing with one rubbing interval.
    std::array<int, 5> Tones; // What the music box may pick from.
};

// D minor with a semitone rub, a bright chord gone wrong (#11), a minor chord
// with a major seventh, and a dominant with a flat ninth that never resolves.
const std::array<Chord, 4> Progression{{
    {38, {50, 57, 64, 65}, {74, 76, 77, 81, 86}},
    {34, {46, 53, 57, 64}, {70, 74, 76, 77, 81}},
    {31, {43, 50, 58, 66}, {74, 78, 79, 82, 86}},
    {33, {45, 55, 61, 70}, {73, 76, 79, 82, 85}},
}};

void WriteSetup(Track& track, int channel, int program, int volume, int reverb, int chorus)
{
    track.Program(channel, program);
    track.Control(0, channel, ControlVolume, volume);
    track.Control(0, channel, ControlReverb, reverb);
    track.Control(0, channel, ControlChorus, chorus);
}

// Fades expression from one value to another over a span, in steps of a quarter beat.
void WriteFade(Track& track, int channel, int startTick, int endTick, int from, int to)
{
    const int step = TicksPerBeat / 4;
    for (int tick = startTick; tick <= endTick; tick += step) {
        const int value = from + (to - from) * (tick - startTick) / (endTick - startTick);
        track.Control(tick, channel, ControlExpression, value);
    }
}

Track WritePadAndBass(Track track)
{
    WriteSetup(track, PadChannel, WarmPad, 100, 80, 30);
    WriteSetup(track, BassChannel, Contrabass, 90, 60, 0);
    const int chordTicks = BarsPerChord * TicksPerBar;
    const int lastChord = BarsOfMusic / BarsPerChord - 1;
    for (int index = 0; index <= lastChord; ++index) {
        // The final chord returns to the first one, however the cycle falls.
        const Chord& chord = Progression[index == lastChord ? 0 : index % Progression.size()];
        const int start = index * chordTicks;
        for (int key : chord.Pad)
            track.Note(start, chordTicks - TicksPerBeat / 8, PadChannel, key, 64);
        // The bass rests through the first cycle and comes in below the repeat.
        if (index >= static_cast<int>(Progression.size()))
            track.Note(start, chordTicks - TicksPerBeat / 2, BassChannel, chord.Root, 72);
    }
    WriteFade(track, PadChannel, 0, 2 * TicksPerBar, 20, 110);
    WriteFade(track, PadChannel, (BarsOfMusic - 2) * TicksPerBar, BarsOfMusic * TicksPerBar, 110, 0);
    WriteFade(track, BassChannel, (BarsOfMusic - 2) * TicksPerBar, BarsOfMusic * TicksPerBar, 110, 0);
    return track;
}

Track WriteMusicBox(Track track, Dice& dice)
{
    WriteSetup(track, BoxChannel, MusicBox, 110, 90, 0);
    // The box enters after the pad has faded in and leaves one bar before the end,
    // except for a single last note.
    for (int bar = 2; bar < BarsOfMusic - 2; ++bar) {
        const Chord& chord = Progression[(bar / BarsPerChord) % Progression.size()];
        const int notes = dice.Below(4) == 0 ? 0 : 1 + dice.Below(3);
        int beat = dice.Below(2);
        for (int note = 0; note < notes && beat < 2 * BeatsPerBar; ++note) {
            int key = chord.Tones[dice.Below(static_cast<int>(chord.Tones.size()))];
            // Now and then a note slips a semitone off the chord.
            if (dice.Below(6) == 0)
                key += dice.Below(2) == 0 ? 1 : -1;
            const int tick = bar * TicksPerBar + beat * TicksPerBeat / 2;
            track.Note(tick, TicksPerBeat * 2, BoxChannel, key, 64 + dice.Below(28));
            beat += 1 + dice.Below(4);
        }
    }
    track.Note((BarsOfMusic - 1) * TicksPerBar, TicksPerBar, BoxChannel, 74, 72);
    return track;
}

Track WriteHighStrings(Track track, Dice& dice)
{
    WriteSetup(track, HighChannel, SlowStrings, 80, 100, 20);
    const int firstBar = BarsOfMusic / 2;
    const int lastBar = BarsOfMusic - 2;
    // One long high tone per chord, whose pitch sags and recovers by a few cents.
    for (int bar = firstBar; bar < lastBar; bar += BarsPerChord) {
        const Chord& chord = Progression[(bar / BarsPerChord) % Progression.size()];
        const int start = bar * TicksPerBar;
        const int length = BarsPerChord * TicksPerBar;
        track.Note(start, length - TicksPerBeat / 4, HighChannel, chord.Tones[4] + 12, 48 + dice.Below(12));
        const int depth = 300 + dice.Below(400);
        for (int step = 0; step <= 16; ++step) {
            const int sag = step <= 8 ? depth * step / 8 : depth * (16 - step) / 8;
            track.PitchBend(start + length * step / 16, HighChannel, PitchBendCentre - sag);
        }
    }
    WriteFade(track, HighChannel, firstBar * TicksPerBar, (firstBar + 2) * TicksPerBar, 0, 100);
    return track;
}

std::vector<std::uint8_t> Compose()
{
    Dice dice;
    Track conductor;
    conductor.Name("whiteout");
    conductor.Meta(0, 0x51, {(MicrosecondsPerBeat >> 16) & 0xFF, (MicrosecondsPerBeat >> 8) & 0xFF,
                             MicrosecondsPerBeat & 0xFF});
    conductor.Meta(0, 0x58, {BeatsPerBar, 2, 24, 8});

    Track pad;
    pad.Name("pad and bass");
    Track box;
    box.Name("music box");
    Track high;
    high.Name("high strings");
    const std::array<Track, 4> tracks{conductor, WritePadAndBass(pad), WriteMusicBox(box, dice),
                                      WriteHighStrings(high, dice)};

    std::vector<std::uint8_t> file{'M', 'T', 'h', 'd'};
    Track::AppendBigEndian(file, 6, 4);
    Track::AppendBigEndian(file, 1, 2); // Format 1: tracks played together.
    Track::AppendBigEndian(file, static_cast<std::uint32_t>(tracks.size()), 2);
    Track::AppendBigEndian(file, TicksPerBeat, 2);
    const int endTick = (BarsOfMusic + SilentBarsAtEnd) * TicksPerBar;
    for (const Track& track : tracks) {
        const std::vector<std::uint8_t> chunk = track.Chunk(endTick);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_tune OUTPUT.mid\n";
        return 2;
    }
    const std::vector<std::uint8_t> file = Compose();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::cerr << "make_tune: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
