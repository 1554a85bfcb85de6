#include "Unit1.h"

#include "media/CommandString.h"
#include "media/JpegImage.h"
#include "toolkit/Random.h"

using namespace toolkit;

TForm1* Form1 = nullptr;

namespace {

constexpr int ClientSize = 320;
constexpr int Centre = 160;
// Noise channels lie in 208..254: pale, faintly tinted, never white.
constexpr int NoiseBase = 208;
constexpr int NoiseSpread = 47;
// The title takes up to 39 characters of codes 1..14; code 0 ends it.
constexpr int TitleLengthRange = 40;
constexpr int TitleCodeRange = 15;
// Ticks counted before the increment: the picture goes at 59 and 60, the
// timer stops from 61.
constexpr int HidePictureTick = 59;
constexpr int StopTick = 61;
// Ticks counted after the increment: discs from 27, growing faster from 52.
constexpr int FirstCircleTick = 27;
constexpr int GrowTick = 52;

const std::string PicturePath = "[]\\sketch5421365.jpg";
const std::string TunePath = "[]\\;;;;;.mid";

// The declaration's built-in picture is a JPEG, so the kind must be known
// before any form is read.
const bool JpegRegistered = (media::RegisterJpegImage(), true);

}

TForm1::TForm1(TComponent* AOwner)
    : TForm(AOwner)
{
    PublishField("Image1", &TForm1::Image1);
    PublishField("Timer1", &TForm1::Timer1);
    PublishField("Timer2", &TForm1::Timer2);
    PublishMethod("FormCreate", &TForm1::FormCreate);
    PublishMethod("FormDestroy", &TForm1::FormDestroy);
    PublishMethod("Image1Click", &TForm1::Image1Click);
    PublishMethod("Timer1Timer", &TForm1::Timer1Timer);
    PublishMethod("Timer2Timer", &TForm1::Timer2Timer);
}

void TForm1::FormCreate(TObject*)
{
    Randomize();
    Image1->Picture.LoadFromFile(PicturePath);
    MidiPath = TunePath;
    media::SendCommandString("open " + MidiPath + " type sequencer alias midifile");
    Tick = 0;
    CircleStep = 0;
    CircleScale = 1;
}

void TForm1::FormDestroy(TObject*)
{
    media::SendCommandString("stop midifile");
    media::SendCommandString("close midifile");
}

void TForm1::Image1Click(TObject*)
{
    Timer1->SetEnabled(true);
    media::SendCommandString("play midifile");
}

void TForm1::Timer1Timer(TObject*)
{
    SetCaption("");
    if (Tick < HidePictureTick) {
        int length = Random(TitleLengthRange);
        for (int i = 0; i < length; ++i)
            SetCaption(Caption() + char(Random(TitleCodeRange)));
    } else if (Tick < StopTick) {
        Image1->SetVisible(false);
    } else {
        Timer1->SetEnabled(false);
    }
    DrawDot();
    ++Tick;
    if (Tick >= FirstCircleTick)
        DrawCircle(Tick >= GrowTick);
}

void TForm1::Timer2Timer(TObject*)
{
    DrawBorderNoise();
}

void TForm1::DrawDot()
{
    int y = Random(ClientSize);
    int x = Random(ClientSize);
    Canvas.SetPixel(x, y, clWhite);
}

void TForm1::DrawCircle(bool Grow)
{
    ++CircleStep;
    if (Grow)
        ++CircleScale;
    Canvas.Pen.Color = clWhite;
    Canvas.Brush.Color = clWhite;
    int radius = CircleStep * CircleScale;
    Canvas.Ellipse(Centre - radius, Centre - radius, Centre + radius, Centre + radius);
}

void TForm1::DrawBorderNoise()
{
    const int last = ClientSize - 1;
    for (int i = 0; i < ClientSize; ++i) {
        int red = NoiseBase + Random(NoiseSpread);
        int green = NoiseBase + Random(NoiseSpread);
        int blue = NoiseBase + Random(NoiseSpread);
        TColor color = TColor(red + green * 256 + blue * 65536);
        Canvas.SetPixel(i, 0, color);
        Canvas.SetPixel(i, last, color);
        Canvas.SetPixel(0, i, color);
        Canvas.SetPixel(last, i, color);
    }
}
