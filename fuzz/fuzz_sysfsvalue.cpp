// Any bytes in a power-supply value file: a number only when the text is exactly one decimal integer
// (surrounding blanks allowed), and that number written back parses to itself; the status parser takes
// anything.
#include "platform/linux/sysfspowersource.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    (void)sysfs::parseBatteryStatus(bytes);
    const auto value = sysfs::parseInteger(bytes);
    if (!value)
        return 0;
    for (char c : bytes)
        if (!((c >= '0' && c <= '9') || c == '-' || c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' ||
              c == '\f'))
            std::abort();
    const std::string written = std::to_string(*value) + '\n';
    if (sysfs::parseInteger(written) != value)
        std::abort();
    return 0;
}
