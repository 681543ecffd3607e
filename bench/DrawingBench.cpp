// What drawing costs: one port card at 2x (redrawn on every refresh while the menu is open), the
// whole menu preview in this process, and the preview as a whole program run, start to exit.
#include "app/ui/PowerMenuUI.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

using namespace ampwell;

void BM_DevicePowerViewAt2x(benchmark::State& state) {
    DevicePowerView card;
    card.update("iPad", "8.4 W", "USB-C 1 · 80% · 未充电", "5.22 V  /  1.61 A  ·  上限 15 W", IndicatorState::normal);
    auto bitmap = platform::makeBitmapCanvas({card.width(), card.height()}, 2, platform::Appearance::light);
    for (auto _ : state) {
        card.draw(*bitmap, true);
        benchmark::DoNotOptimize(bitmap->pixel(72, 66));
    }
}
BENCHMARK(BM_DevicePowerViewAt2x)->Unit(benchmark::kMicrosecond);

void BM_PowerMenuPreviewInProcess(benchmark::State& state) {
    for (auto _ : state) {
        auto bitmap =
            platform::makeBitmapCanvas(kPowerMenuPreviewSize, kPowerMenuPreviewScale, platform::Appearance::light);
        drawPowerMenuPreview(*bitmap);
        benchmark::DoNotOptimize(bitmap->encodePng());
    }
}
BENCHMARK(BM_PowerMenuPreviewInProcess)->Unit(benchmark::kMillisecond);

// The figure a user waits for: start the program, render, encode, write, exit.
void BM_PreviewMenuProgram(benchmark::State& state) {
    const std::string output = "/tmp/ampwell-bench-preview-" + std::to_string(::getpid()) + ".png";
    const std::string command = std::string(AMPWELL_BINARY) + " --preview-menu " + output;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("the preview run failed");
    }
    ::unlink(output.c_str());
}
BENCHMARK(BM_PreviewMenuProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
