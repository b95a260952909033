#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace report {

struct Record;
struct RunSummary;

// Writes records as RFC 4180 CSV (UTF-8, CRLF line ends, fields quoted when they need it) through a buffer,
// so that a million rows stream out without being held.
class CsvWriter final {
public:
    explicit CsvWriter(QIODevice &out);
    ~CsvWriter();
    CsvWriter(const CsvWriter &) = delete;
    CsvWriter &operator=(const CsvWriter &) = delete;

    void writeHeader();
    void writeRecord(const Record &record, const RunSummary &run, double elapsedHours);
    // Throws EReportDataError when the device refuses the bytes.
    void flush();

    static QByteArray field(const QString &text);

private:
    // Names repeat row after row: encode each once.
    struct Cached {
        QString text;
        QByteArray field;
        const QByteArray &get(const QString &value);
    };

    QIODevice &m_out;
    QByteArray m_buffer;
    Cached m_file, m_test, m_battery;
};

} // namespace report
