#include "report/csvwriter.h"

#include "report/errors.h"
#include "report/records.h"
#include "report/runs.h"

#include <QIODevice>

#include <cmath>

namespace report {

namespace {

constexpr qsizetype flushAt = 1 << 16;

} // namespace

CsvWriter::CsvWriter(QIODevice &out)
    : m_out(out)
{
    m_buffer.reserve(flushAt + 4096);
}

CsvWriter::~CsvWriter() = default;

QByteArray CsvWriter::field(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    bool quote = false;
    for (char c : utf8) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    }
    // A leading or trailing space is kept by quoting; some readers trim bare fields.
    if (!quote && !utf8.isEmpty() && (utf8.front() == ' ' || utf8.back() == ' '))
        quote = true;
    if (!quote)
        return utf8;
    utf8.replace("\"", "\"\"");
    return '"' + utf8 + '"';
}

const QByteArray &CsvWriter::Cached::get(const QString &value)
{
    if (value != text || field.isNull()) {
        text = value;
        field = CsvWriter::field(value);
        if (field.isNull())
            field = QByteArray("");
    }
    return field;
}

void CsvWriter::writeHeader()
{
    m_buffer += "file,test,battery,run,tid,time,elapsed_h,elapsed_text,on_mains,percent\r\n";
}

void CsvWriter::writeRecord(const Record &record, const RunSummary &run, double elapsedHours)
{
    m_buffer += m_file.get(run.file);
    m_buffer += ',';
    m_buffer += m_test.get(record.test);
    m_buffer += ',';
    m_buffer += m_battery.get(record.battery);
    m_buffer += ',';
    m_buffer += QByteArray::number(run.run);
    m_buffer += ',';
    m_buffer += QByteArray::number(record.id);
    m_buffer += ',';
    char time[32];
    m_buffer.append(time, formatLocalTime(*record.time, true, time));
    m_buffer += ',';
    m_buffer += QByteArray::number(elapsedHours, 'f', 6);
    m_buffer += ',';
    m_buffer += field(record.elapsedText);
    m_buffer += ',';
    if (record.mains)
        m_buffer += *record.mains ? '1' : '0';
    m_buffer += ',';
    // No reading (255) and values outside 0..100 stay empty, so that a spreadsheet doesn't plot them.
    const std::optional<double> &p = record.percent;
    if (p && *p >= 0.0 && *p <= 100.0)
        m_buffer += QByteArray::number(*p, 'g', 15);
    m_buffer += "\r\n";
    if (m_buffer.size() >= flushAt)
        flush();
}

void CsvWriter::flush()
{
    if (m_buffer.isEmpty())
        return;
    if (m_out.write(m_buffer) != m_buffer.size())
        throw EReportDataError(QStringLiteral("Writing the CSV failed: %1. Check the disk space and the output "
                                              "path.")
                                   .arg(m_out.errorString()));
    m_buffer.resize(0); // keeps the capacity for the next batch
}

} // namespace report
