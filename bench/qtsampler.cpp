// The floor of any Qt program: a QApplication on the same display with no window, whose 125 ms coarse
// QTimer does the sampler's reads. bench/process.sh runs it beside korvel and the plain sampler to
// show how much of korvel's cost is the event loop itself.
//
//   korvel-bench-qtsampler [tree]

#include "barereader.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const std::string root = argc > 1 ? argv[1] : "/sys/class/power_supply";
    const bench::BareReader reader(root);
    int lastPercent = -2;
    QTimer timer;
    timer.setTimerType(Qt::CoarseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto sample = reader.read();
        if (sample.percent != lastPercent)
            lastPercent = sample.percent;
    });
    timer.start(125);
    return app.exec();
}
