#include "client/tools/StatFigures.h"

#include <climits>

#include "client/store/XmlDoc.h"

long long ConnectedSeconds(CLocalTimes& times, const std::string& start, std::time_t now) {
  const long long elapsed = static_cast<long long>(now) - times.Seconds(start.c_str());
  return elapsed > 0 ? elapsed : 0;
}

std::string FirstOpenRecordStart(const std::string& path) {
  CXmlDoc doc;
  if (!doc.LoadFile(path.c_str()) || !doc.FindElement() || !doc.EnterElement()) return std::string();
  std::string end;
  while (doc.FindElement("ITEM")) {
    doc.GetAttribute("end_time", end);
    if (end.empty()) return doc.GetAttribute("start_time");
  }
  return std::string();
}

std::string ConnectionStart(const std::string& recordStart, bool up, const std::string& monthFile) {
  if (!recordStart.empty()) return recordStart;
  return up ? FirstOpenRecordStart(monthFile) : std::string();
}

RecordTotals MonthTotals(const std::string& monthFile, CLocalTimes& times, long long upSeconds,
                         uint64_t upBytes) {
  RecordQueryResult closed;
  QueryRecordFile(monthFile, RecordFilter(), times, closed);
  RecordTotals totals = SumRecordRows(closed.rows);
  totals.seconds = AddClamped(totals.seconds, upSeconds);
  const long long bytes =
      upBytes > static_cast<uint64_t>(LLONG_MAX) ? LLONG_MAX : static_cast<long long>(upBytes);
  totals.bytes = AddClamped(totals.bytes, bytes);
  return totals;
}

std::string TrafficText(long long bytes) {
  return GroupDigits(bytes) + "字节";
}
