#include "report/htmlreport.h"

#include "report/errors.h"
#include "report/runs.h"
#include "report/summarytable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace report {

namespace {

const char systemDygraphsDir[] = "/usr/share/javascript/dygraphs";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// A string literal safe inside JSON inside a <script> element.
QByteArray jsonString(const QString &text)
{
    QByteArray out = "\"";
    for (QChar c : text) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"': out += "\\\""; break;
        case u'\\': out += "\\\\"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == u'<' || u == u'>' || u == u'&' || u == 0x2028 || u == 0x2029 || c.isSurrogate()) {
                out += "\\u" + QByteArray::number(u, 16).rightJustified(4, '0');
            } else {
                out += QString(c).toUtf8();
            }
        }
    }
    return out + '"';
}

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 8);
}

QByteArray pointsJson(const std::vector<ChartPoint> &points)
{
    QByteArray out = "[";
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0)
            out += ',';
        out += '[' + number(points[i].x) + ',' + number(points[i].y) + ']';
    }
    return out + ']';
}

QByteArray periodsJson(const std::vector<std::pair<double, double>> &periods)
{
    QByteArray out = "[";
    for (size_t i = 0; i < periods.size(); ++i) {
        if (i > 0)
            out += ',';
        out += '[' + number(periods[i].first) + ',' + number(periods[i].second) + ']';
    }
    return out + ']';
}

QByteArray html(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

// An element's text can't hold its own end tag; "<\/" means the same in JavaScript strings and regexes.
QByteArray endTagSafe(const QByteArray &text, const QByteArray &tag)
{
    const QByteArray needle = "</" + tag;
    const QByteArray lower = text.toLower();
    QByteArray out;
    qsizetype from = 0;
    for (qsizetype at = lower.indexOf(needle); at >= 0; at = lower.indexOf(needle, at + 1)) {
        out += text.mid(from, at - from) + "<\\/";
        from = at + 2;
    }
    return out + text.mid(from);
}

const char pageStyle[] = R"CSS(
body { font-family: "DejaVu Sans", Arial, sans-serif; margin: 24px; color: #222; max-width: 1200px; }
h1 { font-size: 22px; margin: 0 0 4px 0; }
h2 { font-size: 18px; margin: 28px 0 8px 0; }
h3 { font-size: 15px; margin: 20px 0 6px 0; }
p.meta, p.note { color: #555; font-size: 13px; margin: 4px 0; }
table.summary { border-collapse: collapse; font-size: 12px; }
table.summary th, table.summary td { border: 1px solid #ccc; padding: 3px 7px; white-space: nowrap; }
table.summary th { background: #f0f0f0; }
table.summary td.num { text-align: right; font-variant-numeric: tabular-nums; }
.chart { width: 100%; height: 300px; }
.chart.overlay { height: 420px; }
.key { font-size: 13px; margin: 6px 0 0 0; }
.key span { display: inline-block; margin-right: 16px; }
.key i { display: inline-block; width: 18px; height: 4px; margin-right: 5px; vertical-align: middle; }
.mains-key { display: inline-block; width: 14px; height: 12px; background: rgba(255, 190, 0, 0.25);
             border: 1px solid rgba(230, 160, 0, 0.6); vertical-align: middle; }
.empty { color: #888; font-style: italic; }
)CSS";

// Draws every chart, then marks the page with #charts-drawn so that a headless browser can tell it's done.
const char pageScript[] = R"JS(
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('korvel-data').textContent);
  var withPoints = data.runs.filter(function (r) { return r.points.length > 0; });
  var expected = withPoints.length + (withPoints.length > 0 ? 1 : 0);
  var drawn = 0;
  function markDone() {
    var mark = document.createElement('div');
    mark.id = 'charts-drawn';
    mark.hidden = true;
    mark.setAttribute('data-count', String(drawn));
    document.body.appendChild(mark);
  }
  function chartDrawn(g, initial) {
    if (!initial) return;
    drawn++;
    if (drawn === expected) markDone();
  }
  function shadeMains(periods) {
    return function (ctx, area, g) {
      ctx.save();
      ctx.fillStyle = 'rgba(255, 190, 0, 0.25)';
      periods.forEach(function (p) {
        var left = g.toDomXCoord(p[0]), right = g.toDomXCoord(p[1]);
        ctx.fillRect(left, area.y, Math.max(right - left, 1), area.h);
      });
      ctx.restore();
    };
  }
  var hours = function (x) {
    var h = Math.floor(x), m = Math.round((x - h) * 60);
    if (m === 60) { h++; m = 0; }
    return h + ':' + (m < 10 ? '0' : '') + m;
  };
  var common = {
    xlabel: 'elapsed time (h)', ylabel: 'battery (%)', valueRange: [0, 101], includeZero: true,
    strokeWidth: 1.6, gridLineColor: '#e4e4e4', axisLabelFontSize: 12, labelsKMB: false,
    axes: { x: { valueFormatter: function (x) { return hours(x) + ' h'; } } }
  };
  // Every x axis starts where the tests started.
  function xWindow(points) {
    var last = points.length > 0 ? points[points.length - 1][0] : 1;
    return [0, Math.max(last, 1e-3)];
  }
  function options(extra) {
    var o = {}, k;
    for (k in common) o[k] = common[k];
    for (k in extra) o[k] = extra[k];
    return o;
  }
  if (expected === 0) { markDone(); return; }
  withPoints.forEach(function (run) {
    new Dygraph(document.getElementById(run.id), run.points, options({
      labels: ['elapsed', '%'], colors: ['#1f6fb2'], underlayCallback: shadeMains(run.mains),
      dateWindow: xWindow(run.points),
      drawCallback: chartDrawn
    }));
  });
  // Comparison: one column per run on a shared x axis, gaps bridged.
  var rows = [];
  withPoints.forEach(function (run, i) {
    run.overlay.forEach(function (p) {
      var row = new Array(withPoints.length + 1).fill(null);
      row[0] = p[0];
      row[i + 1] = p[1];
      rows.push(row);
    });
  });
  rows.sort(function (a, b) { return a[0] - b[0]; });
  var overlay = new Dygraph(document.getElementById('overlay'), rows, options({
    labels: ['elapsed'].concat(withPoints.map(function (r) { return r.label; })),
    connectSeparatedPoints: true, legend: 'onmouseover', drawCallback: chartDrawn, dateWindow: xWindow(rows),
  }));
  var key = document.getElementById('overlay-key');
  overlay.getColors().forEach(function (color, i) {
    var item = document.createElement('span');
    var swatch = document.createElement('i');
    swatch.style.background = color;
    item.appendChild(swatch);
    item.appendChild(document.createTextNode(withPoints[i].label));
    key.appendChild(item);
  });
})();
)JS";

} // namespace

