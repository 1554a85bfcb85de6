// Writes a 320 × 320 pastel sketch as a baseline JFIF file: the built-in
// picture, or with "demo" the picture file the program loads at start-up.
// The output depends only on the style chosen, so the committed files can be
// checked against what this writes today.
//
//     make_sketch builtin resources/builtin-sketch.jpg
//     make_sketch demo "demo/[]/sketch5421365.jpg"
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int PictureSize = 320;
// High enough that the paper's grain survives; the file comes to about 45 KB.
constexpr int Quality = 93;
constexpr int DotsPerInch = 96;

struct Colour {
    double Red, Green, Blue;
};

Colour Mix(const Colour& from, const Colour& to, double amount)
{
    return { from.Red + (to.Red - from.Red) * amount, from.Green + (to.Green - from.Green) * amount,
        from.Blue + (to.Blue - from.Blue) * amount };
}

constexpr Colour Hex(std::uint32_t rgb)
{
    return { double(rgb >> 16 & 0xFF) / 255, double(rgb >> 8 & 0xFF) / 255, double(rgb & 0xFF) / 255 };
}

// SplitMix64: the same numbers on every platform, unlike std's distributions.
class Random {
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed)
    {
    }
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double Uniform() { return double(Next() >> 11) / double(1ull << 53); }
    double Between(double low, double high) { return low + (high - low) * Uniform(); }

private:
    std::uint64_t m_state;
};

double Hash(std::uint64_t seed, int x, int y)
{
    Random random(seed ^ (std::uint64_t(std::uint32_t(x)) << 32 | std::uint32_t(y)) * 0x9E3779B97F4A7C15ull);
    return random.Uniform();
}

double Smooth(double t) { return t * t * (3 - 2 * t); }

// Value noise in [0, 1], smooth between lattice points one unit apart.
double Noise(std::uint64_t seed, double x, double y)
{
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = Smooth(x - x0), fy = Smooth(y - y0);
    const double top = Hash(seed, x0, y0) + (Hash(seed, x0 + 1, y0) - Hash(seed, x0, y0)) * fx;
    const double bottom = Hash(seed, x0, y0 + 1) + (Hash(seed, x0 + 1, y0 + 1) - Hash(seed, x0, y0 + 1)) * fx;
    return top + (bottom - top) * fy;
}

double Fractal(std::uint64_t seed, double x, double y, int octaves)
{
    double sum = 0, weight = 0, amplitude = 1;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * Noise(seed + std::uint64_t(octave), x, y);
        weight += amplitude;
        amplitude *= 0.5;
        x *= 2.03;
        y *= 2.03;
    }
    return sum / weight;
}

struct Style {
    std::uint64_t Seed;
    Colour Paper;
    std::array<Colour, 2> Ground; // Mottled between these two.
    std::vector<Colour> Strokes;
    Colour Accent; // Thin lines in a deeper tone.
    int StrokeCount;
    double StrokeLength; // Longest stroke, in pixels.
    double StrokeWidth; // Widest half-width, in pixels.
    bool Hatching; // Bundles of short parallel strokes instead of loose ones.
    int AccentCount;
    double MainAngle; // The hand's usual direction, in radians.
    double Spread; // How far strokes stray from it.
    double Wander; // How much a stroke turns on its way.
};

const Style Builtin {
    20050417,
    Hex(0xFBF7F2),
    { Hex(0xF3B9CB), Hex(0xB9D4EE) },
    { Hex(0xF8E27C), Hex(0xFBEDA6), Hex(0xF3D35B), Hex(0xFFF1B8) },
    Hex(0xE3B23C),
    28,
    300,
    6,
    false,
    5,
    -0.6,
    0.9,
    0.018,
};

const Style Demo {
    5421365,
    Hex(0xF7F8F3),
    { Hex(0xC8E8D6), Hex(0xD8CBF1) },
    { Hex(0xF4A592), Hex(0xF7C2B0), Hex(0xEE8F86), Hex(0xFBD9C8) },
    Hex(0x6F9CC0),
    46,
    80,
    6,
    true,
    8,
    0.9,
    0.35,
    0.006,
};

