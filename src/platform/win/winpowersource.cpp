#include "platform/win/winpowersource.h"

#include <windows.h>

bool WinPowerSource::read(PowerStatus &status)
{
    SYSTEM_POWER_STATUS sps{};
    if (!GetSystemPowerStatus(&sps)) {
        status.acLineStatus = 255;
        status.batteryLifePercent = 255;
        return false;
    }
    // Only these two fields: mingw's header and the SDK name the others differently.
    status.acLineStatus = sps.ACLineStatus;
    status.batteryLifePercent = sps.BatteryLifePercent;
    return status.acLineStatus != 255 || status.batteryLifePercent != 255;
}

std::unique_ptr<PowerSource> makeSystemPowerSource()
{
    return std::make_unique<WinPowerSource>();
}
