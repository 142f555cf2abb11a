#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdlib>

#include "base/ImageData.h"
#include "display/KytoResultDC.h"
#include "display/Snapshot.h"

namespace {

CKytoDetectRes Detect(int x, int y, int size) {
    CKytoDetectRes d;
    d.x = x;
    d.y = y;
    d.size = size;
    d.confidence = 700;
    d.SetValid(true);
    return d;
}

// 35 faces (the module's most) in a 7 × 5 grid of a 640 × 480 frame, each
// with every estimate filled so that every element gets drawn.
CFrameResult BusyFrame() {
    CFrameResult frame;
    for (int i = 0; i < 35; ++i) {
        FaceResult f;
        f.detect = Detect(60 + (i % 7) * 85, 60 + (i / 7) * 90, 60);
        f.direction.yaw = (i * 7) % 60 - 30;
        f.direction.pitch = (i * 5) % 40 - 20;
        f.direction.roll = (i * 3) % 30 - 15;
        f.direction.SetValid(true);
        f.age.age = 20 + i;
        f.age.state = i % 3 - 1;
        f.age.SetValid(true);
        f.gender.gender = i % 2;
        f.gender.state = i % 3 - 1;
        f.gender.SetValid(true);
        f.gaze.yaw = (i * 11) % 40 - 20;
        f.gaze.pitch = (i * 13) % 30 - 15;
        f.gaze.SetValid(true);
        f.blink.left = (i * 97) % 1000;
        f.blink.right = (i * 131) % 1000;
        f.blink.SetValid(true);
        f.expression.expression = i % 5 + 1;
        f.expression.score = -128;
        for (int k = 0; k < 5; ++k) {
            f.expression.scores[k] = (i * (k + 3)) % 100;
        }
        f.expression.SetValid(true);
        f.recognition.userId = i % 4 == 0 ? -1 : i;
        f.recognition.state = i % 3 - 1;
        f.recognition.SetValid(true);
        f.verify.result = 0;
        f.verify.SetValid(true);
        frame.faces.push_back(f);
    }
    for (int i = 0; i < 35; ++i) {
        frame.bodies.push_back(Detect(40 + (i % 7) * 90, 100 + (i / 7) * 70, 120));
        frame.hands.push_back(Detect(30 + (i % 7) * 88, 30 + (i / 7) * 95, 40));
    }
    return frame;
}

// DrawResults alone (the surface is not cleared between runs, as the
// overlay's cost does not depend on what is under it).
void DrawResults35Faces(benchmark::State& state, bool labels) {
    CKytoResultDC dc;
    dc.Create(320, 320);
    dc.SetFit(320, 240);
    dc.SetUserNameLookup([](int id) { return "User " + std::to_string(id); });
    const CFrameResult frame = BusyFrame();
    std::uint8_t flags[11];
    for (auto& f : flags) {
        f = 1;
    }
    if (!labels) {
        for (int f : {kShowAge, kShowGender, kShowExpression, kShowRecognition, kShowVerify}) {
            flags[f] = 0;
        }
    }
    for (auto _ : state) {
        dc.DrawResults(flags, 0.5, frame);
        benchmark::ClobberMemory();
    }
}
void BM_DrawResults35Faces(benchmark::State& state) {
    DrawResults35Faces(state, true);
}
BENCHMARK(BM_DrawResults35Faces)->Unit(benchmark::kMicrosecond);

// The same without the four label lines per face, to show what text costs.
void BM_DrawResults35FacesNoLabels(benchmark::State& state) {
    DrawResults35Faces(state, false);
}
BENCHMARK(BM_DrawResults35FacesNoLabels)->Unit(benchmark::kMicrosecond);

// A whole panel frame: grey fill, 320 × 240 grey image converted and drawn,
// then the overlay.
void BM_RenderFrame35Faces(benchmark::State& state) {
    CKytoResultDC dc;
    dc.Create(320, 320);
    const CFrameResult frame = BusyFrame();
    CImageData grey;
    grey.Init(320, 240, kFormatGrey8, true);
    for (std::size_t i = 0; i < grey.Size(); ++i) {
        grey.Pixels()[i] = static_cast<std::uint8_t>(i * 7);
    }
    grey.SetImageSize(320, 240);
    std::uint8_t flags[11];
    for (auto& f : flags) {
        f = 1;
    }
    for (auto _ : state) {
        RenderFrame(dc, &grey, frame, flags, 640);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RenderFrame35Faces)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
