// The JPEG picture kind: keeps a file's bytes, reads the header on load and
// decodes with libjpeg on the first Draw, only as much as is being drawn.
#pragma once

#include "toolkit/Exceptions.h"
#include "toolkit/Graphics.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace media {

// libjpeg could not read a header; the message carries libjpeg's number.
class EJPEG : public toolkit::Exception {
public:
    explicit EJPEG(int messageNumber);
    int MessageNumber() const { return m_messageNumber; }

private:
    int m_messageNumber;
};

class TJPEGImage : public toolkit::TGraphic {
public:
    int Width() const override { return m_frame.Width; }
    int Height() const override { return m_frame.Height; }
    bool Grayscale() const { return m_frame.Grayscale; }
    // True for any file of several scans (progressive or not interleaved).
    bool ProgressiveEncoding() const { return m_frame.MultiScan; }

    // Empty content is a 0 × 0 picture; otherwise throws EJPEG when libjpeg
    // cannot read the header up to the first scan.
    void LoadFromBytes(toolkit::Bytes bytes) override;
    // A 32-bit little-endian byte count, then that many bytes of a JPEG file.
    // Throws toolkit::EReadError when the count runs past the data.
    std::size_t ReadData(std::span<const std::uint8_t> data) override;
    void Draw(toolkit::Surface& surface, int x, int y, const toolkit::Rect& clip) override;

    // The part of the picture decoded so far, and how many decodes that took.
    // A repaint inside it decodes nothing, even when the decode failed.
    const toolkit::Rect& DecodedArea() const { return m_decodedArea; }
    int DecodeCount() const { return m_decodeCount; }

    struct Frame {
        int Width = 0;
        int Height = 0;
        bool Grayscale = false;
        bool MultiScan = false;
        // The largest MCU, in pixels: how far libjpeg looks for neighbours.
        int MCUWidth = 8;
        int MCUHeight = 8;
        // Where the frame header stores the height, or 0 if it was not found.
        std::size_t HeightOffset = 0;
    };

private:
    void Decode(const toolkit::Rect& area);

    toolkit::Bytes m_data;
    Frame m_frame;
    // Decoded pixels of m_decodedArea; alpha 0 where nothing could be decoded.
    toolkit::Surface m_pixels;
    toolkit::Rect m_decodedArea;
    int m_decodeCount = 0;
};

// Registers TJPEGImage for "jpg" and "jpeg"; calling it again changes nothing.
void RegisterJpegImage();

}
