// The record query's decisions on real month files in a temporary folder: which files each filter
// reads, the rows and their numbering, durations, totals and their digit grouping, the removal by
// start time and the export; and the month totals of the statistics window.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "client/tools/RecordQuery.h"
#include "client/tools/StatFigures.h"
#include "tests/store/StoreTestSupport.h"

namespace {

std::string Item(const std::string& user, const std::string& start, const std::string& end,
                 const std::string& send = "", const std::string& recv = "") {
  return "<ITEM user=\"" + user + "\" start_time=\"" + start + "\" end_time=\"" + end +
         "\" ip=\"10.0.0.1\" error_code=\"" + (end.empty() ? "" : "正常断开") + "\" send=\"" + send +
         "\" recv=\"" + recv + "\"/>\r\n";
}

std::string MonthFile(const std::vector<std::string>& items) {
  std::string text = std::string(Declaration()) + "<record>\r\n";
  for (const std::string& item : items) text += item;
  return text + "</record>\r\n";
}

std::vector<std::string> Column(const RecordQueryResult& result, RecordColumn column) {
  std::vector<std::string> cells;
  for (const RecordRow& row : result.rows) cells.push_back(row.cells[column]);
  return cells;
}

TEST(RecordQueryTest, EachFilterCombinationChoosesItsFilesInTheListedOrder) {
  // As a folder search may return them: not sorted, with the store's side files among them.
  const std::vector<std::string> listed = {
      "2010-03.xml",      "2009-03.xml", "2009-12.xml", "2009-03.xml.damaged",
      "2010-12.xml.new~", "2009-11.XML", "notes.txt"};
  struct Case {
    const char* year;
    const char* month;
    std::vector<std::string> files;
  } const cases[] = {
      {kFilterAll, kFilterAll, {"2010-03.xml", "2009-03.xml", "2009-12.xml", "2009-11.XML"}},
      {"2009", kFilterAll, {"2009-03.xml", "2009-12.xml", "2009-11.XML"}},
      {kFilterAll, "03", {"2010-03.xml", "2009-03.xml"}},
      {kFilterAll, "12", {"2009-12.xml"}},
      {"2009", "03", {"2009-03.xml"}},
      // The one month file, whether it exists or not.
      {"2011", "05", {"2011-05.xml"}},
      {"2012", kFilterAll, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SelectRecordFiles(listed, c.year, c.month), c.files) << c.year << " " << c.month;
  }

  TempFolder folder;
  for (const char* name : {"2009-03.xml", "2009-03.xml.damaged", "2009-11.XML"})
    WriteBytes(folder.File(name), "x");
  std::filesystem::create_directory(folder.File("2009-04.xml"));
  std::vector<std::string> found = ListRecordFiles(folder.Path());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"2009-03.xml", "2009-11.XML"}));
  EXPECT_TRUE(ListRecordFiles(folder.File("missing")).empty());

  EXPECT_EQ(FilterYears(2015).front(), "2009");
  EXPECT_EQ(FilterYears(2015).back(), "2020");
  EXPECT_EQ(FilterYears(2026).back(), "2026") << "the current year can always be chosen";
  EXPECT_EQ(FilterMonths().size(), 12u);
  EXPECT_EQ(FilterMonths().front(), "01");
  EXPECT_EQ(FilterDays().size(), 31u);
  EXPECT_EQ(FilterDays().back(), "31");
}

