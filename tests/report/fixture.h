#pragma once

#include <QString>
#include <QVariant>

#include <initializer_list>

// A log row as a test writes it; QVariant() stands for NULL.
struct FixtureRow {
    QVariant test, battery, time, mains, percent, elapsed;
};

// Creates a log file from the project's schema and fills it; throws std::runtime_error when SQLite fails.
void createLog(const QString &path, std::initializer_list<FixtureRow> rows = {});
void appendRows(const QString &path, std::initializer_list<FixtureRow> rows);
// Runs SQL against the file (for making broken files).
void execSql(const QString &path, const QString &sql);

// The known-answer log: a discharge, a charge, a test across midnight, one longer than a day, two runs of one
// test, the same test name on another battery and a few hand-edited rows.
void createKnownLog(const QString &path);
