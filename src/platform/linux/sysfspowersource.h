#pragma once

#include "platform/powerstatus.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

// Reads /sys/class/power_supply (or a stand-in tree) into a PowerStatus.
//
// Runs 8 times a second for days on battery, so it finds the supplies once, keeps their value files
// open and re-reads them with pread at offset 0. It looks at the folder again only every
// rescanInterval: then it rediscovers when the set of entries changed or a read failed since.
class SysfsPowerSource final : public PowerSource {
public:
    explicit SysfsPowerSource(QString root, std::chrono::milliseconds rescanInterval = std::chrono::seconds(2));
    ~SysfsPowerSource() override;
    SysfsPowerSource(const SysfsPowerSource &) = delete;
    SysfsPowerSource &operator=(const SysfsPowerSource &) = delete;

    bool read(PowerStatus &status) override;

private:
    struct State;
    void rescanIfDue();
    void discover();

    QString m_root;
    std::chrono::milliseconds m_rescanInterval;
    std::unique_ptr<State> m_state;
};

namespace sysfs {

// A sysfs integer file's bytes ("57\n"): surrounding whitespace allowed, anything else makes it unreadable.
std::optional<std::int64_t> parseInteger(std::string_view bytes);

enum class BatteryStatus { Unknown, Charging, Discharging, NotCharging, Full };
BatteryStatus parseBatteryStatus(std::string_view bytes);

} // namespace sysfs
