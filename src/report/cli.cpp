#include "report/cli.h"

#include "report/csvwriter.h"
#include "report/errors.h"
#include "report/htmlreport.h"
#include "report/records.h"
#include "report/runs.h"
#include "report/summarytable.h"

#include <QDateTime>
#include <QDir>
#include <QIODevice>
#include <QSaveFile>

#include <memory>

namespace report {

namespace {

const char defaultFile[] = "bat.mdb";
const char defaultHtml[] = "report.html";

void say(QIODevice &err, const QString &text)
{
    err.write((text + u'\n').toUtf8());
}

// Where the result goes: standard output, or a file replaced only once it is complete.
class Output final {
public:
    Output(const QString &path, QIODevice &standardOutput)
        : m_path(path), m_device(&standardOutput)
    {
        if (path.isEmpty() || path == u"-")
            return;
        m_file = std::make_unique<QSaveFile>(path);
        if (!m_file->open(QIODevice::WriteOnly))
            throw EReportDataError(QStringLiteral("Can't write %1: %2. Check that its folder exists and is writable.")
                                       .arg(QDir::toNativeSeparators(path), m_file->errorString()));
        m_device = m_file.get();
    }
    QIODevice &device() { return *m_device; }
    bool isFile() const { return m_file != nullptr; }
    void commit()
    {
        if (m_file && !m_file->commit())
            throw EReportDataError(QStringLiteral("Can't write %1: %2. Check the disk space and permissions.")
                                       .arg(QDir::toNativeSeparators(m_path), m_file->errorString()));
    }

private:
    QString m_path;
    QIODevice *m_device;
    std::unique_ptr<QSaveFile> m_file;
};

QString takeValue(const QStringList &args, qsizetype &i, const QString &option)
{
    const QString &arg = args[i];
    const qsizetype eq = arg.indexOf(u'=');
    if (arg.startsWith(QStringLiteral("--")) && eq > 0)
        return arg.mid(eq + 1);
    if (!arg.startsWith(QStringLiteral("--")) && arg.size() > 2)
        return arg.mid(2); // -oFILE
    if (i + 1 >= args.size())
        throw EReportUsageError(QStringLiteral("%1 needs a value.").arg(option));
    return args[++i];
}

// Checks every file before any output, so that a wrong name or test stops the run early.
struct Checked {
    QStringList files;
    int exitCode = ExitOk;
};

Checked checkFiles(const Options &options, QIODevice &err)
{
    Checked checked;
    QStringList allTests;
    for (const QString &file : options.files) {
        try {
            RecordReader reader(file);
            if (reader.recordCount() == 0) {
                say(err, QStringLiteral("korvel-report: %1 holds no records yet. Run a test with korvel first, or "
                                        "name another file.")
                             .arg(QDir::toNativeSeparators(file)));
                checked.exitCode = ExitDataError;
                continue;
            }
            allTests << reader.testNames();
            checked.files << file;
        } catch (const Exception &e) {
            say(err, QStringLiteral("korvel-report: ") + e.message());
            checked.exitCode = ExitDataError;
        }
    }
    if (checked.files.isEmpty())
        return checked;
    allTests.removeDuplicates();
    allTests.sort();
    QStringList unknown;
    for (const QString &test : options.tests)
        if (!allTests.contains(test))
            unknown << test;
    if (!unknown.isEmpty()) {
        QStringList quoted;
        for (const QString &t : unknown)
            quoted << u'"' + t + u'"';
        QStringList known;
        for (const QString &t : allTests)
            known << u'"' + t + u'"';
        say(err, QStringLiteral("korvel-report: no test named %1 in %2. The tests there are: %3. Names are matched "
                                "exactly, capitals included.")
                     .arg(quoted.join(QStringLiteral(", ")), checked.files.join(QStringLiteral(", ")),
                          known.join(QStringLiteral(", "))));
        checked.files.clear();
        checked.exitCode = ExitDataError;
    }
    return checked;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "Usage: korvel-report [COMMAND] [--test NAME]... [-o OUTPUT] [FILE]...\n"
        "\n"
        "Reports the battery tests logged by korvel in FILE (default: bat.mdb in the current folder). The file is\n"
        "opened read-only, so a test that is still running is not disturbed. Several FILEs (one per laptop) are\n"
        "listed, exported and compared side by side, each labelled with its file.\n"
        "\n"
        "Commands:\n"
        "  (none)     a table of the runs: test, battery, start, end, duration, records, first and last percent,\n"
        "             change in percent per hour, minutes per percent, share of time on mains\n"
        "  csv        every record as CSV (RFC 4180, UTF-8) with a header row and ISO-8601 times\n"
        "  html       one self-contained HTML page (works offline): the summary, a chart per run with the\n"
        "             periods on mains shaded, and a chart comparing the runs over elapsed time\n"
        "\n"
        "Options:\n"
        "  -t, --test NAME    only the test NAME; give it again for more tests\n"
        "  -o, --output FILE  write to FILE (default: standard output; html: report.html; '-': standard output)\n"
        "  -h, --help         show this help\n"
        "  -v, --version      show the version\n"
        "\n"
        "A run starts where the logged elapsed time falls back or the test or battery changes. Readings of 255\n"
        "(no reading) are left out of rates and charts. Rows whose time can't be read are skipped and counted.\n"
        "\n"
        "Exit codes: 0 done, 1 data error (missing file, not a korvel log, unknown test, no records), 2 usage.\n"
        "\n"
        "Examples:\n"
        "  korvel-report\n"
        "  korvel-report csv --test \"Office 2h\" -o office.csv\n"
        "  korvel-report html -o lab.html lab1/bat.mdb lab2/bat.mdb\n");
}

Options parseArguments(const QStringList &arguments)
{
    Options options;
    bool commandSeen = false, onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (!onlyFiles && arg == u"--") {
            onlyFiles = true;
        } else if (!onlyFiles && (arg == u"-h" || arg == u"--help")) {
            options.help = true;
        } else if (!onlyFiles && (arg == u"-v" || arg == u"--version")) {
            options.version = true;
        } else if (!onlyFiles && (arg == u"--test" || arg.startsWith(QStringLiteral("--test=")) ||
                                  arg.startsWith(QStringLiteral("-t")))) {
            options.tests << takeValue(arguments, i, QStringLiteral("--test"));
        } else if (!onlyFiles && (arg == u"--output" || arg.startsWith(QStringLiteral("--output=")) ||
                                  arg.startsWith(QStringLiteral("-o")))) {
            if (!options.output.isEmpty())
                throw EReportUsageError(QStringLiteral("-o is given twice; give one output."));
            options.output = takeValue(arguments, i, QStringLiteral("--output"));
            if (options.output.isEmpty())
                throw EReportUsageError(QStringLiteral("-o needs a file name."));
        } else if (!onlyFiles && arg.startsWith(u'-') && arg != u"-") {
            throw EReportUsageError(QStringLiteral("unknown option %1.").arg(arg));
        } else if (!commandSeen && options.files.isEmpty() && !onlyFiles && (arg == u"csv" || arg == u"html")) {
            options.command = arg == u"csv" ? Command::Csv : Command::Html;
            commandSeen = true;
        } else {
            options.files << arg;
        }
    }
    if (options.files.isEmpty())
        options.files << QLatin1String(defaultFile);
    if (options.command == Command::Html && options.output.isEmpty())
        options.output = QLatin1String(defaultHtml);
    return options;
}

