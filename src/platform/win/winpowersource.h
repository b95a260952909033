#pragma once

#include "platform/powerstatus.h"

// GetSystemPowerStatus, whose two bytes are already what PowerStatus holds.
class WinPowerSource final : public PowerSource {
public:
    bool read(PowerStatus &status) override;
};
