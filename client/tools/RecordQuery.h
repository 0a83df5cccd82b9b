// What the record query decides, without a window: which month files a filter reads, the rows and
// totals of a query, the texts of durations and byte counts, the removal of records by start time,
// and the exported text. Portable: no Windows header.
//
// The record folder holds one file per month, "<year>-<two-digit month>.xml" (see
// client/store/RecordFiles.h). Only names ending in ".xml" (any case) count as record files, so
// that the copies the store keeps beside them (".damaged", the temporary files of a save) are never
// read as records.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <ctime>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

// The filter text that selects everything: "所有".
extern const char kFilterAll[];

// The four filters as their drop-down lists show them: kFilterAll, or a user name, a year
// ("2009"), a month ("01" to "12") and a day ("01" to "31").
struct RecordFilter {
  std::string user = kFilterAll;
  std::string year = kFilterAll;
  std::string month = kFilterAll;
  std::string day = kFilterAll;
};

// The entries of the year, month and day lists after kFilterAll: the years from 2009 on, through
// 2020 or the current year, whichever is later; "01" to "12"; "01" to "31".
std::vector<std::string> FilterYears(int currentYear);
std::vector<std::string> FilterMonths();
std::vector<std::string> FilterDays();

// The record files of a folder (names without the folder), in the order the folder search returns
// them. Empty when the folder cannot be read.
std::vector<std::string> ListRecordFiles(const std::string& folder);

// The files a query reads, in the order listed: with a year and a month, the one file of that
// month (whether listed or not); with a year only, every listed file whose name without ".xml"
// begins with the year; with a month only, every one whose name ends with the month; with neither,
// every listed file.
std::vector<std::string> SelectRecordFiles(const std::vector<std::string>& listed, const std::string& year,
                                           const std::string& month);

// The distinct users of every listed file that loads as a well-formed document, in the order
// they are first met (files in the listed order, records in document order).
std::vector<std::string> CollectRecordUsers(const std::string& folder,
                                            const std::vector<std::string>& listed);

// Reads local time texts "%d-%d-%d %d:%d:%d" as moments. Fields that cannot be read count as 0,
// as with sscanf into zeroed fields. The local offset from UTC is asked of the C library once for
// each month (and each day of a month in which the offset changes), so that reading many records
// costs no call of mktime for each one.
class CLocalTimes {
 public:
  // Seconds since 1970-01-01 00:00:00 UTC of the local time the text names. A time that the C
  // library cannot place (before 1970 on some systems) counts as UTC.
  long long Seconds(const char* text);
  // The same for fields as mktime takes them: full year, month 1-12, day of the month.
  long long Seconds(int year, int month, int day, int hour, int minute, int second);

 private:
  long long Offset(long long monthIndex, long long naive);
  // Offset per month index (year * 12 + month - 1) and per day number; kVaries when it changes
  // within that month or day.
  std::unordered_map<long long, long long> m_months;
  std::unordered_map<long long, long long> m_days;
  long long m_lastMonth = 0;
  long long m_lastOffset = LLONG_MIN;
};

// end minus start, in seconds, both read as local time texts.
long long RecordDurationSeconds(CLocalTimes& times, const char* start, const char* end);

// A duration as the record query and the statistics show it: with an hour or more
// "<h>小时<m>分钟<s>秒", else with a minute or more "<m>分钟<s>秒", else "<s>秒"; numbers in decimal
// without padding.
std::string DurationText(long long seconds);

// A byte count as stored ("send", "recv"): leading blanks, an optional sign and the decimal digits
// that follow; anything else reads as 0. A number beyond the 64-bit range reads as the nearest end
// of the range.
long long ReadByteCount(const char* text);
// a + b, held at the ends of the 64-bit range instead of wrapping.
long long AddClamped(long long a, long long b);

// A number in decimal with "," between the groups of three digits from the right: 1234567 gives
// "1,234,567", -1000 gives "-1,000".
std::string GroupDigits(long long value);
std::string GroupDigits(uint64_t value);

// The eight cells of a listed record.
enum RecordColumn {
  kColumnNumber,
  kColumnUser,
  kColumnStart,
  kColumnDuration,
  kColumnIp,
  kColumnEndCause,
  kColumnSent,
  kColumnReceived,
  kRecordColumns
};

struct RecordRow {
  std::array<std::string, kRecordColumns> cells;
  long long seconds = 0;  // the duration
  long long bytes = 0;    // sent plus received (clamped)
  int file = -1;          // index of the file in RecordQueryResult::files
};

// A deque: ten years of records are over a hundred thousand rows, which it never moves as it grows.
using RecordRows = std::deque<RecordRow>;

struct RecordQueryResult {
  std::vector<std::string> files;  // full paths of the files that gave rows
  RecordRows rows;
};

// Reads the files (names in folder) in order and appends a row for every closed record (non-empty
// "end_time") that the user and day filters keep; rows are numbered from 1 across the whole
// result. A file that is missing or not well formed gives no rows. times reads the time texts.
void RunRecordQuery(const std::string& folder, const std::vector<std::string>& files,
                    const RecordFilter& filter, CLocalTimes& times, RecordQueryResult& result);
// The same for one file given by its full path.
void QueryRecordFile(const std::string& path, const RecordFilter& filter, CLocalTimes& times,
                     RecordQueryResult& result);

struct RecordTotals {
  long long count = 0;
  long long seconds = 0;
  long long bytes = 0;
};
RecordTotals SumRecordRows(const RecordRows& rows);
// "总计      次数：<n>      时间：<duration>      总流量：<grouped bytes>字节".
std::string RecordTotalsText(const RecordTotals& totals);

// Removes every record of the month file whose "start_time" equals startTime, whatever its user,
// and saves the file once. Returns the number removed, or -1 when the file is missing, not well
// formed or cannot be saved (it is then left as it was).
int RemoveRecordsStartingAt(const std::string& path, const std::string& startTime);

// The rows as the export writes them: each row's cells separated by tabs and ended by CR LF; no
// header, no totals.
std::string RecordExportText(const RecordRows& rows);

// "%04d-%02d-%02d %02d:%02d:%02d", the form of the record files' times.
std::string RecordTimeText(int year, int month, int day, int hour, int minute, int second);
