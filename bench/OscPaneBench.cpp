// Repainting the recorder's four panes at full width (1920 columns) with a
// full ring: alternating runs on gas and on petrol and moving traces, so
// every column and every trace point is drawn.
#include "mainwindow/OscRecorder.h"
#include "widgets/OscPaneWidget.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>

using namespace lumex;

namespace {

constexpr int kWidth = 1920;
constexpr int kPaneHeight = 200;

void FillRing(TOscRecorder &recorder)
{
    recorder.Resize(kWidth);
    recorder.Start(0xF0);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i <= kWidth; ++i) {
        TOscSample s;
        const bool gas = (i / 97) % 2 == 1;
        s.Tb = 4 + 3 * std::sin(i * 0.05);
        s.Tg = gas ? s.Tb * 1.2 : 0;
        s.GasFlag = gas ? -1 : 0;
        s.Psys = 1.1 + 0.2 * std::sin(i * 0.03);
        s.Pcol = 0.4 + 0.3 * std::cos(i * 0.02);
        s.TempG = 30 + 10 * std::sin(i * 0.01);
        s.TempR = 60 + 5 * std::cos(i * 0.01);
        s.RPM = 2000 + 1500 * std::sin(i * 0.02);
        s.Lambda = 0.45 + 0.4 * std::sin(i * 0.3);
        s.Voltage = 13.8;
        recorder.Append(s, start + std::chrono::milliseconds(200 * i));
    }
}

TOscTrace Trace(TOscChannel channel)
{
    const TOscChannelInfo &info = OscChannelInfo(channel);
    return {QColor::fromRgb(info.Rgb), [channel](const TOscSample &s) { return OscValue(s, channel); },
            [&info] {
                return std::pair<double, double>{info.Low, info.High};
            }};
}

void BM_RepaintFourPanes(benchmark::State &state)
{
    TOscRecorder recorder;
    FillRing(recorder);
    std::vector<std::unique_ptr<TOscPaneWidget>> panes;
    const std::vector<std::vector<TOscChannel>> traces = {
        {TOscChannel::Tb, TOscChannel::Tg},
        {TOscChannel::Psys, TOscChannel::Pcol},
        {TOscChannel::TempG, TOscChannel::TempR},
        {TOscChannel::RPM, TOscChannel::Lambda, TOscChannel::Voltage}};
    for (const auto &list : traces) {
        auto pane = std::make_unique<TOscPaneWidget>(recorder);
        std::vector<TOscTrace> t;
        for (TOscChannel c : list)
            t.push_back(Trace(c));
        pane->SetTraces(std::move(t));
        panes.push_back(std::move(pane));
    }
    QImage image(kWidth, kPaneHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        for (auto &pane : panes) {
            QPainter painter(&image);
            pane->PaintPane(painter, kWidth, kPaneHeight);
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_RepaintFourPanes)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
