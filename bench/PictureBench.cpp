// Time and peak memory of loading a picture file and drawing it the first
// time into the 320 × 320 client area, each case in a fresh process so its
// peak RSS is its own. The pictures are generated into /tmp on first use.
#include "media/JpegImage.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int ClientSize = 320;

struct Picture {
    const char* Name;
    int Width;
    int Height;
    bool Grey;
    bool Progressive;
    // Eleven scans for each coefficient band: a valid file of 694 scans.
    bool ManyScans;
    // The frame header claims this size while the data stays Width × Height.
    int ClaimedSize;
};

const Picture Pictures[] = {
    { "320x320 baseline", 320, 320, false, false, false, 0 },
    { "16000x16000 baseline", 16000, 16000, false, false, false, 0 },
    { "16000x16000 progressive", 16000, 16000, false, true, false, 0 },
    { "65500x65500 header, 16x16 data", 16, 16, false, false, false, 65500 },
    { "65500x65500 progressive header", 16, 16, false, true, false, 65500 },
    { "48000x400 grey, 694 scans", 48000, 400, true, true, true, 0 },
};

std::string PathOf(const Picture& picture)
{
    std::string name = "/tmp/whiteout-bench-";
    for (const char* c = picture.Name; *c; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '-';
    return name + ".jpg";
}

// Soft gradients with a little grain, about as costly to code as a photo.
void FillRow(std::vector<JSAMPLE>& row, int y, int width, int components)
{
    std::uint32_t state = std::uint32_t(y) * 2654435761u + 1;
    for (int x = 0; x < width; ++x) {
        state = state * 1664525u + 1013904223u;
        const int grain = int(state >> 28) - 8;
        JSAMPLE* sample = row.data() + std::size_t(x) * std::size_t(components);
        sample[0] = JSAMPLE(std::clamp(128 + (x / 37 + y / 53) % 96 - 48 + grain, 0, 255));
        if (components == 3) {
            sample[1] = JSAMPLE(std::clamp(160 + ((x ^ y) >> 6) % 64 - 32 + grain, 0, 255));
            sample[2] = JSAMPLE(std::clamp(200 - (y / 61) % 80 + grain, 0, 255));
        }
    }
}

void Generate(const Picture& picture, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::perror(path.c_str());
        std::exit(1);
    }
    jpeg_compress_struct info {};
    jpeg_error_mgr error {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(picture.Width);
    info.image_height = JDIMENSION(picture.Height);
    info.input_components = picture.Grey ? 1 : 3;
    info.in_color_space = picture.Grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 75, TRUE);
    std::vector<jpeg_scan_info> script;
    if (picture.ManyScans) {
        script.push_back({ 1, { 0 }, 0, 0, 0, 0 });
        for (int band = 1; band < 64; ++band) {
            script.push_back({ 1, { 0 }, band, band, 0, 10 });
            for (int bit = 10; bit > 0; --bit)
                script.push_back({ 1, { 0 }, band, band, bit, bit - 1 });
        }
        info.scan_info = script.data();
        info.num_scans = int(script.size());
    } else if (picture.Progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(picture.Width) * std::size_t(info.input_components));
    for (int y = 0; y < picture.Height; ++y) {
        FillRow(row, y, picture.Width, info.input_components);
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);

    if (picture.ClaimedSize != 0) {
        toolkit::Bytes bytes = toolkit::ReadWholeFile(path);
        for (std::size_t at = 2; at + 9 < bytes.size(); ++at) {
            if (bytes[at] == 0xFF && (bytes[at + 1] == 0xC0 || bytes[at + 1] == 0xC2)) {
                for (int i : { 5, 7 }) {
                    bytes[at + std::size_t(i)] = std::uint8_t(picture.ClaimedSize >> 8);
                    bytes[at + std::size_t(i) + 1] = std::uint8_t(picture.ClaimedSize);
                }
                break;
            }
        }
        file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

long PeakKilobytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The measured process: load through the toolkit's file reading, then draw
// into a client-sized surface as the first paint does.
int Measure(const char* path)
{
    using Clock = std::chrono::steady_clock;
    const long before = PeakKilobytes();
    const Clock::time_point start = Clock::now();
    toolkit::Bytes bytes = toolkit::ReadWholeFile(path);
    const Clock::time_point read = Clock::now();
    media::TJPEGImage image;
    image.LoadFromBytes(std::move(bytes));
    const Clock::time_point loaded = Clock::now();
    toolkit::Surface surface(ClientSize, ClientSize, 0xFFFFFFFF);
    image.Draw(surface, 0, 0, surface.Bounds());
    const Clock::time_point drawn = Clock::now();

    const auto milliseconds = [](Clock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); };
    std::printf("%9.1f %9.1f %9.1f %9.1f %9.1f %9.1f\n", milliseconds(read - start), milliseconds(loaded - read),
        milliseconds(drawn - loaded),
        milliseconds(drawn - start), PeakKilobytes() / 1024.0, before / 1024.0);
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--measure")
        return Measure(argv[2]);

    std::printf("%-34s %9s %9s %9s %9s %9s %9s %9s\n", "picture", "file MB", "read ms", "header ms", "draw ms",
        "total ms",
        "peak MB", "start MB");
    for (const Picture& picture : Pictures) {
        const std::string path = PathOf(picture);
        if (!std::filesystem::exists(path))
            Generate(picture, path);
        std::printf("%-34s %9.2f ", picture.Name, double(std::filesystem::file_size(path)) / (1 << 20));
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", argv[0], "--measure", path.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    return 0;
}
