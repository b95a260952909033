#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

namespace report {

enum class Command { Summary, Csv, Html };

struct Options {
    Command command = Command::Summary;
    QStringList tests;
    QString output; // empty: standard output (summary, csv) or report.html (html); "-" is standard output
    QStringList files;
    bool help = false;
    bool version = false;
};

enum ExitCode { ExitOk = 0, ExitDataError = 1, ExitUsageError = 2 };

// Reads the arguments after the program name; throws EReportUsageError.
Options parseArguments(const QStringList &arguments);
QString usageText();

// Runs korvel-report with its arguments (the program name first) and returns the exit code. Output goes to
// `out` unless -o names a file; messages go to `err`.
int runReport(const QStringList &arguments, QIODevice &out, QIODevice &err);

} // namespace report
