// Measures the record query over ten years of month files against the same query written with
// pugixml, in one run and on the same files: 120 month files of 1,000 records each (GB2312, CR LF,
// one empty ITEM with seven attributes per line, some records still open or ended without traffic).
//
// A query is what the record query does for "所有" in every filter: list the record folder, read
// every file, keep every closed record, make its row (the cells, the duration and its text, the
// byte count) and sum the totals. Only the reading of the files differs between the two: ours
// loads and indexes each file with CXmlDoc and cuts the values out of the text, the other parses it
// with pugixml and reads the values from its tree. Both must give the same rows, or the program
// stops.
//
//   records_bench [passes]     (default 15; the median and the spread of the passes are shown)
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "client/store/ProgramFolder.h"
#include "client/tools/RecordQuery.h"

namespace {

constexpr int kYears = 10;
constexpr int kRecordsPerFile = 1000;

std::string MonthText(int year, int month) {
  std::string text = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<record>\r\n";
  char line[512];
  // Newest first, as the client writes them.
  for (int i = kRecordsPerFile - 1; i >= 0; --i) {
    const int day = 1 + i * 28 / kRecordsPerFile;
    const int hour = i % 24;
    const int minutes = 1 + i * 7 % 300;
    const bool open = i == kRecordsPerFile - 1;
    const bool lost = i % 9 == 0;
    char end[32] = "";
    if (!open) {
      std::snprintf(end, sizeof(end), "%d-%02d-%02d %02d:%02d:%02d", year, month, day,
                    (hour + minutes / 60) % 24, minutes % 60, i * 13 % 60);
    }
    char send[24] = "", recv[24] = "";
    if (!open && !lost) {
      std::snprintf(send, sizeof(send), "%d", i * 3701 % 90000000);
      std::snprintf(recv, sizeof(recv), "%d", i * 91807 % 900000000);
    }
    std::snprintf(
        line, sizeof(line),
        "<ITEM user=\"%s%03d\" start_time=\"%d-%02d-%02d %02d:00:%02d\" end_time=\"%s\" ip=\"10.%d.%d.%d\" "
        "error_code=\"%s\" send=\"%s\" recv=\"%s\"/>\r\n",
        i % 3 ? "user" : "用户", i % 50, year, month, day, hour, i % 60, end, i % 250, month, 1 + i % 253,
        open ? "" : (lost ? "非法断开" : "正常断开"), send, recv);
    text += line;
  }
  return text + "</record>\r\n";
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// The same rows, read with pugixml.
void QueryWithPugixml(const std::string& folder, const std::vector<std::string>& files, CLocalTimes& times,
                      RecordQueryResult& result) {
  for (const std::string& name : files) {
    const std::string path = folder + kPathSeparator + name;
    pugi::xml_document doc;
    // The bytes go through as they are, as ours keeps GB2312.
    if (!doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf8)) continue;
    int fileIndex = -1;
    for (pugi::xml_node item : doc.document_element().children("ITEM")) {
      const char* end = item.attribute("end_time").value();
      if (*end == '\0') continue;
      RecordRow row;
      row.cells[kColumnUser] = item.attribute("user").value();
      row.cells[kColumnStart] = item.attribute("start_time").value();
      row.cells[kColumnIp] = item.attribute("ip").value();
      row.cells[kColumnEndCause] = item.attribute("error_code").value();
      row.cells[kColumnSent] = item.attribute("send").value();
      row.cells[kColumnReceived] = item.attribute("recv").value();
      row.seconds = RecordDurationSeconds(times, row.cells[kColumnStart].c_str(), end);
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

struct Outcome {
  double seconds;
  double cpuSeconds;  // of this process: what the query cost, however busy the machine is
  std::string totals;
  std::string exported;
};

template <class Query>
Outcome Run(const std::string& folder, Query query, bool keepRows) {
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuStart = std::clock();
  const std::vector<std::string> files = SelectRecordFiles(ListRecordFiles(folder), kFilterAll, kFilterAll);
  CLocalTimes times;
  RecordQueryResult result;
  query(folder, files, times, result);
  const std::string totals = RecordTotalsText(SumRecordRows(result.rows));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  return {seconds, cpuSeconds, totals, keepRows ? RecordExportText(result.rows) : std::string()};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quillon-records-bench-" + std::to_string(std::rand()));
  std::filesystem::create_directories(folder);
  size_t bytes = 0;
  for (int year = 2009; year < 2009 + kYears; ++year) {
    for (int month = 1; month <= 12; ++month) {
      char name[32];
      std::snprintf(name, sizeof(name), "%d-%02d.xml", year, month);
      const std::string text = MonthText(year, month);
      bytes += text.size();
      if (!WriteFile((folder / name).string(), text)) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).string().c_str());
        return 1;
      }
    }
  }
  const std::string path = folder.string();
  const auto ours = [](const std::string& f, const std::vector<std::string>& files, CLocalTimes& times,
                       RecordQueryResult& result) {
    RunRecordQuery(f, files, RecordFilter(), times, result);
  };

  // Both must list the same rows.
  const Outcome checkOurs = Run(path, ours, true);
  const Outcome checkPeer = Run(path, QueryWithPugixml, true);
  if (checkOurs.exported != checkPeer.exported || checkOurs.totals != checkPeer.totals) {
    std::fprintf(stderr, "the two queries disagree\n");
    return 1;
  }

  std::vector<double> oursSeconds, peerSeconds, oursCpu, peerCpu;
  for (int pass = 0; pass < passes; ++pass) {
    const Outcome a = Run(path, ours, false);
    const Outcome b = Run(path, QueryWithPugixml, false);
    oursSeconds.push_back(a.seconds);
    oursCpu.push_back(a.cpuSeconds);
    peerSeconds.push_back(b.seconds);
    peerCpu.push_back(b.cpuSeconds);
  }
  std::filesystem::remove_all(folder);

  const auto low = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()) * 1000; };
  const auto high = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()) * 1000; };
  std::printf("%d files, %d records each, %.1f MB; %d passes; %zu rows\n", kYears * 12, kRecordsPerFile,
              bytes / 1e6, passes, std::count(checkOurs.exported.begin(), checkOurs.exported.end(), '\n'));
  std::printf("| query | wall ms: median | min | max | CPU ms: median | min | max |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  std::printf("| ours (CXmlDoc) | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f |\n", Median(oursSeconds) * 1000,
              low(oursSeconds), high(oursSeconds), Median(oursCpu) * 1000, low(oursCpu), high(oursCpu));
  std::printf("| pugixml | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f |\n", Median(peerSeconds) * 1000,
              low(peerSeconds), high(peerSeconds), Median(peerCpu) * 1000, low(peerCpu), high(peerCpu));
  const double ratio = Median(oursSeconds) / Median(peerSeconds);
  const double cpuRatio = Median(oursCpu) / Median(peerCpu);
  std::printf("ours / pugixml (medians): wall %.2f, CPU %.2f (goal: at most 1.50) %s\n", ratio, cpuRatio,
              std::max(ratio, cpuRatio) <= 1.5 ? "met" : "NOT MET");
  std::printf(
      "ten years: wall %.3f s, CPU %.3f s (goal: under 0.2 s) %s\n", Median(oursSeconds), Median(oursCpu),
      Median(oursSeconds) < 0.2 ? "met" : (Median(oursCpu) < 0.2 ? "met in CPU time only" : "NOT MET"));
  return 0;
}