int runReport(const QStringList &arguments, QIODevice &out, QIODevice &err)
{
    Options options;
    try {
        options = parseArguments(arguments.mid(1));
    } catch (const EReportUsageError &e) {
        say(err, QStringLiteral("korvel-report: ") + e.message() + QStringLiteral(" Try korvel-report --help."));
        return ExitUsageError;
    }
    if (options.help) {
        out.write(usageText().toUtf8());
        return ExitOk;
    }
    if (options.version) {
        out.write("korvel-report " KORVEL_VERSION "\n");
        return ExitOk;
    }

    try {
        const Checked checked = checkFiles(options, err);
        if (checked.files.isEmpty())
            return checked.exitCode;

        ChartLibrary library;
        if (options.command == Command::Html)
            library = loadChartLibrary(); // before the work, so that a missing library fails fast

        Output output(options.output, out);
        const QStringList labels = fileLabels(checked.files);
        std::vector<FileReport> reports;
        if (options.command == Command::Csv) {
            CsvWriter csv(output.device());
            csv.writeHeader();
            const RowSink sink = [&csv](const Record &record, const RunSummary &run, double hours) {
                csv.writeRecord(record, run, hours);
            };
            for (qsizetype i = 0; i < checked.files.size(); ++i)
                reports.push_back(scanFile(checked.files[i], options.tests, 1, sink, labels[i]));
            csv.flush();
        } else {
            for (qsizetype i = 0; i < checked.files.size(); ++i) {
                // The table needs no chart points.
                const int buckets = options.command == Command::Html ? chartBucketsPerRun : 1;
                reports.push_back(scanFile(checked.files[i], options.tests, buckets, {}, labels[i]));
                if (options.command == Command::Html)
                    limitCharts(reports); // keeps the kept points bounded while files keep coming
            }
        }

        if (options.command == Command::Summary) {
            output.device().write(summaryText(reports).toUtf8());
        } else {
            for (const QString &note : summaryNotes(reports))
                say(err, QStringLiteral("korvel-report: note: ") + note);
        }
        if (options.command == Command::Html) {
            const HtmlPage page =
                renderHtml(reports, library, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")));
            if (output.device().write(page.html) != page.html.size())
                throw EReportDataError(QStringLiteral("Writing the page failed: %1.").arg(output.device().errorString()));
            if (output.isFile())
                say(err, QStringLiteral("korvel-report: wrote %1 (%2 runs, %3 chart points).")
                             .arg(QDir::toNativeSeparators(options.output))
                             .arg(reports.empty() ? 0 : [&] {
                                 qsizetype n = 0;
                                 for (const FileReport &f : reports)
                                     n += qsizetype(f.runs.size());
                                 return n;
                             }())
                             .arg(page.points));
        }
        output.commit();
        return checked.exitCode;
    } catch (const Exception &e) {
        say(err, QStringLiteral("korvel-report: ") + e.message());
        return ExitDataError;
    }
}

} // namespace report