using Canvas = std::vector<Colour>;
using Coverage = std::vector<double>;

// Pastel sticks catch the paper's raised grain first: where the pressure is
// light only the tops take colour, and the pits stay paper.
double Tooth(const std::vector<double>& grain, int index, double pressure)
{
    const double threshold = 1.0 - pressure;
    return std::clamp((grain[std::size_t(index)] - threshold) * 3.5, 0.0, 1.0);
}

void Lay(Canvas& canvas, const Coverage& coverage, const std::vector<double>& grain, const Colour& colour,
    double strength)
{
    for (int i = 0; i < PictureSize * PictureSize; ++i) {
        const double pressure = coverage[std::size_t(i)] * strength;
        if (pressure <= 0)
            continue;
        const double amount = std::min(1.0, pressure) * Tooth(grain, i, pressure * 0.85 + 0.15);
        canvas[std::size_t(i)] = Mix(canvas[std::size_t(i)], colour, amount);
    }
}

struct Path {
    double X, Y;
    double Angle; // Direction at the start, in radians.
    double Bend; // Turn per step.
    double Width; // Half the width at full pressure.
    double Length;
};

// One stroke as soft round dabs along a path, thickest mid-way, wobbling as
// a hand does.
void Stroke(Coverage& coverage, const Path& path, double wander, std::uint64_t wobbleSeed)
{
    constexpr double Step = 1.5;
    double x = path.X, y = path.Y, angle = path.Angle;
    const int steps = int(path.Length / Step);
    for (int step = 0; step < steps; ++step) {
        const double t = double(step) / steps;
        const double pressure = std::pow(std::sin(std::numbers::pi * t), 0.5) * (0.7 + 0.3 * Noise(wobbleSeed, t * 5, 0));
        const double radius = std::max(0.6, path.Width * pressure);
        const int left = int(x - radius - 1), right = int(x + radius + 2);
        const int top = int(y - radius - 1), bottom = int(y + radius + 2);
        for (int py = std::max(0, top); py < std::min(PictureSize, bottom); ++py) {
            for (int px = std::max(0, left); px < std::min(PictureSize, right); ++px) {
                const double distance = std::hypot(px + 0.5 - x, py + 0.5 - y) / radius;
                const double dab = (1 - Smooth(std::clamp(distance * 2 - 1, 0.0, 1.0))) * (0.5 + 0.5 * pressure);
                double& cell = coverage[std::size_t(py * PictureSize + px)];
                cell = std::max(cell, dab);
            }
        }
        angle += path.Bend + (Noise(wobbleSeed + 1, t * 7, 0) - 0.5) * wander;
        x += Step * std::cos(angle);
        y += Step * std::sin(angle);
    }
}

Path RandomPath(Random& random, const Style& style, double width, double length)
{
    const double flip = random.Uniform() < 0.5 ? 0 : std::numbers::pi;
    return { random.Between(-30, PictureSize + 30), random.Between(-30, PictureSize + 30),
        style.MainAngle + flip + random.Between(-style.Spread, style.Spread),
        random.Between(-style.Wander, style.Wander), width, length };
}

