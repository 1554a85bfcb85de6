#include "toolkit/Graphics.h"

#include "toolkit/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace toolkit {

namespace {

struct GraphicKind {
    std::vector<std::string> Extensions;
    GraphicFactory Factory;
};

std::map<std::string, GraphicKind>& GraphicKinds()
{
    static std::map<std::string, GraphicKind> kinds;
    return kinds;
}

std::string Lowered(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

}

void RegisterGraphicClass(const std::string& className, std::initializer_list<std::string> extensions,
    GraphicFactory factory)
{
    GraphicKind kind { {}, std::move(factory) };
    for (const std::string& extension : extensions)
        kind.Extensions.push_back(Lowered(extension));
    GraphicKinds()[className] = std::move(kind);
}

std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className)
{
    auto found = GraphicKinds().find(className);
    if (found == GraphicKinds().end())
        throw EInvalidGraphic("Unknown picture class " + className);
    return found->second.Factory();
}

std::unique_ptr<TGraphic> CreateGraphicByFileName(const std::string& fileName)
{
    std::size_t dot = fileName.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : Lowered(fileName.substr(dot + 1));
    for (const auto& [name, kind] : GraphicKinds()) {
        if (std::find(kind.Extensions.begin(), kind.Extensions.end(), extension) != kind.Extensions.end())
            return kind.Factory();
    }
    throw EInvalidGraphic("Unknown picture file extension (." + extension + ")");
}

Bytes ReadWholeFile(const std::string& path)
{
    std::string nativePath = path;
    std::replace(nativePath.begin(), nativePath.end(), '\\', '/');
    auto openError = [&] { return EFOpenError(FormatMessage("ファイル %s は開けません", path)); };

    // A folder opens as a stream on some systems; it is not a file to read.
    std::error_code error;
    if (std::filesystem::is_directory(nativePath, error))
        throw openError();
    std::ifstream file(nativePath, std::ios::binary | std::ios::ate);
    if (!file)
        throw openError();
    // One read of the size the file has now; a file that grows meanwhile is
    // read on to its end.
    std::streamoff size = file.tellg();
    file.seekg(0);
    Bytes content(size > 0 ? std::size_t(size) : 0);
    if (!content.empty() && !file.read(reinterpret_cast<char*>(content.data()), size))
        content.resize(std::size_t(file.gcount()));
    char buffer[64 * 1024];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0)
        content.insert(content.end(), buffer, buffer + file.gcount());
    if (file.bad())
        throw openError();
    return content;
}

void TPicture::LoadFromFile(const std::string& path)
{
    std::unique_ptr<TGraphic> graphic = CreateGraphicByFileName(path);
    graphic->LoadFromBytes(ReadWholeFile(path));
    Assign(std::move(graphic));
}

void TPicture::ReadData(std::span<const std::uint8_t> data)
{
    if (data.empty() || data.size() < 1u + data[0])
        throw EReadError("Picture data ends inside its class name");
    std::string className(data.begin() + 1, data.begin() + 1 + data[0]);
    std::unique_ptr<TGraphic> graphic = CreateGraphicByClassName(className);
    std::span<const std::uint8_t> rest = data.subspan(1u + data[0]);
    if (graphic->ReadData(rest) != rest.size())
        throw EReadError("Picture data has bytes after its picture");
    Assign(std::move(graphic));
}

void TPicture::Assign(std::unique_ptr<TGraphic> graphic)
{
    m_graphic = std::move(graphic);
    if (OnChange)
        OnChange();
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    m_surface.SetPixel(x, y, Surface::FromColor(color));
}

TColor TCanvas::Pixel(int x, int y) const
{
    return Surface::ToColor(m_surface.PixelAt(x, y));
}

namespace {

// Doubled coordinates keep every pixel centre and box centre on integers, so
// whether a pixel lies inside is decided exactly: pixel (x, y) is inside when
// its centre lies within the ellipse inscribed in the box.
struct DoubledEllipse {
    long long CentreX, CentreY; // x1 + x2, y1 + y2
    long long AxisX, AxisY; // x2 - x1, y2 - y1

    bool Inside(long long x, long long y) const
    {
        if (AxisX <= 0 || AxisY <= 0)
            return false;
        long long dx = 2 * x + 1 - CentreX;
        long long dy = 2 * y + 1 - CentreY;
        // Exact in 64 bits while the box fits in 32767 pixels; beyond that no
        // screen shows the difference.
        if (AxisX <= 32767 && AxisY <= 32767)
            return dx * dx * AxisY * AxisY + dy * dy * AxisX * AxisX <= AxisX * AxisX * AxisY * AxisY;
        long double fx = (long double)dx / (long double)AxisX;
        long double fy = (long double)dy / (long double)AxisY;
        return fx * fx + fy * fy <= 1.0L;
    }
};

}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    Rect box { x1, y1, x2, y2 };
    Rect visible = box.Intersected(m_surface.Bounds());
    if (box.Empty() || visible.Empty())
        return;

    // The pen draws a one-pixel outline just inside the box: the pixels of
    // the ellipse that the ellipse of the box shrunk by one on each side
    // leaves out. The brush fills the rest.
    DoubledEllipse outer { (long long)x1 + x2, (long long)y1 + y2, (long long)x2 - x1, (long long)y2 - y1 };
    DoubledEllipse inner { outer.CentreX, outer.CentreY, outer.AxisX - 2, outer.AxisY - 2 };
    const Surface::Pixel pen = Surface::FromColor(Pen.Color);
    const Surface::Pixel brush = Surface::FromColor(Brush.Color);
    const long double halfWidth = (long double)outer.AxisX / 2;
    const long double centreX = (long double)outer.CentreX / 2;

    for (int y = visible.Top; y < visible.Bottom; ++y) {
        // Start from the analytic span and settle its ends exactly.
        long double dy = (long double)(2LL * y + 1 - outer.CentreY) / (long double)outer.AxisY;
        long double extent = dy * dy < 1 ? halfWidth * std::sqrt(1 - dy * dy) : 0;
        long long left = std::max<long long>((long long)std::floor(centreX - extent - 0.5L), x1);
        long long right = std::min<long long>((long long)std::ceil(centreX + extent - 0.5L), (long long)x2 - 1);
        while (left <= right && !outer.Inside(left, y))
            ++left;
        while (right >= left && !outer.Inside(right, y))
            --right;
        while (left > x1 && outer.Inside(left - 1, y))
            --left;
        while (right + 1 < x2 && outer.Inside(right + 1, y))
            ++right;
        long long from = std::max<long long>(left, visible.Left);
        long long to = std::min<long long>(right, visible.Right - 1);
        Surface::Pixel* line = m_surface.ScanLine(y);
        for (long long x = from; x <= to; ++x)
            line[x] = inner.Inside(x, y) ? brush : pen;
    }
    m_surface.MarkDirty(visible);
}

}
