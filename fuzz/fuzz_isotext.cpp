// Any text in a stored time column: it parses to a time or to nothing, and a time that parses writes
// back as text that parses to the same time.
#include "platform/clock.h"

#include <QString>

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto value = parseIsoText(text);
    if (!value)
        return 0;
    if (!std::isfinite(*value))
        std::abort();
    const QString written = isoText(*value);
    if (written.isEmpty())
        std::abort();
    const auto again = parseIsoText(written);
    if (!again || std::abs(*again - *value) > 0.5 / 86400000.0)
        std::abort();
    return 0;
}
