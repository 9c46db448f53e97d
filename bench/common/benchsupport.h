#pragma once

// What the fee-database benchmarks share: the command line (rows and database file), the
// generated database, the plain native read that is their baseline, alternating runs with
// medians, and memory and processor figures.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct sqlite3;

/// "--rows N" (Detail rows, default 2,000,000) and "--db FILE" (default: the temporary folder's
/// zvfee-bench-<rows>.db3), plus "--runs K" (alternations, default 5, at least 3).
struct BenchOptions {
    qint64 rows = 2'000'000;
    QString db;
    int runs = 5;
    QStringList rest; ///< what the options above did not take
};
/// Reads the options; prints the usage and exits on a wrong command line.
BenchOptions ParseBenchOptions(const QStringList& arguments, const char* usage);

/// Builds the fee database at path with rows Detail rows (20 players a tournament, players drawn
/// from a pool of 30,000, one name in 50 with a letter outside ASCII) when no file is there; an
/// existing file is used as it is. Prints what it does.
void EnsureBenchDatabase(const QString& path, qint64 rows);

/// The baseline of every view: prepare, step every row and read each column in its native form
/// (64-bit integer, double, or the pointer and length of its UTF-8 text or blob), nothing
/// converted or kept. Returns the rows read.
qint64 PlainRead(sqlite3* db, const QString& sql);

qint64 CountRows(sqlite3* db, const char* sql);

/// One timed run: wall clock and processor time (user and system) in ms, and the peak resident
/// memory above the resident size at its start, in MiB.
struct Sample {
    double wallMs = 0;
    double cpuMs = 0;
    double peakMiB = 0;
};

/// Runs the callable once in this process and measures it.
Sample Measure(const std::function<void()>& run);

/// Runs a program to its end with standard output into outputFile (empty: /dev/null) and
/// measures it: wall clock, its processor time and its peak resident memory (whole, not above a
/// start), the last two as GNU time (/usr/bin/time) reports them. Exits on a program that fails.
Sample MeasureProgram(const QString& program, const QStringList& args,
                      const QString& outputFile = QString());

/// Ours and the baseline by turns, runs times each (baseline first), so that a busy machine
/// weighs on both alike.
struct Comparison {
    std::vector<Sample> ours;
    std::vector<Sample> base;
};
Comparison Alternate(int runs, const std::function<Sample()>& ours,
                     const std::function<Sample()>& base);

double Median(std::vector<double> values);
/// The number after an option ("--files 100"), or fallback when the option is not given.
int IntOption(const QStringList& args, const QString& name, int fallback);
double MedianOf(const std::vector<Sample>& samples, double Sample::*field);

/// Prints a comparison as one line: medians of wall and processor time with their ratios, and
/// the median peak memory of each.
void PrintComparison(const char* what, const Comparison& c);
void PrintComparisonHeader();

/// The resident size of this process now, in MiB.
double ResidentMiB();
/// Gives freed memory back to the system, so that the next peak starts from what is held.
void TrimMemory();