TEST(RecordQueryTest, DurationsByteCountsAndGrouping) {
  const std::pair<long long, const char*> durations[] = {{0, "0秒"},
                                                         {59, "59秒"},
                                                         {60, "1分钟0秒"},
                                                         {61, "1分钟1秒"},
                                                         {3599, "59分钟59秒"},
                                                         {3600, "1小时0分钟0秒"},
                                                         {3661, "1小时1分钟1秒"},
                                                         {3 * 3600 + 25 * 60 + 9, "3小时25分钟9秒"},
                                                         {100 * 3600 + 5, "100小时0分钟5秒"}};
  for (const auto& d : durations) EXPECT_EQ(DurationText(d.first), d.second) << d.first;

  const std::pair<long long, const char*> groups[] = {{0, "0"},
                                                      {999, "999"},
                                                      {1000, "1,000"},
                                                      {1234567, "1,234,567"},
                                                      {-1000, "-1,000"},
                                                      {-999, "-999"},
                                                      {LLONG_MIN, "-9,223,372,036,854,775,808"}};
  for (const auto& g : groups) EXPECT_EQ(GroupDigits(g.first), g.second) << g.first;
  EXPECT_EQ(GroupDigits(static_cast<uint64_t>(18446744073709551615ull)), "18,446,744,073,709,551,615");

  const std::pair<const char*, long long> counts[] = {{"", 0},
                                                      {"abc", 0},
                                                      {"12ab", 12},
                                                      {" 42", 42},
                                                      {"-5", -5},
                                                      {"4294967296", 4294967296LL},
                                                      {"99999999999999999999", LLONG_MAX},
                                                      {"-99999999999999999999", LLONG_MIN}};
  for (const auto& c : counts) EXPECT_EQ(ReadByteCount(c.first), c.second) << c.first;
  EXPECT_EQ(AddClamped(LLONG_MAX, 1), LLONG_MAX);
  EXPECT_EQ(AddClamped(LLONG_MIN, -1), LLONG_MIN);
}

TEST(RecordQueryTest, LocalTimesAgreeWithTheCLibraryAcrossTheChangesOfSummerTime) {
#ifdef _WIN32
  _putenv("TZ=EST5EDT");
  _tzset();
#else
  setenv("TZ", "EST5EDT", 1);
  tzset();
#endif
  CLocalTimes times;
  int checked = 0;
  for (int day = 0; day < 366; ++day) {
    for (int hour = 0; hour < 24; ++hour) {
      std::tm parts = {};
      parts.tm_year = 2021 - 1900;
      parts.tm_mon = 0;
      parts.tm_mday = 1 + day;
      parts.tm_hour = hour;
      parts.tm_min = 30;
      parts.tm_isdst = -1;
      const std::time_t expected = std::mktime(&parts);
      ASSERT_NE(expected, static_cast<std::time_t>(-1));
      // mktime normalised the fields; the same local time read back as text.
      const std::string text = RecordTimeText(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                                              parts.tm_hour, parts.tm_min, 0);
      if (parts.tm_hour != hour) continue;  // an hour that summer time skips
      EXPECT_EQ(times.Seconds(text.c_str()), static_cast<long long>(expected)) << text;
      ++checked;
    }
  }
  EXPECT_GT(checked, 8700);
  // Fields that cannot be read count as 0: "2021-03-05" is midnight of that day.
  EXPECT_EQ(times.Seconds("2021-03-05") + 3661, times.Seconds("2021-03-05 01:01:01"));
  EXPECT_EQ(RecordDurationSeconds(times, "2021-03-05 23:59:59", "2021-03-06 00:00:58"), 59);
#ifdef _WIN32
  _putenv("TZ=");
  _tzset();
#else
  unsetenv("TZ");
  tzset();
#endif
}

