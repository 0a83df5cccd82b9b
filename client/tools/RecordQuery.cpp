#include "client/tools/RecordQuery.h"

#include <climits>
#include <cstdio>
#include <unordered_set>

#include "client/store/ProgramFolder.h"
#include "client/store/XmlDoc.h"

#ifdef _WIN32
#include <io.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

const char kFilterAll[] = "所有";

namespace {

constexpr int kFirstYear = 2009;
constexpr int kLastListedYear = 2020;
constexpr char kRecordExtension[] = ".xml";
constexpr size_t kExtensionLength = sizeof(kRecordExtension) - 1;
constexpr long long kSecondsPerDay = 86400;
// An offset no time zone has: the offset changes within the month or day.
constexpr long long kVaries = LLONG_MIN;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsRecordFileName(const std::string& name) {
  if (name.size() <= kExtensionLength) return false;
  const size_t at = name.size() - kExtensionLength;
  for (size_t i = 0; i < kExtensionLength; ++i) {
    if (Lower(name[at + i]) != kRecordExtension[i]) return false;
  }
  return true;
}

std::string Stem(const std::string& name) {
  return name.substr(0, name.size() - kExtensionLength);
}

bool IsAll(const std::string& filter) {
  return filter == kFilterAll;
}

// sscanf's %d: blanks, an optional sign, at least one digit; a number beyond int is held at its
// end. Moves p past what it read; false (p unchanged) when there is no number.
bool ReadInt(const char*& p, int& value) {
  const char* s = p;
  while (IsSpace(*s)) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  if (!IsDigit(*s)) return false;
  long long n = 0;
  for (; IsDigit(*s); ++s) {
    if (n <= INT_MAX) n = n * 10 + (*s - '0');
  }
  if (n > INT_MAX) n = negative ? static_cast<long long>(INT_MAX) + 1 : INT_MAX;
  value = static_cast<int>(negative ? -n : n);
  p = s;
  return true;
}

bool ReadLiteral(const char*& p, char c) {
  if (*p != c) return false;
  ++p;
  return true;
}

// "%d-%d-%d %d:%d:%d" into fields that start at 0; reading stops at the first mismatch.
void ReadTimeFields(const char* text, int fields[6]) {
  for (int i = 0; i < 6; ++i) fields[i] = 0;
  if (text == nullptr) return;
  const char* p = text;
  if (!ReadInt(p, fields[0]) || !ReadLiteral(p, '-') || !ReadInt(p, fields[1]) || !ReadLiteral(p, '-') ||
      !ReadInt(p, fields[2])) {
    return;
  }
  while (IsSpace(*p)) ++p;
  if (!ReadInt(p, fields[3]) || !ReadLiteral(p, ':') || !ReadInt(p, fields[4]) || !ReadLiteral(p, ':'))
    return;
  ReadInt(p, fields[5]);
}

long long FloorDiv(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days from 1970-01-01 of a date in the proleptic Gregorian calendar (month 1-12).
long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = FloorDiv(y, 400);
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, long long& y, long long& m, long long& d) {
  z += 719468;
  const long long era = FloorDiv(z, 146097);
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

// Local time minus UTC, in seconds, at the local time `naive` (seconds from 1970 as if local
// time were UTC); 0 when the C library cannot place it.
long long OffsetAt(long long naive) {
  long long y, m, d;
  CivilFromDays(FloorDiv(naive, kSecondsPerDay), y, m, d);
  if (y < 1 || y > 9999) return 0;
  const long long inDay = naive - FloorDiv(naive, kSecondsPerDay) * kSecondsPerDay;
  std::tm parts = {};
  parts.tm_year = static_cast<int>(y - 1900);
  parts.tm_mon = static_cast<int>(m - 1);
  parts.tm_mday = static_cast<int>(d);
  parts.tm_hour = static_cast<int>(inDay / 3600);
  parts.tm_min = static_cast<int>(inDay / 60 % 60);
  parts.tm_sec = static_cast<int>(inDay % 60);
  parts.tm_isdst = -1;
  const std::time_t t = std::mktime(&parts);
  if (t == static_cast<std::time_t>(-1)) return 0;
  return naive - static_cast<long long>(t);
}

long long OffsetOver(long long first, long long last) {
  const long long atFirst = OffsetAt(first);
  return OffsetAt(last) == atFirst ? atFirst : kVaries;
}

}  // namespace

std::vector<std::string> FilterYears(int currentYear) {
  std::vector<std::string> years;
  const int last = currentYear > kLastListedYear ? currentYear : kLastListedYear;
  for (int year = kFirstYear; year <= last; ++year) years.push_back(std::to_string(year));
  return years;
}

std::vector<std::string> FilterMonths() {
  std::vector<std::string> months;
  for (int month = 1; month <= 12; ++month)
    months.push_back(RecordTimeText(0, month, 0, 0, 0, 0).substr(5, 2));
  return months;
}

std::vector<std::string> FilterDays() {
  std::vector<std::string> days;
  for (int day = 1; day <= 31; ++day) days.push_back(RecordTimeText(0, 1, day, 0, 0, 0).substr(8, 2));
  return days;
}

std::vector<std::string> ListRecordFiles(const std::string& folder) {
  std::vector<std::string> names;
#ifdef _WIN32
  _finddata_t found;
  const intptr_t search = _findfirst((folder + kPathSeparator + "*.*").c_str(), &found);
  if (search == -1) return names;
  do {
    if ((found.attrib & _A_SUBDIR) == 0 && IsRecordFileName(found.name)) names.push_back(found.name);
  } while (_findnext(search, &found) == 0);
  _findclose(search);
#else
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsRecordFileName(name)) continue;
    struct stat info;
    if (stat((folder + kPathSeparator + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
      names.push_back(name);
  }
  closedir(dir);
#endif
  return names;
}

std::vector<std::string> SelectRecordFiles(const std::vector<std::string>& listed, const std::string& year,
                                           const std::string& month) {
  if (!IsAll(year) && !IsAll(month)) return {year + "-" + month + kRecordExtension};
  std::vector<std::string> chosen;
  for (const std::string& name : listed) {
    if (!IsRecordFileName(name)) continue;
    const std::string stem = Stem(name);
    if (!IsAll(year) && stem.compare(0, year.size(), year) != 0) continue;
    if (!IsAll(month) &&
        (stem.size() < month.size() || stem.compare(stem.size() - month.size(), month.size(), month) != 0)) {
      continue;
    }
    chosen.push_back(name);
  }
  return chosen;
}

namespace {

// Loads a record file and steps into its root element; false when it is missing or not well
// formed.
bool EnterRecordFile(CXmlDoc& doc, const std::string& path) {
  return doc.LoadFile(path.c_str()) && doc.FindElement() && doc.EnterElement();
}

}  // namespace

std::vector<std::string> CollectRecordUsers(const std::string& folder,
                                            const std::vector<std::string>& listed) {
  std::vector<std::string> users;
  std::unordered_set<std::string> seen;
  std::string user;
  for (const std::string& name : listed) {
    CXmlDoc doc;
    if (!EnterRecordFile(doc, folder + kPathSeparator + name)) continue;
    while (doc.FindElement("ITEM")) {
      doc.GetAttribute("user", user);
      if (seen.insert(user).second) users.push_back(user);
    }
  }
  return users;
}

long long CLocalTimes::Seconds(const char* text) {
  int f[6];
  ReadTimeFields(text, f);
  return Seconds(f[0], f[1], f[2], f[3], f[4], f[5]);
}

long long CLocalTimes::Seconds(int year, int month, int day, int hour, int minute, int second) {
  // mktime's normalisation: a month out of 1-12 moves the year, the rest add up linearly.
  const long long monthIndex = static_cast<long long>(year) * 12 + (month - 1);
  const long long y = FloorDiv(monthIndex, 12);
  const long long m = monthIndex - y * 12 + 1;
  const long long dayNumber = DaysFromCivil(y, m, 1) + (static_cast<long long>(day) - 1);
  const long long naive = dayNumber * kSecondsPerDay + static_cast<long long>(hour) * 3600 +
                          static_cast<long long>(minute) * 60 + second;
  return naive - Offset(monthIndex, naive);
}

long long CLocalTimes::Offset(long long monthIndex, long long naive) {
  // Records come month by month: the month of the last time read is asked first.
  if (monthIndex == m_lastMonth && m_lastOffset != kVaries) return m_lastOffset;
  auto month = m_months.find(monthIndex);
  if (month == m_months.end()) {
    const long long y = FloorDiv(monthIndex, 12);
    const long long m = monthIndex - y * 12 + 1;
    const long long first = DaysFromCivil(y, m, 1) * kSecondsPerDay;
    const long long next =
        (m == 12 ? DaysFromCivil(y + 1, 1, 1) : DaysFromCivil(y, m + 1, 1)) * kSecondsPerDay;
    month = m_months.emplace(monthIndex, OffsetOver(first, next - 1)).first;
  }
  m_lastMonth = monthIndex;
  m_lastOffset = month->second;
  if (month->second != kVaries) return month->second;
  const long long dayNumber = FloorDiv(naive, kSecondsPerDay);
  auto day = m_days.find(dayNumber);
  if (day == m_days.end()) {
    const long long first = dayNumber * kSecondsPerDay;
    day = m_days.emplace(dayNumber, OffsetOver(first, first + kSecondsPerDay - 1)).first;
  }
  // On the day the offset changes, each time is placed on its own.
  return day->second != kVaries ? day->second : OffsetAt(naive);
}

long long RecordDurationSeconds(CLocalTimes& times, const char* start, const char* end) {
  return times.Seconds(end) - times.Seconds(start);
}

std::string DurationText(long long seconds) {
  // Written by hand: the query makes one for every row.
  std::string text;
  const auto append = [&text](long long value, const char* unit) {
    text += std::to_string(value);
    text += unit;
  };
  if (seconds >= 3600) {
    append(seconds / 3600, "小时");
    append(seconds / 60 % 60, "分钟");
    append(seconds % 60, "秒");
  } else if (seconds >= 60) {
    append(seconds / 60, "分钟");
    append(seconds % 60, "秒");
  } else {
    append(seconds, "秒");
  }
  return text;
}

long long ReadByteCount(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned long long n = 0;
  const unsigned long long limit = negative ? static_cast<unsigned long long>(LLONG_MAX) + 1 : LLONG_MAX;
  for (; IsDigit(*p); ++p) {
    const unsigned digit = static_cast<unsigned>(*p - '0');
    n = n > (limit - digit) / 10 ? limit : n * 10 + digit;
  }
  if (!negative) return static_cast<long long>(n);
  return n == limit ? LLONG_MIN : -static_cast<long long>(n);
}

long long AddClamped(long long a, long long b) {
  if (b > 0 && a > LLONG_MAX - b) return LLONG_MAX;
  if (b < 0 && a < LLONG_MIN - b) return LLONG_MIN;
  return a + b;
}

std::string GroupDigits(uint64_t value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  grouped.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string GroupDigits(long long value) {
  if (value >= 0) return GroupDigits(static_cast<uint64_t>(value));
  return "-" + GroupDigits(static_cast<uint64_t>(0) - static_cast<uint64_t>(value));
}

void QueryRecordFile(const std::string& path, const RecordFilter& filter, CLocalTimes& times,
                     RecordQueryResult& result) {
  const bool anyUser = IsAll(filter.user);
  const bool anyDay = IsAll(filter.day);
  std::string end;
  {
    CXmlDoc doc;
    if (!EnterRecordFile(doc, path)) return;
    int fileIndex = -1;
    while (doc.FindElement("ITEM")) {
      if (!doc.GetAttribute("end_time", end) || end.empty()) continue;
      RecordRow row;
      doc.GetAttribute("user", row.cells[kColumnUser]);
      if (!anyUser && row.cells[kColumnUser] != filter.user) continue;
      std::string& start = row.cells[kColumnStart];
      doc.GetAttribute("start_time", start);
      // The day of "YYYY-MM-DD": the two characters after the second "-".
      if (!anyDay && (start.size() < 10 || start.compare(8, 2, filter.day) != 0)) continue;
      doc.GetAttribute("ip", row.cells[kColumnIp]);
      doc.GetAttribute("error_code", row.cells[kColumnEndCause]);
      doc.GetAttribute("send", row.cells[kColumnSent]);
      doc.GetAttribute("recv", row.cells[kColumnReceived]);
      row.seconds = RecordDurationSeconds(times, start.c_str(), end.c_str());
      row.cells[kColumnDuration] = DurationText(row.seconds);
      row.bytes = AddClamped(ReadByteCount(row.cells[kColumnSent].c_str()),
                             ReadByteCount(row.cells[kColumnReceived].c_str()));
      row.cells[kColumnNumber] = std::to_string(result.rows.size() + 1);
      if (fileIndex < 0) {
        fileIndex = static_cast<int>(result.files.size());
        result.files.push_back(path);
      }
      row.file = fileIndex;
      result.rows.push_back(std::move(row));
    }
  }
}

void RunRecordQuery(const std::string& folder, const std::vector<std::string>& files,
                    const RecordFilter& filter, CLocalTimes& times, RecordQueryResult& result) {
  for (const std::string& name : files)
    QueryRecordFile(folder + kPathSeparator + name, filter, times, result);
}

RecordTotals SumRecordRows(const RecordRows& rows) {
  RecordTotals totals;
  for (const RecordRow& row : rows) {
    ++totals.count;
    totals.seconds = AddClamped(totals.seconds, row.seconds);
    totals.bytes = AddClamped(totals.bytes, row.bytes);
  }
  return totals;
}

std::string RecordTotalsText(const RecordTotals& totals) {
  return "总计      次数：" + std::to_string(totals.count) + "      时间：" + DurationText(totals.seconds) +
         "      总流量：" + GroupDigits(totals.bytes) + "字节";
}

int RemoveRecordsStartingAt(const std::string& path, const std::string& startTime) {
  CXmlDoc doc;
  if (!EnterRecordFile(doc, path)) return -1;
  int removed = 0;
  std::string start;
  while (doc.FindElement("ITEM")) {
    doc.GetAttribute("start_time", start);
    // After a removal the position is the record before, so the next search goes on after it.
    if (start == startTime && doc.RemoveElement()) ++removed;
  }
  if (removed > 0) {
    doc.LeaveElement();
    if (!doc.SaveFile(path.c_str())) return -1;
  }
  return removed;
}

std::string RecordExportText(const RecordRows& rows) {
  std::string text;
  for (const RecordRow& row : rows) {
    for (int column = 0; column < kRecordColumns; ++column) {
      text += row.cells[column];
      text += column + 1 < kRecordColumns ? "\t" : "\r\n";
    }
  }
  return text;
}

std::string RecordTimeText(int year, int month, int day, int hour, int minute, int second) {
  char text[80];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  return text;
}
