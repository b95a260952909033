// The smallest program that does what korvel's idle tick does: every 125 ms read the power-supply
// files, take the time and format the elapsed time. The yardstick of bench/process.sh.
//
//   korvel-bench-sampler [tree] [seconds]     (tree: /sys/class/power_supply; seconds 0: until killed)

#include "barereader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

int main(int argc, char **argv)
{
    const std::string root = argc > 1 ? argv[1] : "/sys/class/power_supply";
    const long seconds = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 0;
    const bench::BareReader reader(root);

    timespec started{};
    clock_gettime(CLOCK_REALTIME, &started);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long ticks = seconds * 8;
    char shown[32] = "";
    int lastPercent = -2;
    for (long tick = 0; ticks == 0 || tick < ticks; ++tick) {
        next.tv_nsec += 125'000'000;
        if (next.tv_nsec >= 1'000'000'000) {
            next.tv_nsec -= 1'000'000'000;
            ++next.tv_sec;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
        }

        const auto sample = reader.read();
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        tm local{};
        localtime_r(&now.tv_sec, &local);
        const long elapsed = now.tv_sec - started.tv_sec;
        char text[32];
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", elapsed / 3600, elapsed / 60 % 60, elapsed % 60);
        if (std::strcmp(text, shown) != 0)
            std::memcpy(shown, text, sizeof shown);
        if (sample.percent != lastPercent)
            lastPercent = sample.percent;
    }
    std::printf("%s %d\n", shown, lastPercent);
    return 0;
}
