// What the statistics window computes, without a window: the connected time of the connection
// and the totals of the month so far. Portable: no Windows header.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "client/tools/RecordQuery.h"

// Seconds from the local time text start to now; 0 when start lies ahead (the clock was put back).
long long ConnectedSeconds(CLocalTimes& times, const std::string& start, std::time_t now);

// The "start_time" of the first open record (empty "end_time") of a month file: the record of a
// connection the client did not open itself. Empty when there is none, or the file is missing or
// not well formed.
std::string FirstOpenRecordStart(const std::string& path);

// Where the connected time of the connection runs from: the start of its own record when the
// client knows it (recordStart, whatever month it began in); otherwise, while a connection is up,
// the first open record of the month file; otherwise nothing (empty).
std::string ConnectionStart(const std::string& recordStart, bool up, const std::string& monthFile);

// The month so far: the closed records of the month file, plus the connection that is up (its
// connected seconds and bytes when known, else 0), whose own record is still open and so not
// counted twice.
RecordTotals MonthTotals(const std::string& monthFile, CLocalTimes& times, long long upSeconds,
                         uint64_t upBytes);

// A byte total as the record query's totals line writes it: digits grouped, then "字节".
std::string TrafficText(long long bytes);
