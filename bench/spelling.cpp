// How long the spelling of a comment takes: loading a dictionary the first time, then
// counting the misspelled words of a typical comment in English and in German (the check
// runs on every keystroke to underline the words).
#include "markup/NoteWriter.h"
#include "platform/Platform.h"
#include "platform/linux/HunspellSpelling.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace ombrel;

namespace {

const QString english = QStringLiteral(
    "The login buton on the setings page does nothing when I clik it twice, and the error mesage "
    "under the pasword field is cut off on small screens.");
const QString german = QStringLiteral(
    "Der Knopf zum Speichern funktionirt nicht, wenn ich zweimall klicke, und die Fehlermeldung "
    "unter dem Passwortfeld ist auf kleinen Bildschirmen abgeschnitten.");

void installSpelling() {
    PlatformServices s;
    s.spelling = std::make_unique<HunspellSpelling>();
    Platform::install(std::move(s));
}

void BM_FirstCheckLoadsTheDictionary(benchmark::State& state, const QString& text) {
    for (auto _ : state) {
        state.PauseTiming();
        installSpelling(); // a fresh checker: nothing loaded
        state.ResumeTiming();
        benchmark::DoNotOptimize(NoteWriter::misspelledCount(text));
    }
}

void BM_MisspelledCount(benchmark::State& state, const QString& text) {
    installSpelling();
    NoteWriter::misspelledCount(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(NoteWriter::misspelledCount(text));
}

} // namespace

BENCHMARK_CAPTURE(BM_FirstCheckLoadsTheDictionary, english, english)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_FirstCheckLoadsTheDictionary, german, german)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_MisspelledCount, english, english)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MisspelledCount, german, german)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Platform::uninstall();
    return 0;
}
