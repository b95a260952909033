#pragma once

// The cheapest honest reader of a power-supply tree: the value files a sample needs, opened once and
// re-read with pread at offset 0, parsed into a percentage and an adapter flag. No Qt, no rescans.
// The yardstick for the idle tick and the whole-process sampler.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace bench {

class BareReader {
public:
    explicit BareReader(const std::string &root)
    {
        std::vector<std::string> names;
        if (DIR *dir = ::opendir(root.c_str())) {
            while (const dirent *entry = ::readdir(dir))
                if (entry->d_name[0] != '.')
                    names.emplace_back(entry->d_name);
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        for (const std::string &name : names) {
            const std::string dir = root + "/" + name + "/";
            const std::string type = slurp(dir + "type");
            if (type.starts_with("Battery")) {
                Battery b;
                b.present = open(dir + "present");
                b.status = open(dir + "status");
                b.now = open(dir + "energy_now");
                b.full = open(dir + "energy_full");
                if (b.now < 0 || b.full < 0) {
                    close(b.now);
                    close(b.full);
                    b.now = open(dir + "charge_now");
                    b.full = open(dir + "charge_full");
                }
                m_batteries.push_back(b);
            } else if (type.starts_with("Mains") || type.starts_with("USB")) {
                m_adapters.push_back(open(dir + "online"));
            }
        }
    }
    ~BareReader()
    {
        for (const Battery &b : m_batteries) {
            close(b.present);
            close(b.status);
            close(b.now);
            close(b.full);
        }
        for (int fd : m_adapters)
            close(fd);
    }
    BareReader(const BareReader &) = delete;
    BareReader &operator=(const BareReader &) = delete;

    bool hasBattery() const { return !m_batteries.empty(); }
    int fileCount() const
    {
        int n = 0;
        for (const Battery &b : m_batteries)
            n += (b.present >= 0) + (b.status >= 0) + (b.now >= 0) + (b.full >= 0);
        for (int fd : m_adapters)
            n += fd >= 0;
        return n;
    }

    struct Sample {
        int percent = -1;
        bool online = false;
        bool discharging = false;
    };

    Sample read() const
    {
        Sample s;
        char buf[64];
        for (int fd : m_adapters)
            if (number(fd, buf) == 1)
                s.online = true;
        std::int64_t now = 0;
        std::int64_t full = 0;
        for (const Battery &b : m_batteries) {
            if (number(b.present, buf) == 0)
                continue;
            if (b.status >= 0) {
                const ssize_t n = ::pread(b.status, buf, sizeof buf, 0);
                s.discharging = n > 0 && std::string_view(buf, std::size_t(n)).starts_with("Discharging");
            }
            full += std::max<std::int64_t>(0, number(b.full, buf));
            now += std::max<std::int64_t>(0, number(b.now, buf));
        }
        if (full > 0)
            s.percent = int(std::min<std::int64_t>(100, now * 100 / full));
        return s;
    }

private:
    struct Battery {
        int present = -1, status = -1, now = -1, full = -1;
    };

    static int open(const std::string &path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }
    static void close(int fd)
    {
        if (fd >= 0)
            ::close(fd);
    }
    static std::string slurp(const std::string &path)
    {
        const int fd = open(path);
        char buf[64];
        const ssize_t n = fd >= 0 ? ::pread(fd, buf, sizeof buf, 0) : -1;
        close(fd);
        return n > 0 ? std::string(buf, std::size_t(n)) : std::string();
    }
    // -1 when the file is absent or holds no number.
    static std::int64_t number(int fd, char (&buf)[64])
    {
        if (fd < 0)
            return -1;
        const ssize_t n = ::pread(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return -1;
        std::int64_t value = -1;
        std::from_chars(buf, buf + n, value);
        return value;
    }

    std::vector<Battery> m_batteries;
    std::vector<int> m_adapters;
};

} // namespace bench
