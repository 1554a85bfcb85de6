// Pictures, the picture holder, and the drawing surface of a form. Picture
// kinds register themselves by class name and file extension; the toolkit
// itself knows none of them.
#pragma once

#include "toolkit/Surface.h"
#include "toolkit/Types.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace toolkit {

using Bytes = std::vector<std::uint8_t>;

// One kind of picture (a JPEG, say). Loading reads just enough to know the
// size; pixels may be decoded later, on the first Draw.
class TGraphic {
public:
    virtual ~TGraphic() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }

    // Loads a file's whole content. Throws the kind's own exception when the
    // content is not a picture of this kind.
    virtual void LoadFromBytes(Bytes bytes) = 0;
    // Reads the kind's stored form inside a declaration's Picture.Data, which
    // follows the class name; returns how many bytes it used.
    virtual std::size_t ReadData(std::span<const std::uint8_t> data) = 0;

    // Draws the picture unscaled with its top-left corner at (x, y), touching
    // only pixels inside clip (already within the surface). Must not throw:
    // a picture that cannot be decoded draws what it can.
    virtual void Draw(Surface& surface, int x, int y, const Rect& clip) = 0;
};

using GraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

// Registers a picture kind; registering the same class name again replaces it.
void RegisterGraphicClass(const std::string& className, std::initializer_list<std::string> extensions,
    GraphicFactory factory);
// Throws EInvalidGraphic when nothing is registered under the name.
std::unique_ptr<TGraphic> CreateGraphicByClassName(const std::string& className);
// The extension is the text after the last "."; matching ignores case.
std::unique_ptr<TGraphic> CreateGraphicByFileName(const std::string& fileName);

// Reads a whole file. The path uses "\" or "/" as folder separator. Throws
// EFOpenError naming the path as given when it cannot be opened or read.
Bytes ReadWholeFile(const std::string& path);

// Holds one picture of any registered kind.
class TPicture {
public:
    TGraphic* Graphic() const { return m_graphic.get(); }
    int Width() const { return m_graphic ? m_graphic->Width() : 0; }
    int Height() const { return m_graphic ? m_graphic->Height() : 0; }

    // The old picture is released only once the new one has loaded.
    void LoadFromFile(const std::string& path);
    // Picture.Data: a length-prefixed class name, then that kind's data.
    void ReadData(std::span<const std::uint8_t> data);
    void Assign(std::unique_ptr<TGraphic> graphic);

    std::function<void()> OnChange;

private:
    std::unique_ptr<TGraphic> m_graphic;
};

// A Windows icon file, kept as its bytes and decoded to pixels on load.
class TIcon {
public:
    // Throws EReadError when the bytes are not an icon this toolkit reads.
    void LoadFromBytes(Bytes bytes);
    const Bytes& Data() const { return m_data; }
    // The first image, with transparent pixels at alpha 0.
    const Surface& Image() const { return m_image; }
    bool Empty() const { return m_image.Width() == 0; }

private:
    Bytes m_data;
    Surface m_image;
};

struct TPen {
    TColor Color = clBlack;
};

struct TBrush {
    TColor Color = clWhite;
};

enum class TFontStyle { Bold, Italic, Underline, StrikeOut };

// Stored with the form; nothing in this program draws text with it.
struct TFont {
    int Charset = 1;
    TColor Color = clWindowText;
    int Height = -11;
    std::string Name = "Tahoma";
    std::vector<TFontStyle> Style;
};

// Draws straight onto a surface, clipped to it. Whatever is drawn is shown
// when the running handler returns and lasts until the next repaint.
class TCanvas {
public:
    explicit TCanvas(Surface& surface)
        : m_surface(surface)
    {
    }

    TPen Pen;
    TBrush Brush;

    void SetPixel(int x, int y, TColor color);
    TColor Pixel(int x, int y) const;
    // The ellipse inscribed in the box from (x1, y1) to (x2, y2), left and top
    // edges included, right and bottom excluded: outlined with the pen and
    // filled with the brush. An empty box draws nothing.
    void Ellipse(int x1, int y1, int x2, int y2);

private:
    Surface& m_surface;
};

}