Canvas Paint(const Style& style)
{
    Random random(style.Seed);
    const std::uint64_t paperSeed = random.Next(), mottleSeed = random.Next(), patchSeed = random.Next();
    Canvas canvas(PictureSize * PictureSize, style.Paper);

    // Paper grain: fine speckle over faint fibres running one way.
    std::vector<double> grain(canvas.size());
    for (int y = 0; y < PictureSize; ++y) {
        for (int x = 0; x < PictureSize; ++x) {
            const double fibre = Noise(paperSeed, x * 0.7 + y * 0.2, y * 0.1 - x * 0.04);
            const double speckle = Hash(paperSeed + 7, x, y);
            grain[std::size_t(y * PictureSize + x)] = 0.65 * speckle + 0.35 * fibre;
        }
    }

    // The ground: rubbed in two colours, mottled, thinner in some patches.
    for (int y = 0; y < PictureSize; ++y) {
        for (int x = 0; x < PictureSize; ++x) {
            const std::size_t i = std::size_t(y * PictureSize + x);
            const double blend = Smooth(std::clamp((Fractal(mottleSeed, x / 70.0, y / 70.0, 5) - 0.3) * 2.5, 0.0, 1.0));
            const double density = 0.5 + 0.7 * Fractal(patchSeed, x / 45.0, y / 45.0, 4);
            const double amount = std::min(1.0, density) * Tooth(grain, int(i), density * 0.9 + 0.15);
            canvas[i] = Mix(style.Paper, Mix(style.Ground[0], style.Ground[1], blend), amount);
        }
    }

    // Broad strokes with the side of the stick rub the ground in one direction.
    for (int rub = 0; rub < 40; ++rub) {
        Coverage coverage(canvas.size());
        Stroke(coverage, RandomPath(random, style, random.Between(10, 22), random.Between(80, 200)), 0.02, random.Next());
        const Colour tint = style.Ground[random.Uniform() < 0.5 ? 0 : 1];
        Lay(canvas, coverage, grain, Mix(tint, style.Paper, 0.15), random.Between(0.25, 0.5));
    }

    // The drawing itself: loose strokes, each gone over a few times a little
    // apart, or bundles of short parallel hatching.
    for (int stroke = 0; stroke < style.StrokeCount; ++stroke) {
        Coverage coverage(canvas.size());
        const double length = random.Between(style.StrokeLength * 0.4, style.StrokeLength);
        Path path = RandomPath(random, style, random.Between(style.StrokeWidth * 0.4, style.StrokeWidth), length);
        const int passes = style.Hatching ? 3 + int(random.Next() % 5) : 1 + int(random.Next() % 3);
        const double gap = style.Hatching ? random.Between(4, 8) : random.Between(2, 5);
        for (int pass = 0; pass < passes; ++pass) {
            Stroke(coverage, path, style.Wander * 2, random.Next());
            path.X += gap * -std::sin(path.Angle) + random.Between(-3, 3);
            path.Y += gap * std::cos(path.Angle) + random.Between(-3, 3);
            path.Width *= random.Between(0.7, 1.0);
            path.Length *= random.Between(0.8, 1.1);
        }
        const Colour& colour = style.Strokes[random.Next() % style.Strokes.size()];
        Lay(canvas, coverage, grain, colour, random.Between(0.85, 1.2));
    }
    for (int line = 0; line < style.AccentCount; ++line) {
        Coverage coverage(canvas.size());
        Stroke(coverage, RandomPath(random, style, random.Between(1.6, 2.8), random.Between(80, 220)), style.Wander * 2,
            random.Next());
        Lay(canvas, coverage, grain, style.Accent, random.Between(0.45, 0.75));
    }
    return canvas;
}

bool Write(const Canvas& canvas, const char* path)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::perror(path);
        return false;
    }
    jpeg_compress_struct info {};
    jpeg_error_mgr error {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = PictureSize;
    info.image_height = PictureSize;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    // The defaults are the coding wanted: JFIF 1.01, Y sampled 2 × 2 and Cb,
    // Cr 1 × 1, two quantisation and four standard Huffman tables.
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, Quality, TRUE);
    info.optimize_coding = FALSE;
    info.density_unit = 1;
    info.X_density = DotsPerInch;
    info.Y_density = DotsPerInch;

    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(PictureSize * 3);
    for (int y = 0; y < PictureSize; ++y) {
        for (int x = 0; x < PictureSize; ++x) {
            const Colour& colour = canvas[std::size_t(y * PictureSize + x)];
            for (int channel = 0; channel < 3; ++channel) {
                const double value = channel == 0 ? colour.Red : channel == 1 ? colour.Green : colour.Blue;
                row[std::size_t(x * 3 + channel)] = JSAMPLE(std::lround(std::clamp(value, 0.0, 1.0) * 255));
            }
        }
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

}

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "builtin") != 0 && std::strcmp(argv[1], "demo") != 0)) {
        std::fprintf(stderr, "usage: make_sketch builtin|demo OUTPUT.jpg\n");
        return 2;
    }
    const Style& style = std::strcmp(argv[1], "demo") == 0 ? Demo : Builtin;
    return Write(Paint(style), argv[2]) ? 0 : 1;
}
