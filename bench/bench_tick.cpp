// The idle tick of a running test (power status, clock, elapsed text, label; no write) against the
// cheapest reader of the same power-supply files, side by side in one run.

#include "barereader.h"
#include "common.h"

#include "mu.h"
#include "platform/clock.h"
#include "platform/linux/sysfspowersource.h"
#include "platform/powerstatus.h"
#include "platform/timeformat.h"

#include <QApplication>
#include <QLabel>

#include <cstdio>
#include <memory>

namespace {

const std::string fixtureTree = KORVEL_TEST_DATA "/power-supply/laptop-discharging";
const std::string systemTree = "/sys/class/power_supply";

constexpr double tickDays = 0.125 / 86400.0;

// The system clock moved on by one tick per benchmark iteration, so the label changes every eighth
// tick as it does in the program, however fast the loop runs.
struct SteppedClock final : Clock {
    TDateTime now() const override { return real.now() + offset; }
    SystemClock real;
    TDateTime offset = 0;
};

void BareRead(benchmark::State &state, const std::string &root)
{
    const bench::BareReader reader(root);
    if (!reader.hasBattery()) {
        state.SkipWithError("no battery in this tree");
        return;
    }
    for (auto _ : state) {
        const auto sample = reader.read();
        benchmark::DoNotOptimize(sample);
    }
    state.counters["files"] = reader.fileCount();
}

void PowerSourceRead(benchmark::State &state, const std::string &root)
{
    SysfsPowerSource source(QString::fromStdString(root));
    PowerStatus status;
    for (auto _ : state) {
        source.read(status);
        benchmark::DoNotOptimize(status);
    }
    state.counters["percent"] = status.batteryLifePercent;
}

void ClockAndText(benchmark::State &state)
{
    SteppedClock clock;
    const TimeFormat format;
    const TDateTime started = clock.now();
    for (auto _ : state) {
        const QString text = elapsedText(clock.now() - started, format);
        benchmark::DoNotOptimize(text.constData());
        clock.offset += tickDays;
    }
}

// TForm1::Timer1Timer with the window shown (offscreen), plus delivery of the repaint it asks for.
void IdleTick(benchmark::State &state, const std::string &root)
{
    TForm1 form;
    form.setPowerSource(std::make_unique<SysfsPowerSource>(QString::fromStdString(root)));
    auto clock = std::make_unique<SteppedClock>();
    SteppedClock *steppedClock = clock.get();
    form.setClock(std::move(clock));
    form.show();
    QApplication::processEvents();

    SysfsPowerSource probe(QString::fromStdString(root));
    PowerStatus status;
    if (!probe.read(status) || status.batteryLifePercent > 100) {
        state.SkipWithError("no battery in this tree");
        return;
    }
    // A test is running and the percentage is the one already logged: no write.
    TestStartedAt = steppedClock->now();
    LastLoggedPercent = status.batteryLifePercent;
    const QString firstText = form.Label3->text();

    for (auto _ : state) {
        form.Timer1Timer(nullptr);
        QCoreApplication::sendPostedEvents();
        steppedClock->offset += tickDays;
    }
    if (LastLoggedPercent != status.batteryLifePercent)
        state.SkipWithError("the tick logged a row; the benchmark expects none");
    state.counters["label"] = form.Label3->text() != firstText;
}

bool systemHasBattery()
{
    return bench::BareReader(systemTree).hasBattery();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    benchmark::RegisterBenchmark("BM_BareRead/fixture", BareRead, fixtureTree);
    benchmark::RegisterBenchmark("BM_PowerSourceRead/fixture", PowerSourceRead, fixtureTree);
    benchmark::RegisterBenchmark("BM_ClockAndElapsedText", ClockAndText);
    benchmark::RegisterBenchmark("BM_IdleTick/fixture", IdleTick, fixtureTree);
    const bool battery = systemHasBattery();
    if (battery) {
        benchmark::RegisterBenchmark("BM_BareRead/sys", BareRead, systemTree);
        benchmark::RegisterBenchmark("BM_IdleTick/sys", IdleTick, systemTree);
    } else {
        std::printf("%s has no battery: the /sys cases are not run.\n", systemTree.c_str());
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench::RatioReporter reporter({
        {"1. idle tick / bare read (fixture tree)", "BM_IdleTick/fixture", "BM_BareRead/fixture", 2.0, true},
        {"1. idle tick / bare read (/sys)", "BM_IdleTick/sys", "BM_BareRead/sys", 2.0, true},
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
