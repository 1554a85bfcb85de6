// JPEG files made on the spot with libjpeg's compressor, so a test shows the
// picture it uses, and the ways a file gets broken.
#pragma once

#include "toolkit/Graphics.h"

#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

struct Rgb {
    int Red, Green, Blue;
};

inline constexpr Rgb Red { 255, 0, 0 };
inline constexpr Rgb Green { 0, 255, 0 };
inline constexpr Rgb Blue { 0, 0, 255 };
inline constexpr Rgb Grey { 128, 128, 128 };

// Four solid quadrants: red, green / blue, grey.
inline Rgb Quadrants(int x, int y, int width, int height)
{
    const bool right = 2 * x >= width, bottom = 2 * y >= height;
    return bottom ? (right ? Grey : Blue) : (right ? Green : Red);
}

enum class Samples { Colour, Grey, Inks, InksAsYcck };

struct Coding {
    int Width = 32;
    int Height = 32;
    Samples Kind = Samples::Colour;
    bool Progressive = false;
    bool Arithmetic = false;
    int RestartRows = 0;
    std::vector<jpeg_scan_info> Script {};
    std::function<Rgb(int, int, int, int)> Content = Quadrants;
};

inline toolkit::Bytes Jpeg(const Coding& coding)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr error {};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);

    info.image_width = JDIMENSION(coding.Width);
    info.image_height = JDIMENSION(coding.Height);
    const bool inks = coding.Kind == Samples::Inks || coding.Kind == Samples::InksAsYcck;
    info.input_components = coding.Kind == Samples::Grey ? 1 : inks ? 4 : 3;
    info.in_color_space = coding.Kind == Samples::Grey ? JCS_GRAYSCALE : inks ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (coding.Kind == Samples::InksAsYcck)
        jpeg_set_colorspace(&info, JCS_YCCK);
    if (coding.Progressive)
        jpeg_simple_progression(&info);
    if (!coding.Script.empty()) {
        info.scan_info = coding.Script.data();
        info.num_scans = int(coding.Script.size());
    }
    info.arith_code = coding.Arithmetic;
    info.restart_in_rows = coding.RestartRows;

    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(coding.Width) * std::size_t(info.input_components));
    for (int y = 0; y < coding.Height; ++y) {
        for (int x = 0; x < coding.Width; ++x) {
            const Rgb colour = coding.Content(x, y, coding.Width, coding.Height);
            JSAMPLE* sample = row.data() + std::size_t(x) * std::size_t(info.input_components);
            if (coding.Kind == Samples::Grey) {
                sample[0] = JSAMPLE((colour.Red * 299 + colour.Green * 587 + colour.Blue * 114) / 1000);
            } else if (inks) {
                // Adobe's inverted inks: 255 is none. Grey is made by black ink alone.
                const bool grey = colour.Red == colour.Green && colour.Green == colour.Blue;
                sample[0] = JSAMPLE(grey ? 255 : colour.Red);
                sample[1] = JSAMPLE(grey ? 255 : colour.Green);
                sample[2] = JSAMPLE(grey ? 255 : colour.Blue);
                sample[3] = JSAMPLE(grey ? colour.Red : 255);
            } else {
                sample[0] = JSAMPLE(colour.Red);
                sample[1] = JSAMPLE(colour.Green);
                sample[2] = JSAMPLE(colour.Blue);
            }
        }
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    toolkit::Bytes bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

inline toolkit::Bytes Cut(toolkit::Bytes bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

// The tables take a few hundred bytes; the scan data all the rest.
inline toolkit::Bytes CutMidScan(const Coding& coding)
{
    toolkit::Bytes bytes = Jpeg(coding);
    return Cut(bytes, bytes.size() * 3 / 5);
}

// A whole 1 × 1 PNG: what a picture saved in another format looks like.
inline const toolkit::Bytes Png { 0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49,
    0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53,
    0xDE, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0x00, 0x00, 0x03, 0x01,
    0x01, 0x00, 0xC9, 0xFE, 0x92, 0xEF, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82 };
