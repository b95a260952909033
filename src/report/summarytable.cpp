#include "report/summarytable.h"

#include "report/runs.h"

#include <algorithm>

namespace report {

namespace {

QString nameOrPlaceholder(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("(no name)") : name;
}

// Columns in a terminal: a character of East Asian width or an emoji takes two.
qsizetype displayWidth(const QString &text)
{
    qsizetype width = 0;
    for (auto it = text.cbegin(); it != text.cend(); ++it) {
        char32_t c = it->unicode();
        if (it->isHighSurrogate() && it + 1 != text.cend()) {
            c = QChar::surrogateToUcs4(*it, *(it + 1));
            ++it;
        }
        if (c == 0x200d || (c >= 0xfe00 && c <= 0xfe0f) || (c >= 0x300 && c <= 0x36f))
            continue;
        width += (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf) || (c >= 0xac00 && c <= 0xd7a3) ||
                         (c >= 0xf900 && c <= 0xfaff) || (c >= 0xff00 && c <= 0xff60) || (c >= 0x1f300 && c <= 0x1faff)
                     ? 2
                     : 1;
    }
    return width;
}

} // namespace

QString formatNumber(std::optional<double> value, int decimals, bool withSign)
{
    if (!value)
        return QStringLiteral("-");
    QString text = QString::number(*value, 'f', decimals);
    if (text.startsWith(u'-') && text.mid(1).toDouble() == 0.0)
        text = text.mid(1); // no "-0.0"
    if (withSign && *value > 0 && text.toDouble() != 0.0)
        text.prepend(u'+');
    return text;
}

QString runLabel(const RunSummary &run, bool withFile)
{
    QString label = nameOrPlaceholder(run.test) + QStringLiteral(" / ") + nameOrPlaceholder(run.battery);
    if (run.runsOfTest > 1)
        label += QStringLiteral(" #%1").arg(run.run);
    if (withFile)
        label = run.file + QStringLiteral(": ") + label;
    return label;
}

QStringList SummaryCells::headers(bool withFile)
{
    QStringList h;
    if (withFile)
        h << QStringLiteral("File");
    h << QStringLiteral("Test") << QStringLiteral("Battery") << QStringLiteral("Run") << QStringLiteral("Start")
      << QStringLiteral("End") << QStringLiteral("Duration") << QStringLiteral("Records") << QStringLiteral("First %")
      << QStringLiteral("Last %") << QStringLiteral("%/h") << QStringLiteral("min/%") << QStringLiteral("Mains");
    return h;
}

QStringList SummaryCells::cells(const RunSummary &run, bool withFile)
{
    QStringList c;
    if (withFile)
        c << run.file;
    const std::optional<double> share = run.mainsShare();
    c << nameOrPlaceholder(run.test) << nameOrPlaceholder(run.battery) << QString::number(run.run)
      << formatLocalTime(run.start, false) << formatLocalTime(run.end, false) << formatDuration(run.durationMs())
      << QString::number(run.records) << formatNumber(run.firstPercent, 0) << formatNumber(run.lastPercent, 0)
      << formatNumber(run.percentPerHour(), 1, true) << formatNumber(run.minutesPerPercent(), 1)
      << (share ? formatNumber(*share * 100.0, 0) + u'%' : QStringLiteral("-"));
    return c;
}

QStringList summaryNotes(const std::vector<FileReport> &files)
{
    QStringList notes;
    qint64 noReading = 0, badPercent = 0;
    for (const FileReport &f : files) {
        for (const Run &r : f.runs) {
            noReading += r.summary.noReading;
            badPercent += r.summary.badPercent;
        }
    }
    if (noReading > 0)
        notes << QStringLiteral("%1 record(s) with 255 (no reading) are left out of rates and charts.").arg(noReading);
    if (badPercent > 0)
        notes << QStringLiteral("%1 record(s) with an empty percent or one outside 0..100 are left out of rates and "
                                "charts.")
                     .arg(badPercent);
    for (const FileReport &f : files) {
        if (f.badTime.count == 0)
            continue;
        QStringList ids;
        for (qint64 id : f.badTime.firstIds)
            ids << QString::number(id);
        notes << QStringLiteral("%1: %2 record(s) with a missing or unreadable time (ttime) were skipped (tid %3%4); "
                                "correct ttime to the form 2026-12-11 14:03:07.250 to include them.")
                     .arg(f.file)
                     .arg(f.badTime.count)
                     .arg(ids.join(QStringLiteral(", ")), f.badTime.count > ids.size() ? QStringLiteral(", ...")
                                                                                        : QString());
    }
    return notes;
}

QString summaryText(const std::vector<FileReport> &files)
{
    const bool withFile = files.size() > 1;
    std::vector<QStringList> rows{SummaryCells::headers(withFile)};
    for (const FileReport &f : files)
        for (const Run &r : f.runs)
            rows.push_back(SummaryCells::cells(r.summary, withFile));

    const qsizetype columns = rows.front().size();
    // Names and times align left, numbers right.
    const qsizetype runColumn = withFile ? 3 : 2;
    std::vector<qsizetype> widths(size_t(columns), 0);
    for (const QStringList &row : rows)
        for (qsizetype i = 0; i < columns; ++i)
            widths[size_t(i)] = std::max(widths[size_t(i)], displayWidth(row[i]));

    QString out;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype i = 0; i < columns; ++i) {
            const QString pad(widths[size_t(i)] - displayWidth(row[i]), u' ');
            if (i > 0)
                line += QStringLiteral("  ");
            const bool left = i < runColumn || i == runColumn + 1 || i == runColumn + 2;
            line += left ? row[i] + pad : pad + row[i];
        }
        while (line.endsWith(u' '))
            line.chop(1);
        out += line;
        out += u'\n';
    }
    for (const QString &note : summaryNotes(files))
        out += QStringLiteral("Note: ") + note + u'\n';
    return out;
}

} // namespace report
