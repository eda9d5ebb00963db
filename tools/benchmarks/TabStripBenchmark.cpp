// Time to paint the tab strip with 1, 10, 100 and 1000 tabs.

#include "core/Global.h"
#include "widgets/AppMessageBox.h"
#include "shell/Main.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"

#include "FakeBrowserEngine.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void BM_PaintTabStrip(benchmark::State& state)
{
    QTemporaryDir program;
    gAppDir = program.path() + QLatin1Char('/');
    gDataDir = gAppDir; // config.ini goes into the scratch folder, not the current one
    TFakeBrowserEngine engine;
    TFormMain form(engine);
    form.resize(1280, 800);
    for (int i = 0; i < state.range(0); ++i)
        form.Registry().OpenAddressTab(QStringLiteral("http://service/page%1").arg(i));
    form.PageControl1().resize(1280, 800);
    form.Registry().RecalcTabWidth();
    QPixmap target(1280, TPageControl::TabHeight);
    for (auto _ : state) {
        form.PageControl1().render(&target, QPoint(), QRegion(0, 0, 1280, TPageControl::TabHeight));
        benchmark::DoNotOptimize(target);
    }
    state.counters["tabs"] = static_cast<double>(state.range(0));
}

BENCHMARK(BM_PaintTabStrip)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    SetMessageBoxHook([](const QString&, const QString&, int) { return IDNO; });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
