// SPDX-License-Identifier: MIT
#pragma once

#include "SafeFile.h"
#include "TChartData.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>

// The chart's CSV files: one header line naming the velocity unit, then
// one row per point "time;velocity;rate;clock" with 3, 3 and 1 decimals
// and the time of day, lines ended by CR LF. Numbers carry the decimal
// separator of the user's locale (a comma in German) and no group
// separators; fields are separated by ";" and never quoted.

// "time[s];velocity[m/s];rate[%];clock" for unit 0, ".../m/min..." for 1.
QString CsvHeader(int vUnit);
QString CsvRow(double time, double velocity, double rate, const QString& clock,
               const QLocale& locale = QLocale());

// The locale's long time format without the time zone ("14:25:01").
QString ClockText(const QTime& time, const QLocale& locale = QLocale());
// The time of day as a fraction of a day.
double DayFraction(const QTime& time);
// The time of day `seconds` after `startClock` (a fraction of a day),
// wrapping at midnight, as ClockText.
QString ElapsedToClock(double startClock, double seconds, const QLocale& locale = QLocale());

// <dir>/yyyyMMdd_HHmmss<name>.csv; an empty `dir` means the documents folder.
QString CsvLogFileName(const QString& dir, const QDateTime& now, const QString& name);

// One data row: "," read as ".", the first three ";"-separated fields as
// decimal numbers (leading blanks, sign and exponent allowed; an empty
// field or any other character makes the row invalid). Each value is its
// field's leading number, 0 where there is none. True when all three
// fields are whole numbers.
bool ParseCsvLine(QByteArrayView line, double& time, double& velocity, double& rate);

// The log written during a run: created with its header at Start (an
// existing file of the name is replaced whole or not at all), one row
// appended (open, write, close) per plotted point, so that the file on
// disk is complete at every moment. A row that cannot be written whole
// (a full disk) is taken back: the file ends with its last complete row.
// A log file that has gone is an error, not created anew. False with the
// system's reason.
bool CreateCsvLog(const QString& path, int vUnit, QString* error);
bool AppendCsvLog(const QString& path, const QString& row, QString* error);

// The same log for a run that writes every line it receives: the file
// stays open between rows. Rows are CsvRow() texts without a line end.
class TCsvLogFile {
public:
    // Writes the header for `vUnit` (replacing an existing file) and opens
    // the file for the rows.
    bool Create(const QString& path, int vUnit, QString* error);
    // Appends one row and its CR LF whole, or nothing.
    bool Append(const QString& row, QString* error);
    void Close() { m_file.Close(); }
    QString Path() const { return m_file.Path(); }

private:
    TAppendFile m_file;
};

// Save as: every point, the clock counted from `startClock`. An existing
// file is replaced only once the new one is written whole.
bool SaveCsv(const QString& path, const TChartData& data, int vUnit, double startClock,
             QString* error);

// Open: the points of a file, rows that are no three numbers as gaps, in
// ascending time order; `metersPerSecond` tells whether the header names
// m/s. False with the reason when the file cannot be opened or is no
// regular file (a pipe or /dev/zero would never end). A read error later
// ends the reading with the rows so far and its reason; so do the limits:
// after `maxRows` rows or MaxCsvBytes bytes the rest is left out and
// `error` says how many rows were read.
inline constexpr qsizetype MaxCsvRows = 2'000'000;
inline constexpr qint64 MaxCsvBytes = qint64(256) << 20;
bool ReadCsv(const QString& path, TChartData& data, bool& metersPerSecond, QString* error,
             qsizetype maxRows = MaxCsvRows);
