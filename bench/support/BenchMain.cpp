// The one main of every benchmark program: a Qt application first, because
// resources are found next to the executable and the map layers draw text.

#include "support/Download.h"
#include "support/VectorState.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    Download::initialise();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    VectorState::clean(); // as the program does: Qt hashed its plugin keys
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