TEST(RecordQueryTest, QueryListsClosedRecordsAcrossFilesWithFiltersNumbersAndTotals) {
  TempFolder folder;
  WriteBytes(
      folder.File("2009-03.xml"),
      MonthFile({Item("demo", "2009-03-07 10:00:00", "", "", ""),  // still open
                 Item("王五", "2009-03-07 08:00:00", "2009-03-07 09:01:01", "4294967296", "4294967296"),
                 Item("demo", "2009-03-05 08:00:00", "2009-03-05 08:00:59", "1000", "234567"),
                 Item("demo", "2009-03-05 07:00:00", "2009-03-05 07:01:01", "abc", "")}));
  WriteBytes(folder.File("2009-04.xml"),
             MonthFile({Item("demo", "2009-04-05 08:00:00", "2009-04-05 08:01:00", "1", "2")}));
  WriteBytes(folder.File("2009-05.xml"), "<record><ITEM user=\"demo\" start_time=\"2009-05-05 08:00:00\"");

  CLocalTimes times;
  RecordQueryResult all;
  RunRecordQuery(folder.Path(), {"2009-03.xml", "2009-05.xml", "2009-04.xml"}, RecordFilter(), times, all);
  EXPECT_EQ(Column(all, kColumnNumber), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(Column(all, kColumnStart),
            (std::vector<std::string>{"2009-03-07 08:00:00", "2009-03-05 08:00:00", "2009-03-05 07:00:00",
                                      "2009-04-05 08:00:00"}));
  EXPECT_EQ(Column(all, kColumnDuration),
            (std::vector<std::string>{"1小时1分钟1秒", "59秒", "1分钟1秒", "1分钟0秒"}));
  EXPECT_EQ(Column(all, kColumnUser), (std::vector<std::string>{"王五", "demo", "demo", "demo"}));
  EXPECT_EQ(all.rows[1].cells[kColumnIp], "10.0.0.1");
  EXPECT_EQ(all.rows[1].cells[kColumnEndCause], "正常断开");
  EXPECT_EQ(all.rows[1].cells[kColumnSent], "1000");
  EXPECT_EQ(all.rows[2].cells[kColumnSent], "abc") << "cells stay as stored";
  ASSERT_EQ(all.files.size(), 2u);
  EXPECT_EQ(all.files[all.rows[3].file], folder.File("2009-04.xml"));

  // Above 4 GiB, and text that is no number counts as 0.
  const RecordTotals totals = SumRecordRows(all.rows);
  EXPECT_EQ(totals.bytes, 8589934592LL + 1000 + 234567 + 3);
  EXPECT_EQ(RecordTotalsText(totals),
            "总计      次数：4      时间：1小时4分钟1秒      总流量：8,590,170,162字节");

  struct Case {
    const char* user;
    const char* day;
    std::vector<std::string> starts;
  } const cases[] = {
      {"demo", kFilterAll, {"2009-03-05 08:00:00", "2009-03-05 07:00:00", "2009-04-05 08:00:00"}},
      {"dem", kFilterAll, {}},
      {kFilterAll, "07", {"2009-03-07 08:00:00"}},
      {"demo", "05", {"2009-03-05 08:00:00", "2009-03-05 07:00:00", "2009-04-05 08:00:00"}},
      {"王五", "05", {}},
  };
  for (const Case& c : cases) {
    RecordFilter filter;
    filter.user = c.user;
    filter.day = c.day;
    RecordQueryResult result;
    RunRecordQuery(folder.Path(), {"2009-03.xml", "2009-04.xml"}, filter, times, result);
    EXPECT_EQ(Column(result, kColumnStart), c.starts) << c.user << " " << c.day;
    if (!result.rows.empty()) {
      EXPECT_EQ(result.rows.back().cells[kColumnNumber], std::to_string(c.starts.size()));
    }
  }
  RecordQueryResult none;
  RunRecordQuery(folder.Path(), {"2009-06.xml"}, RecordFilter(), times, none);
  EXPECT_EQ(RecordTotalsText(SumRecordRows(none.rows)),
            "总计      次数：0      时间：0秒      总流量：0字节");

  EXPECT_EQ(RecordExportText({all.rows[1], all.rows[2]}),
            "2\tdemo\t2009-03-05 08:00:00\t59秒\t10.0.0.1\t正常断开\t1000\t234567\r\n"
            "3\tdemo\t2009-03-05 07:00:00\t1分钟1秒\t10.0.0.1\t正常断开\tabc\t\r\n");
  EXPECT_EQ(RecordExportText({}), "");

  EXPECT_EQ(CollectRecordUsers(folder.Path(), {"2009-05.xml", "2009-04.xml", "2009-03.xml"}),
            (std::vector<std::string>{"demo", "王五"}));
}

TEST(RecordQueryTest, RemovalTakesEveryRecordOfTheFileWithThatStartWhateverItsUser) {
  TempFolder folder;
  const std::string path = folder.File("2009-03.xml");
  const std::string keep1 = Item("c", "2009-03-05 08:00:01", "2009-03-05 09:00:00");
  const std::string keep2 = Item("a", "2009-03-04 08:00:00", "2009-03-04 09:00:00");
  WriteBytes(path, MonthFile({keep1, Item("a", "2009-03-05 08:00:00", "2009-03-05 09:00:00"),
                              Item("b", "2009-03-05 08:00:00", ""), keep2}));
  EXPECT_EQ(RemoveRecordsStartingAt(path, "2009-03-05 08:00:00"), 2);
  EXPECT_EQ(ReadBytes(path), MonthFile({keep1, keep2}));
  EXPECT_EQ(RemoveRecordsStartingAt(path, "2009-03-05 08:00:00"), 0);
  EXPECT_EQ(ReadBytes(path), MonthFile({keep1, keep2}));

  const std::string broken = MonthFile({keep1}).substr(0, 80);
  WriteBytes(path, broken);
  EXPECT_EQ(RemoveRecordsStartingAt(path, "2009-03-05 08:00:01"), -1);
  EXPECT_EQ(ReadBytes(path), broken) << "a file that does not parse is never modified";
  EXPECT_EQ(RemoveRecordsStartingAt(folder.File("2009-04.xml"), "2009-04-01 00:00:00"), -1);
  EXPECT_FALSE(FileExists(folder.File("2009-04.xml")));
}

TEST(RecordQueryTest, MonthTotalsAddTheConnectionThatIsUpToTheClosedRecords) {
  TempFolder folder;
  const std::string path = folder.File("2009-03.xml");
  WriteBytes(path, MonthFile({Item("demo", "2009-03-07 10:00:00", ""),
                              Item("demo", "2009-03-06 10:00:00", "2009-03-06 10:01:00", "5000000000", "10"),
                              Item("demo", "2009-03-05 10:00:00", "", "", "")}));
  CLocalTimes times;
  EXPECT_EQ(FirstOpenRecordStart(path), "2009-03-07 10:00:00");
  const RecordTotals month = MonthTotals(path, times, 3600, 4294967296ull);
  EXPECT_EQ(month.seconds, 60 + 3600);
  EXPECT_EQ(TrafficText(month.bytes), "9,294,967,306字节");
  const RecordTotals missing = MonthTotals(folder.File("2009-04.xml"), times, 5, 7);
  EXPECT_EQ(missing.seconds, 5);
  EXPECT_EQ(missing.bytes, 7);
  EXPECT_EQ(FirstOpenRecordStart(folder.File("2009-04.xml")), "");

  // The connection's own record counts, also when it began last month; a connection without one
  // takes the month's first open record, and none is measured while nothing is up.
  EXPECT_EQ(ConnectionStart("2009-02-28 23:00:00", true, path), "2009-02-28 23:00:00");
  EXPECT_EQ(ConnectionStart("", true, path), "2009-03-07 10:00:00");
  EXPECT_EQ(ConnectionStart("", false, path), "");

  const std::time_t now = static_cast<std::time_t>(times.Seconds("2009-03-07 13:25:09"));
  EXPECT_EQ(DurationText(ConnectedSeconds(times, "2009-03-07 10:00:00", now)), "3小时25分钟9秒");
  EXPECT_EQ(ConnectedSeconds(times, "2009-03-08 10:00:00", now), 0)
      << "a clock put back shows no negative time";
}

}  // namespace
