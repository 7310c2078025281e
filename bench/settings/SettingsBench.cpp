#include "kit/DarkAppearance.h"
#include "settings/SettingsView.h"

#include <QApplication>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// Opening the settings window as the application does: a window around a
// new SettingsView with every tab built, the dark palette, shown at its
// ideal size, laid out and painted once.
void openSettingsWindow()
{
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsView(AppStores {}));
    DarkAppearance::apply(window.get());
    window->resize(SettingsView::idealWindowSize);
    window->show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(window->grab());
}

// The first opening in a process also reads the zone outlines for the
// Station tab's caption; later openings find them in memory.
void BM_OpenSettingsFirstTime(benchmark::State& state)
{
    for (auto _ : state)
        openSettingsWindow();
}
BENCHMARK(BM_OpenSettingsFirstTime)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_OpenSettings(benchmark::State& state)
{
    for (auto _ : state)
        openSettingsWindow();
}
BENCHMARK(BM_OpenSettings)->Unit(benchmark::kMillisecond);

} // namespace
