#include "media/JpegImage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <jpeglib.h>

namespace media {

using toolkit::Bytes;
using toolkit::Rect;
using toolkit::Surface;

namespace {

constexpr const char* JpegErrorPattern = "JPEG エラー #%d";
constexpr const char* StreamReadError = "ストリームの読み込みエラー";

// A standard progressive script has ten scans and encoders that tune their
// scripts stay within a few dozen; a file with more is hostile, and shows
// what its first scans hold.
constexpr int MaxScans = 100;
// Every scan of a multi-scan file sweeps all decoded rows across the full
// width. This bounds the sum, in 8 × 8 blocks, to some 130 ms of decoding.
// A standard script over the top 320 rows of the widest picture that the
// memory limit below admits sweeps two thirds of it.
constexpr long MaxSweptBlocks = 2'500'000;
// libjpeg keeps the coefficients of a multi-scan file for every decoded row
// across the full width, 2 bytes a sample. For the top 320 rows only a
// picture wider than about 40000 pixels (20000 without chroma subsampling)
// needs more; it is refused rather than allowed to claim that much.
constexpr long MaxDecoderMemory = 40L << 20;
// Upsampling and the block smoothing of incomplete progressive data read up
// to two blocks of neighbours, so decoding that many MCUs around the drawn
// area keeps every pixel in it as a full decode would make it.
constexpr int NeighbourMCUs = 2;

// The surface's 0xAARRGGBB pixels as bytes in memory; libjpeg-turbo writes
// them directly, alpha set to 0xFF.
constexpr J_COLOR_SPACE SurfaceLayout = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

struct ErrorTrap {
    jpeg_error_mgr manager; // First, so libjpeg's pointer to it leads back here.
    std::jmp_buf jump;
};

// Serves the content to libjpeg in up to three pieces, so the frame height
// can be replaced without copying the file.
struct PieceSource {
    jpeg_source_mgr manager; // First, as above.
    std::array<std::span<const JOCTET>, 3> pieces;
    std::size_t next = 0;
    std::array<JOCTET, 2> height {};
};

}

extern "C" {

static void LeaveByJump(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

// Warnings and traces are libjpeg's business; this program prints nothing.
static void IgnoreMessage(j_common_ptr, int) { }
static void PrintNothing(j_common_ptr) { }

static void NoSourceWork(j_decompress_ptr) { }

static boolean FillFromNextPiece(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<PieceSource*>(info->src);
    while (source->next < source->pieces.size()) {
        std::span<const JOCTET> piece = source->pieces[source->next++];
        if (!piece.empty()) {
            source->manager.next_input_byte = piece.data();
            source->manager.bytes_in_buffer = piece.size();
            return TRUE;
        }
    }
    // Past the end libjpeg finds an end-of-image marker, as with its own
    // memory source: a file cut short decodes as far as its data goes.
    static const JOCTET EndOfImage[] = { 0xFF, JPEG_EOI };
    source->manager.next_input_byte = EndOfImage;
    source->manager.bytes_in_buffer = sizeof EndOfImage;
    return TRUE;
}

static void SkipInput(j_decompress_ptr info, long count)
{
    auto* source = reinterpret_cast<PieceSource*>(info->src);
    std::size_t remaining = count > 0 ? std::size_t(count) : 0;
    while (remaining > source->manager.bytes_in_buffer) {
        remaining -= source->manager.bytes_in_buffer;
        if (source->next == source->pieces.size()) {
            source->manager.bytes_in_buffer = 0;
            return;
        }
        FillFromNextPiece(info);
    }
    source->manager.next_input_byte += remaining;
    source->manager.bytes_in_buffer -= remaining;
}
}

namespace {

int BigEndian16(std::span<const std::uint8_t> data, std::size_t at) { return data[at] << 8 | data[at + 1]; }

// One libjpeg decompressor over the content. When rows is below the frame's
// height, libjpeg reads a frame header that ends the picture there.
class Decoder {
public:
    Decoder(std::span<const std::uint8_t> data, std::size_t heightOffset = 0, int rows = 0)
    {
        m_info.err = jpeg_std_error(&m_trap.manager);
        m_trap.manager.error_exit = LeaveByJump;
        m_trap.manager.emit_message = IgnoreMessage;
        m_trap.manager.output_message = PrintNothing;
        Run([](j_decompress_ptr info) { jpeg_create_decompress(info); });

        m_source.manager.init_source = NoSourceWork;
        m_source.manager.fill_input_buffer = FillFromNextPiece;
        m_source.manager.skip_input_data = SkipInput;
        m_source.manager.resync_to_restart = jpeg_resync_to_restart;
        m_source.manager.term_source = NoSourceWork;
        if (heightOffset != 0) {
            m_source.height = { JOCTET(rows >> 8), JOCTET(rows) };
            m_source.pieces = { data.first(heightOffset), m_source.height, data.subspan(heightOffset + 2) };
        } else {
            m_source.pieces = { data, {}, {} };
        }
        m_info.src = &m_source.manager;
    }
    ~Decoder() { jpeg_destroy_decompress(&m_info); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    j_decompress_ptr Info() { return &m_info; }
    int MessageNumber() const { return m_trap.manager.msg_code; }

    // Runs one step of libjpeg work; false when libjpeg gave up, in this step
    // or an earlier one. Its fatal errors come back here through longjmp, so
    // a step must not own anything with a destructor.
    template <typename Step>
    bool Run(Step&& step)
    {
        if (!m_usable)
            return false;
        if (setjmp(m_trap.jump) != 0) {
            m_usable = false;
            return false;
        }
        step(&m_info);
        return true;
    }

private:
    ErrorTrap m_trap {};
    PieceSource m_source {};
    jpeg_decompress_struct m_info {};
    bool m_usable = true;
};

// Finds the frame header the way libjpeg's marker reader does (past stray
// and fill bytes, over each marker segment) and returns the offset of its
// height field, or 0 when none comes before the first scan.
std::size_t FindFrameHeight(std::span<const std::uint8_t> data)
{
    if (data.size() < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return 0;
    std::size_t at = 2;
    while (at < data.size()) {
        if (data[at++] != 0xFF)
            continue;
        while (at < data.size() && data[at] == 0xFF)
            ++at;
        if (at >= data.size())
            return 0;
        const int marker = data[at++];
        if (marker == 0 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return at + 7 <= data.size() ? at + 3 : 0;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || at + 2 > data.size())
            return 0;
        at += std::size_t(BigEndian16(data, at));
    }
    return 0;
}

struct ScanProgress {
    int CompleteScans = 0;
    long SweptBlocks = 0;
};

// Reads every scan of a multi-scan file into libjpeg's coefficient buffer,
// stopping early once a limit is reached. It stops as soon as a scan ends,
// as reading the next scan's header also starts that scan.
void ConsumeScans(j_decompress_ptr info, int scanLimit, ScanProgress& progress)
{
    while (progress.SweptBlocks < MaxSweptBlocks) {
        switch (jpeg_consume_input(info)) {
        case JPEG_REACHED_EOI:
            progress.CompleteScans = info->input_scan_number;
            return;
        case JPEG_SCAN_COMPLETED:
            progress.CompleteScans = info->input_scan_number;
            if (progress.CompleteScans >= scanLimit)
                return;
            break;
        case JPEG_ROW_COMPLETED: {
            const long rows = info->comps_in_scan == 1 ? info->cur_comp_info[0]->v_samp_factor : 1;
            progress.SweptBlocks += long(info->MCUs_per_row) * info->blocks_in_MCU * rows;
            break;
        }
        case JPEG_SUSPENDED:
            return; // The source never suspends; this only guards the loop.
        default:
            break;
        }
    }
}

void Start(j_decompress_ptr info)
{
    jpeg_read_header(info, TRUE);
    // libjpeg converts no inks to RGB: they come as CMYK, converted here.
    const bool inks = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = inks ? JCS_CMYK : SurfaceLayout;
    info->buffered_image = jpeg_has_multiple_scans(info);
    info->mem->max_memory_to_use = MaxDecoderMemory;
    jpeg_start_decompress(info);
}

// Adobe's encoders, which write nearly every CMYK file, store the inks
// inverted (255 is no ink) and say so in their marker.
void StoreInks(const JSAMPLE* inks, Surface::Pixel* pixels, int count, bool inverted)
{
    for (int x = 0; x < count; ++x, inks += 4) {
        const int flip = inverted ? 0 : 255;
        const int cyan = inks[0] ^ flip, magenta = inks[1] ^ flip, yellow = inks[2] ^ flip, black = inks[3] ^ flip;
        const auto channel = [black](int light) { return Surface::Pixel((light * black + 127) / 255); };
        pixels[x] = 0xFF000000u | channel(cyan) << 16 | channel(magenta) << 8 | channel(yellow);
    }
}

struct Output {
    Rect Area;
    JDIMENSION CropLeft = 0;
    JDIMENSION CropWidth = 0;
    int Scan = MaxScans;
    Surface* Pixels = nullptr;
};

void ReadArea(j_decompress_ptr info, const Output& output)
{
    if (info->buffered_image) {
        // Block smoothing reads ahead into the next scan, which, when the
        // scans were cut short, is the one not to be read.
        if (!jpeg_input_complete(info))
            info->do_block_smoothing = FALSE;
        jpeg_start_output(info, std::min(info->input_scan_number, output.Scan));
    }
    JDIMENSION left = output.CropLeft;
    JDIMENSION width = output.CropWidth;
    jpeg_crop_scanline(info, &left, &width);
    JSAMPARRAY row = info->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
        width * JDIMENSION(info->output_components), 1);
    const int skipped = output.Area.Left - int(left);
    const bool inks = info->out_color_space == JCS_CMYK;
    while (int(info->output_scanline) < output.Area.Bottom) {
        const int y = int(info->output_scanline);
        if (jpeg_read_scanlines(info, row, 1) == 0)
            return;
        if (y < output.Area.Top)
            continue;
        const JSAMPLE* samples = row[0] + skipped * info->output_components;
        Surface::Pixel* pixels = output.Pixels->ScanLine(y - output.Area.Top);
        if (inks)
            StoreInks(samples, pixels, output.Area.Width(), info->saw_Adobe_marker);
        else
            std::memcpy(pixels, samples, std::size_t(output.Area.Width()) * sizeof(Surface::Pixel));
    }
}

enum class Outcome { Read, ScansFailed, Failed };

Outcome DecodeArea(std::span<const std::uint8_t> data, std::size_t heightOffset, int rows, const Output& output,
    ScanProgress& progress)
{
    Decoder decoder(data, heightOffset, rows);
    if (!decoder.Run(Start))
        return Outcome::Failed;
    if (decoder.Info()->buffered_image
        && !decoder.Run([&](j_decompress_ptr info) { ConsumeScans(info, output.Scan, progress); }))
        return Outcome::ScansFailed;
    return decoder.Run([&](j_decompress_ptr info) { ReadArea(info, output); }) ? Outcome::Read : Outcome::Failed;
}

int RoundUp(int value, int step) { return (value + step - 1) / step * step; }

}

EJPEG::EJPEG(int messageNumber)
    : toolkit::Exception(toolkit::FormatMessage(JpegErrorPattern, std::to_string(messageNumber)))
    , m_messageNumber(messageNumber)
{
}

void TJPEGImage::LoadFromBytes(Bytes bytes)
{
    m_data.clear();
    m_frame = {};
    m_pixels = {};
    m_decodedArea = {};
    m_decodeCount = 0;
    if (bytes.empty())
        return;

    Frame frame;
    Decoder decoder(bytes);
    const bool read = decoder.Run([&frame](j_decompress_ptr info) {
        jpeg_read_header(info, TRUE);
        frame.Width = int(info->image_width);
        frame.Height = int(info->image_height);
        frame.Grayscale = info->jpeg_color_space == JCS_GRAYSCALE;
        frame.MultiScan = jpeg_has_multiple_scans(info);
        frame.MCUWidth = 8 * info->max_h_samp_factor;
        frame.MCUHeight = 8 * info->max_v_samp_factor;
    });
    if (!read)
        throw EJPEG(decoder.MessageNumber());

    // The height is replaced at decode time only where it is certainly the
    // frame header libjpeg read.
    const std::size_t at = FindFrameHeight(bytes);
    if (at != 0 && BigEndian16(bytes, at) == frame.Height && BigEndian16(bytes, at + 2) == frame.Width)
        frame.HeightOffset = at;
    m_frame = frame;
    m_data = std::move(bytes);
}

std::size_t TJPEGImage::ReadData(std::span<const std::uint8_t> data)
{
    constexpr std::size_t CountSize = 4;
    if (data.size() < CountSize)
        throw toolkit::EReadError(StreamReadError);
    const std::size_t count = std::size_t(data[0]) | std::size_t(data[1]) << 8 | std::size_t(data[2]) << 16
        | std::size_t(data[3]) << 24;
    if (count > data.size() - CountSize)
        throw toolkit::EReadError(StreamReadError);
    LoadFromBytes(Bytes(data.begin() + CountSize, data.begin() + CountSize + count));
    return CountSize + count;
}

void TJPEGImage::Draw(Surface& surface, int x, int y, const Rect& clip)
{
    const Rect target = clip.Intersected(surface.Bounds()).Intersected({ x, y, x + Width(), y + Height() });
    if (target.Empty())
        return;
    const Rect wanted { target.Left - x, target.Top - y, target.Right - x, target.Bottom - y };
    if (!m_decodedArea.Contains(wanted))
        Decode(m_decodedArea.United(wanted));
    if (m_pixels.Width() == 0)
        return;

    for (int row = wanted.Top; row < wanted.Bottom; ++row) {
        const Surface::Pixel* from = m_pixels.ScanLine(row - m_decodedArea.Top) + (wanted.Left - m_decodedArea.Left);
        Surface::Pixel* to = surface.ScanLine(row + y) + target.Left;
        for (int i = 0; i < wanted.Width(); ++i) {
            if (from[i] >> 24 != 0)
                to[i] = from[i];
        }
    }
    surface.MarkDirty(target);
}

void TJPEGImage::Decode(const Rect& area)
{
    m_decodedArea = area;
    ++m_decodeCount;
    try {
        m_pixels = Surface(area.Width(), area.Height(), 0);
    } catch (const std::bad_alloc&) {
        m_pixels = {};
        return;
    }

    // Rows below the area are never shown, so libjpeg is told the frame ends
    // a little past it: a multi-scan file then costs memory and work for
    // those rows only, and the rest of each scan is skipped unread.
    const int rows = std::min(m_frame.Height,
        RoundUp(area.Bottom, m_frame.MCUHeight) + NeighbourMCUs * m_frame.MCUHeight);
    const std::size_t heightOffset = rows < m_frame.Height ? m_frame.HeightOffset : 0;
    const int margin = NeighbourMCUs * m_frame.MCUWidth;
    const int cropLeft = std::max(0, area.Left - margin);
    const int cropRight = std::min(m_frame.Width, area.Right + margin);
    Output output { area, JDIMENSION(cropLeft), JDIMENSION(cropRight - cropLeft), MaxScans, &m_pixels };

    ScanProgress progress;
    if (DecodeArea(m_data, heightOffset, rows, output, progress) == Outcome::ScansFailed
        && progress.CompleteScans > 0) {
        // A scan libjpeg cannot read ends the file early: show the scans
        // before it.
        output.Scan = progress.CompleteScans;
        DecodeArea(m_data, heightOffset, rows, output, progress);
    }
}

void RegisterJpegImage()
{
    toolkit::RegisterGraphicClass("TJPEGImage", { "jpg", "jpeg" }, [] { return std::make_unique<TJPEGImage>(); });
}

}