ChartLibrary loadChartLibrary()
{
    QStringList dirs{QStringLiteral(":/report/dygraphs")};
    const QString fromEnv = qEnvironmentVariable("KORVEL_DYGRAPHS_DIR");
    if (!fromEnv.isEmpty())
        dirs.prepend(fromEnv);
    dirs << QLatin1String(systemDygraphsDir);
    for (const QString &dir : dirs) {
        ChartLibrary library{readAll(dir + QStringLiteral("/dygraph.min.js")),
                             readAll(dir + QStringLiteral("/dygraph.min.css"))};
        if (!library.script.isEmpty())
            return library;
    }
    throw EReportDataError(QStringLiteral("The charting library dygraphs was not found (looked for dygraph.min.js "
                                          "in %1). Install it (Debian: apt-get install libjs-dygraphs) or set "
                                          "KORVEL_DYGRAPHS_DIR to the folder that holds dygraph.min.js.")
                               .arg(dirs.mid(fromEnv.isEmpty() ? 1 : 0).join(QStringLiteral(", "))));
}

void limitCharts(std::vector<FileReport> &files)
{
    qsizetype runs = 0;
    for (const FileReport &f : files)
        runs += qsizetype(f.runs.size());
    if (runs == 0)
        return;
    const int perRun = int(std::clamp<qsizetype>(totalChartBuckets / runs, minChartBuckets, chartBucketsPerRun));
    for (FileReport &f : files)
        for (Run &r : f.runs) {
            r.chart.limit(perRun);
            r.mains.limit(perRun);
        }
}

