// Any declared column type, as a hand-edited bat.mdb may hold: one of the known kinds, a width only
// for text, never a crash.
#include "data/declaredtype.h"

#include <QStringList>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const bool primaryKey = (data[0] & 1) != 0;
    const QString declared = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const ColumnKind kind = columnKindOf(declared, primaryKey);
    static const QStringList known = {"AutoInc", "Word",     "SmallInt", "Integer", "LargeInt",
                                      "WideString", "Memo",  "DateTime", "Date",    "Time",
                                      "Boolean",  "Float",   "Currency", "BCD",     "Blob"};
    if (!known.contains(kind.kind))
        std::abort();
    if (kind.width < -1 || (kind.width >= 0 && kind.kind != QLatin1String("WideString")))
        std::abort();
    return 0;
}
