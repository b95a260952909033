#pragma once

#include "report/downsample.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace report {

struct FileReport;

// The charting library embedded into every page, so that the page works offline as one file.
struct ChartLibrary {
    QByteArray script;
    QByteArray style;
};

// Loads dygraphs: the copy built into the program when there is one, else the system's (libjs-dygraphs), else
// the folder named by KORVEL_DYGRAPHS_DIR. Throws EReportDataError saying where it looked and what to install.
ChartLibrary loadChartLibrary();

// Shrinks the charts of all runs so that the page stays small however many runs there are.
void limitCharts(std::vector<FileReport> &files);

struct HtmlPage {
    QByteArray html;
    qint64 points = 0; // chart points written into the page
};

// One self-contained page: summary table, a chart per run with the periods on mains shaded, one chart comparing
// all runs over elapsed time. `generatedAt` is shown in the header.
HtmlPage renderHtml(const std::vector<FileReport> &files, const ChartLibrary &library, const QString &generatedAt);

} // namespace report
