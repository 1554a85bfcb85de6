// How long one pass of border noise takes in process, drawn and presented on
// the headless backend, and how long a full disc of the last tick takes.
#include "Unit1.h"
#include "media/CommandString.h"
#include "toolkit/headless/HeadlessBackend.h"

#include <benchmark/benchmark.h>

namespace {

class BenchForm : public TForm1 {
public:
    using TForm1::TForm1;
    using TForm1::CircleScale;
    using TForm1::CircleStep;
};

BenchForm* StartForm()
{
    // No picture file and no tune here: start-up shows its error box and the
    // form runs on its built-in picture, which is all these passes need.
    media::SetCommandStringHandler([](const std::string&) { return 0; });
    toolkit::Application->Initialize(std::make_unique<toolkit::HeadlessBackend>());
    BenchForm* form = nullptr;
    toolkit::Application->CreateForm(form);
    form->Show();
    return form;
}

// Times one pass of the given drawing, presented as the event loop would.
template <class Drawing>
void Measure(benchmark::State& state, Drawing draw)
{
    BenchForm* form = StartForm();
    for (auto _ : state) {
        draw(*form);
        form->PresentChanges();
    }
    toolkit::Application->Shutdown();
}

void NoisePass(benchmark::State& state)
{
    Measure(state, [](BenchForm& form) { form.DrawBorderNoise(); });
}
BENCHMARK(NoisePass)->Unit(benchmark::kMicrosecond);

void LastDisc(benchmark::State& state)
{
    Measure(state, [](BenchForm& form) {
        form.CircleStep = 35;
        form.CircleScale = 11;
        form.DrawCircle(true);
    });
}
BENCHMARK(LastDisc)->Unit(benchmark::kMicrosecond);

void Repaint(benchmark::State& state)
{
    Measure(state, [](BenchForm& form) { form.Repaint(); });
}
BENCHMARK(Repaint)->Unit(benchmark::kMicrosecond);

}

BENCHMARK_MAIN();
