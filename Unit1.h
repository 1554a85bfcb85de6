// The piece: one window whose edges shimmer, and a click that sets off 62
// ticks of glitches ending in white.
#pragma once

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Forms.h"

#include <string>

class TForm1 : public toolkit::TForm {
public:
    static constexpr const char* ClassName = "TForm1";

    explicit TForm1(toolkit::TComponent* AOwner);

    // Published: the declaration binds these by name.
    toolkit::TImage* Image1 = nullptr;
    toolkit::TTimer* Timer1 = nullptr;
    toolkit::TTimer* Timer2 = nullptr;

    void FormCreate(toolkit::TObject* Sender);
    void FormDestroy(toolkit::TObject* Sender);
    void Image1Click(toolkit::TObject* Sender);
    void Timer1Timer(toolkit::TObject* Sender);
    void Timer2Timer(toolkit::TObject* Sender);

    virtual void DrawDot();
    virtual void DrawCircle(bool Grow);
    virtual void DrawBorderNoise();

protected:
    // Zero until FormCreate completes; a failed start-up leaves them so.
    int Tick = 0;
    int CircleStep = 0;
    std::string MidiPath;
    int CircleScale = 0;
};

extern TForm1* Form1;
