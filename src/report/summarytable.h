#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace report {

struct FileReport;
struct RunSummary;

// The cells of one summary row as the text table and the HTML page show them.
struct SummaryCells {
    static QStringList headers(bool withFile);
    static QStringList cells(const RunSummary &run, bool withFile);
};

QString formatNumber(std::optional<double> value, int decimals, bool withSign = false);
// A readable name for a run: "Test / Battery #2", with "(no name)" for empty names.
QString runLabel(const RunSummary &run, bool withFile);

// Lines below the table about rows left out of rates and charts, and why.
QStringList summaryNotes(const std::vector<FileReport> &files);

// A plain text table, columns padded for a terminal.
QString summaryText(const std::vector<FileReport> &files);

} // namespace report
