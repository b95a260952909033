#pragma once

#include <QtGlobal>

#include <memory>

// The two bytes Windows' GetSystemPowerStatus gives; every platform produces the same.
struct PowerStatus {
    quint8 acLineStatus = 0;       // 0 offline, 1 online, 255 no reading
    quint8 batteryLifePercent = 0; // 0-100, 255 no reading
};

class PowerSource {
public:
    virtual ~PowerSource() = default;
    // Fills status; returns false when nothing could be read (status then holds 255s). Never throws.
    virtual bool read(PowerStatus &status) = 0;
};

// Linux: SysfsPowerSource("/sys/class/power_supply"); Windows: WinPowerSource.
std::unique_ptr<PowerSource> makeSystemPowerSource();
