#include "platform/linux/sysfspowersource.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

constexpr std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

namespace sysfs {

std::optional<std::int64_t> parseInteger(std::string_view bytes)
{
    const std::string_view s = trimmed(bytes);
    if (s.empty())
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

BatteryStatus parseBatteryStatus(std::string_view bytes)
{
    const std::string_view s = trimmed(bytes);
    if (s == "Charging")
        return BatteryStatus::Charging;
    if (s == "Discharging")
        return BatteryStatus::Discharging;
    if (s == "Not charging")
        return BatteryStatus::NotCharging;
    if (s == "Full")
        return BatteryStatus::Full;
    return BatteryStatus::Unknown;
}

} // namespace sysfs

namespace {

using sysfs::BatteryStatus;

// Larger energy (µWh) or charge (µAh) figures are garbage; the bound keeps 100 × sums free of overflow.
constexpr std::int64_t kMaxFigure = 1'000'000'000'000;
constexpr quint8 kNoReading = 255;

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// O_NONBLOCK so that a stand-in tree holding a FIFO cannot hang the tick.
UniqueFd openValue(int dirFd, const std::string &path)
{
    return UniqueFd(::openat(dirFd, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

struct Battery {
    UniqueFd present, status, energyNow, energyFull, chargeNow, chargeFull, capacity;
};

struct Adapter {
    UniqueFd online;
};

// Order-independent fingerprint of the folder's entry names: tells whether supplies came or went
// without keeping (or allocating) a list of names.
struct Layout {
    bool readable = false;
    std::size_t count = 0;
    std::uint64_t hash = 0;
    bool operator==(const Layout &) const = default;
};

std::uint64_t nameHash(const char *name)
{
    std::uint64_t h = 14695981039346656037ull; // FNV-1a
    for (; *name; ++name)
        h = (h ^ static_cast<unsigned char>(*name)) * 1099511628211ull;
    return h;
}

bool isDotEntry(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Reads one value file into buf. An absent file is no reading; a failed read also flags `failed`,
// because on sysfs that is what a removed device does.
std::optional<std::string_view> readValue(const UniqueFd &fd, char (&buf)[64], bool &failed)
{
    if (!fd.isOpen())
        return std::nullopt;
    const ssize_t n = ::pread(fd.get(), buf, sizeof buf, 0);
    if (n < 0) {
        failed = true;
        return std::nullopt;
    }
    if (static_cast<std::size_t>(n) == sizeof buf) // longer than any value we want
        return std::nullopt;
    return std::string_view(buf, static_cast<std::size_t>(n));
}

std::optional<std::int64_t> readInteger(const UniqueFd &fd, char (&buf)[64], bool &failed)
{
    const auto bytes = readValue(fd, buf, failed);
    return bytes ? sysfs::parseInteger(*bytes) : std::nullopt;
}

std::optional<std::int64_t> readFigure(const UniqueFd &fd, char (&buf)[64], bool &failed)
{
    const auto value = readInteger(fd, buf, failed);
    if (!value || *value < 0 || *value > kMaxFigure)
        return std::nullopt;
    return value;
}

std::string readSmallFile(int dirFd, const std::string &path)
{
    const UniqueFd fd = openValue(dirFd, path);
    char buf[64];
    bool failed = false;
    const auto bytes = readValue(fd, buf, failed);
    return bytes ? std::string(*bytes) : std::string();
}

struct Sums {
    std::int64_t now = 0;
    std::int64_t full = 0;
    int count = 0;
};

} // namespace

struct SysfsPowerSource::State {
    std::vector<Battery> batteries;
    std::vector<Adapter> adapters;
    Layout layout;
    std::chrono::steady_clock::time_point lastCheck;
    bool discovered = false;
    bool readFailed = false;
};

static Layout currentLayout(const QString &root)
{
    Layout layout;
    DIR *dir = ::opendir(QFile::encodeName(root).constData());
    if (!dir)
        return layout;
    layout.readable = true;
    while (const dirent *entry = ::readdir(dir)) {
        if (isDotEntry(entry->d_name))
            continue;
        ++layout.count;
        layout.hash += nameHash(entry->d_name);
    }
    ::closedir(dir);
    return layout;
}

SysfsPowerSource::SysfsPowerSource(QString root, std::chrono::milliseconds rescanInterval)
    : m_root(std::move(root)), m_rescanInterval(rescanInterval), m_state(std::make_unique<State>())
{
}

SysfsPowerSource::~SysfsPowerSource() = default;

void SysfsPowerSource::rescanIfDue()
{
    State &s = *m_state;
    const auto now = std::chrono::steady_clock::now();
    if (s.discovered && now - s.lastCheck < m_rescanInterval)
        return;
    s.lastCheck = now;
    if (!s.discovered || s.readFailed || currentLayout(m_root) != s.layout)
        discover();
}

void SysfsPowerSource::discover()
{
    State &s = *m_state;
    s.batteries.clear();
    s.adapters.clear();
    s.readFailed = false;
    s.discovered = true;
    // Taken before opening the files: a change during discovery shows up at the next check.
    s.layout = currentLayout(m_root);

    const UniqueFd rootFd(::open(QFile::encodeName(m_root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd.isOpen())
        return;
    DIR *dir = ::fdopendir(::dup(rootFd.get()));
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent *entry = ::readdir(dir)) {
        if (!isDotEntry(entry->d_name))
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end()); // BAT0 before BAT1, whatever order the folder lists

    const int fd = rootFd.get();
    for (const std::string &name : names) {
        const std::string prefix = name + '/';
        // A peripheral's battery (mouse, headset) says nothing about the machine's power.
        if (trimmed(readSmallFile(fd, prefix + "scope")) == "Device")
            continue;
        const std::string typeText = readSmallFile(fd, prefix + "type");
        const std::string_view type = trimmed(typeText);
        if (type == "Battery") {
            Battery b;
            b.present = openValue(fd, prefix + "present");
            b.status = openValue(fd, prefix + "status");
            b.energyNow = openValue(fd, prefix + "energy_now");
            b.energyFull = openValue(fd, prefix + "energy_full");
            b.chargeNow = openValue(fd, prefix + "charge_now");
            b.chargeFull = openValue(fd, prefix + "charge_full");
            b.capacity = openValue(fd, prefix + "capacity");
            s.batteries.push_back(std::move(b));
        } else if (type == "Mains" || type.starts_with("USB")) { // older kernels: USB_C, USB_PD, ...
            Adapter a;
            a.online = openValue(fd, prefix + "online");
            s.adapters.push_back(std::move(a));
        }
    }
}

bool SysfsPowerSource::read(PowerStatus &status)
{
    rescanIfDue();
    State &s = *m_state;
    char buf[64];
    bool failed = false;

    bool adapterOnline = false;
    bool adapterOffline = false;
    for (const Adapter &a : s.adapters) {
        const auto online = readInteger(a.online, buf, failed);
        if (online == 1) {
            adapterOnline = true;
            break;
        }
        if (online == 0)
            adapterOffline = true;
    }

    bool charging = false;
    bool discharging = false;
    bool idleOnMains = false; // Full or Not charging
    Sums energy;
    Sums charge;
    int percentSum = 0;
    int counted = 0;
    for (const Battery &b : s.batteries) {
        if (readInteger(b.present, buf, failed) == 0) // an empty bay
            continue;
        if (!adapterOnline && b.status.isOpen()) {
            const auto bytes = readValue(b.status, buf, failed);
            switch (bytes ? sysfs::parseBatteryStatus(*bytes) : BatteryStatus::Unknown) {
            case BatteryStatus::Charging: charging = true; break;
            case BatteryStatus::Discharging: discharging = true; break;
            case BatteryStatus::NotCharging:
            case BatteryStatus::Full: idleOnMains = true; break;
            case BatteryStatus::Unknown: break;
            }
        }

        // Per battery the first usable figure: energy, else charge, else the capacity file.
        int percent = -1;
        const auto energyFull = readFigure(b.energyFull, buf, failed);
        const auto energyNow = energyFull && *energyFull > 0 ? readFigure(b.energyNow, buf, failed) : std::nullopt;
        if (energyNow) {
            energy.now += *energyNow;
            energy.full += *energyFull;
            ++energy.count;
            percent = static_cast<int>(std::min<std::int64_t>(100, *energyNow * 100 / *energyFull));
        } else {
            const auto chargeFull = readFigure(b.chargeFull, buf, failed);
            const auto chargeNow = chargeFull && *chargeFull > 0 ? readFigure(b.chargeNow, buf, failed) : std::nullopt;
            if (chargeNow) {
                charge.now += *chargeNow;
                charge.full += *chargeFull;
                ++charge.count;
                percent = static_cast<int>(std::min<std::int64_t>(100, *chargeNow * 100 / *chargeFull));
            } else if (const auto capacity = readInteger(b.capacity, buf, failed); capacity && *capacity >= 0) {
                percent = static_cast<int>(std::min<std::int64_t>(100, *capacity));
            }
        }
        if (percent >= 0) {
            percentSum += percent;
            ++counted;
        }
    }
    if (failed)
        s.readFailed = true;

    // Batteries in the same unit combine by what they hold (40 of 60 Wh is 66 %, not the mean of 50 and
    // 75); a mix of units can only be averaged.
    if (counted == 0)
        status.batteryLifePercent = kNoReading;
    else if (energy.count == counted)
        status.batteryLifePercent = static_cast<quint8>(std::min<std::int64_t>(100, energy.now * 100 / energy.full));
    else if (charge.count == counted)
        status.batteryLifePercent = static_cast<quint8>(std::min<std::int64_t>(100, charge.now * 100 / charge.full));
    else
        status.batteryLifePercent = static_cast<quint8>(percentSum / counted);

    // An online adapter settles it; USB-C charging often leaves the Mains entry at 0. With adapters
    // offline a charging battery still means power comes in (through a source without an entry).
    // Without a usable adapter entry the battery status is all there is.
    if (adapterOnline)
        status.acLineStatus = 1;
    else if (discharging)
        status.acLineStatus = 0;
    else if (charging)
        status.acLineStatus = 1;
    else if (adapterOffline)
        status.acLineStatus = 0;
    else if (idleOnMains)
        status.acLineStatus = 1;
    else
        status.acLineStatus = kNoReading;

    return status.acLineStatus != kNoReading || status.batteryLifePercent != kNoReading;
}

std::unique_ptr<PowerSource> makeSystemPowerSource()
{
    return std::make_unique<SysfsPowerSource>(QStringLiteral("/sys/class/power_supply"));
}