HtmlPage renderHtml(const std::vector<FileReport> &files, const ChartLibrary &library, const QString &generatedAt)
{
    const bool withFile = files.size() > 1;
    qsizetype runCount = 0;
    for (const FileReport &f : files)
        runCount += qsizetype(f.runs.size());
    const int overlayPerRun = int(std::clamp<qsizetype>(overlayBuckets / std::max<qsizetype>(runCount, 1), 25, 500));

    HtmlPage page;
    QByteArray data = "{\"runs\":[";
    QByteArray sections;
    int index = 0;
    for (const FileReport &f : files) {
        for (const Run &r : f.runs) {
            const QString id = QStringLiteral("run-%1").arg(index);
            const std::vector<ChartPoint> points = r.chart.points();
            Downsampler overlay = r.chart;
            overlay.limit(overlayPerRun);
            const std::vector<ChartPoint> overlayPoints = overlay.points();
            page.points += qint64(points.size() + overlayPoints.size());
            if (index > 0)
                data += ',';
            data += "{\"id\":" + jsonString(id) + ",\"label\":" + jsonString(runLabel(r.summary, withFile)) +
                    ",\"points\":" + pointsJson(points) + ",\"overlay\":" + pointsJson(overlayPoints) +
                    ",\"mains\":" + periodsJson(r.mains.periods()) + '}';

            sections += "<section><h3>" + html(runLabel(r.summary, withFile)) + "</h3>\n";
            sections += "<p class=\"meta\">" + html(formatLocalTime(r.summary.start, false)) + " to " +
                        html(formatLocalTime(r.summary.end, false)) + ", " +
                        html(formatDuration(r.summary.durationMs())) + ", " +
                        html(formatNumber(r.summary.percentPerHour(), 1, true)) + " %/h";
            if (r.chart.pointsSeen() > qint64(points.size()))
                sections += ", " + QByteArray::number(points.size()) + " of " +
                            QByteArray::number(r.chart.pointsSeen()) + " readings drawn (every turn kept)";
            sections += "</p>\n";
            if (points.empty())
                sections += "<p class=\"empty\">No readings to draw.</p>\n";
            else
                sections += "<div class=\"chart\" id=\"" + id.toUtf8() + "\"></div>\n";
            sections += "</section>\n";
            ++index;
        }
    }
    data += "]}";

    QByteArray table = "<table class=\"summary\">\n<tr>";
    for (const QString &h : SummaryCells::headers(withFile))
        table += "<th>" + html(h) + "</th>";
    table += "</tr>\n";
    const int firstNumeric = withFile ? 3 : 2;
    for (const FileReport &f : files) {
        for (const Run &r : f.runs) {
            table += "<tr>";
            const QStringList cells = SummaryCells::cells(r.summary, withFile);
            for (qsizetype i = 0; i < cells.size(); ++i) {
                const bool numeric = i == firstNumeric || i > firstNumeric + 2;
                table += (numeric ? "<td class=\"num\">" : "<td>") + html(cells[i]) + "</td>";
            }
            table += "</tr>\n";
        }
    }
    table += "</table>\n";
    for (const QString &note : summaryNotes(files))
        table += "<p class=\"note\">" + html(note) + "</p>\n";

    QStringList names;
    for (const FileReport &f : files)
        names << f.file;

    QByteArray &out = page.html;
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"generator\" content=\"korvel-report " KORVEL_VERSION "\">\n";
    out += "<title>Battery report: " + html(names.join(QStringLiteral(", "))) + "</title>\n";
    out += "<style>\n" + endTagSafe(library.style, "style") + "\n</style>\n<style>" + pageStyle + "</style>\n";
    out += "<script>\n" + endTagSafe(library.script, "script") + "\n</script>\n</head>\n";
    out += "<body data-points=\"" + QByteArray::number(page.points) + "\">\n";
    out += "<h1>Battery report</h1>\n<p class=\"meta\">" + html(names.join(QStringLiteral(", "))) + " &middot; made " +
           html(generatedAt) + " by korvel-report " KORVEL_VERSION "</p>\n";
    out += "<h2>Summary</h2>\n" + table;
    out += "<h2>Comparison</h2>\n<p class=\"meta\">All runs over the elapsed time of their test.</p>\n"
           "<div class=\"chart overlay\" id=\"overlay\"></div>\n<div class=\"key\" id=\"overlay-key\"></div>\n";
    out += "<h2>Runs</h2>\n<p class=\"meta\"><span class=\"mains-key\"></span> on mains</p>\n" + sections;
    out += "<script type=\"application/json\" id=\"korvel-data\">" + data + "</script>\n";
    out += "<script>" + QByteArray(pageScript) + "</script>\n</body>\n</html>\n";
    return page;
}

} // namespace report
