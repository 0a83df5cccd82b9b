// Measures CXmlDoc against pugixml and tinyxml2, in one run and on the same generated data: monthly
// record files of 1k to 1M ITEM lines (GB2312, CR LF, one empty ITEM with seven attributes per
// line). For each size: parse throughput; a query (visit every ITEM and read three attributes into
// strings the loop keeps); the reads of a record reader (visit every ITEM and read "user",
// "start_time" and "send", the 1st, 2nd and 6th attribute, by value); an edit (insert an ITEM
// before the first and set its seven attributes); and the heap an indexed document takes.
//
// Every timing is taken over several passes; each pass runs the three engines one after the
// other (in turns), so that a busy machine slows all of them alike. The tables give the median of the
// passes and their spread (the lowest and highest as a percentage of the median).
//
//   xml_bench [largest line count]     (default 1000000)
#include <malloc.h>
#include <tinyxml2.h>
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "client/store/XmlDoc.h"

namespace {

const char* const kAttributes[7] = {"user", "start_time", "end_time", "ip", "error_code", "send", "recv"};
const char* const kNewValues[7] = {"新用户", "2009-03-31 23:59:58", "", "10.9.8.7", "", "", ""};

std::string RecordFile(int lines) {
  std::string text = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<record>\r\n";
  text.reserve(static_cast<size_t>(lines) * 180 + 64);
  char line[512];
  for (int i = 0; i < lines; ++i) {
    int day = 1 + i % 28;
    int hour = i % 24;
    std::snprintf(line, sizeof(line),
                  "<ITEM user=\"%s%05d\" start_time=\"2009-03-%02d %02d:%02d:%02d\" "
                  "end_time=\"2009-03-%02d %02d:%02d:%02d\" ip=\"10.%d.%d.%d\" error_code=\"%s\" "
                  "send=\"%d\" recv=\"%d\"/>\r\n",
                  i % 3 ? "user" : "用户", i % 100000, day, hour, i * 7 % 60, i * 13 % 60, day,
                  (hour + 1) % 24, i * 11 % 60, i * 17 % 60, i % 250, i / 250 % 250, 1 + i % 253,
                  i % 5 ? "正常断开" : "非法断开", i * 37 % 9000000, i * 91 % 90000000);
    text += line;
  }
  text += "</record>\r\n";
  return text;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The passes of one measurement, in seconds.
struct Timing {
  std::vector<double> runs;
  double Median() const {
    std::vector<double> sorted = runs;
    std::sort(sorted.begin(), sorted.end());
    size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }
  // The lowest and highest pass as a percentage of the median.
  double Low() const { return 100.0 * *std::min_element(runs.begin(), runs.end()) / Median(); }
  double High() const { return 100.0 * *std::max_element(runs.begin(), runs.end()) / Median(); }
};

// One timed step of an engine: setup() runs untimed before run().
struct Step {
  std::function<void()> setup;
  std::function<void()> run;
};

// `passes` passes over the three engines' steps. Each pass starts with another engine, so that
// each follows each of the others (and finds the caches as they left them) equally often.
void Measure(int passes, Step (&steps)[3], Timing (&timings)[3]) {
  for (int p = 0; p < passes; ++p) {
    for (int i = 0; i < 3; ++i) {
      int e = (p + i) % 3;
      if (steps[e].setup) steps[e].setup();
      auto start = std::chrono::steady_clock::now();
      steps[e].run();
      timings[e].runs.push_back(Seconds(start));
    }
  }
}

size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

volatile size_t g_sink;

struct Row {
  int lines;
  int passes;
  double megabytes;
  Timing parse[3];  // ours, pugixml, tinyxml2
  Timing query[3];
  Timing reads[3];
  Timing edit[3];
  double memory[3];  // bytes
  double budget;     // text + 32 bytes per element
};

void RequireSame(const char* what, const size_t (&sums)[3]) {
  if (sums[0] != sums[1] || sums[0] != sums[2]) {
    std::fprintf(stderr, "%s results differ: %zu %zu %zu\n", what, sums[0], sums[1], sums[2]);
    std::exit(1);
  }
}

Row MeasureSize(int lines) {
  std::string text = RecordFile(lines);
  Row row;
  row.lines = lines;
  row.megabytes = text.size() / 1e6;
  row.budget = static_cast<double>(text.size()) + 32.0 * (lines + 1);
  // A multiple of three, so that each engine starts as many passes as the others.
  int passes = 3 * std::max(3, static_cast<int>(20e6 / text.size()));
  row.passes = passes;
  auto length = [](const char* s) { return s ? std::strlen(s) : 0; };

  // Parse: a fresh document each time, destroyed inside the timing as well.
  {
    Step steps[3] = {{nullptr,
                      [&] {
                        CXmlDoc doc;
                        g_sink = doc.SetDocText(text.c_str());
                      }},
                     {nullptr,
                      [&] {
                        pugi::xml_document doc;
                        g_sink = doc.load_buffer(text.data(), text.size());
                      }},
                     {nullptr, [&] {
                        tinyxml2::XMLDocument doc;
                        g_sink = doc.Parse(text.data(), text.size());
                      }}};
    Measure(passes, steps, row.parse);
  }

  CXmlDoc ours;
  ours.SetDocText(text.c_str());
  pugi::xml_document pugiDoc;
  pugiDoc.load_buffer(text.data(), text.size());
  pugi::xml_node pugiRoot = pugiDoc.child("record");
  tinyxml2::XMLDocument tinyDoc;
  tinyDoc.Parse(text.data(), text.size());
  tinyxml2::XMLElement* tinyRoot = tinyDoc.FirstChildElement("record");

  // Query: every ITEM, three attributes into strings the loop keeps (ours); the peers hand out
  // pointers into their trees.
  {
    size_t sums[3] = {0, 0, 0};
    Step steps[3] = {{nullptr,
                      [&] {
                        size_t sum = 0;
                        std::string value;
                        ours.RewindLevel();
                        ours.FindElement("record");
                        ours.EnterElement();
                        while (ours.FindElement("ITEM")) {
                          ours.GetAttribute("user", value);
                          sum += value.size();
                          ours.GetAttribute("start_time", value);
                          sum += value.size();
                          ours.GetAttribute("end_time", value);
                          sum += value.size();
                        }
                        ours.LeaveElement();
                        sums[0] = sum;
                      }},
                     {nullptr,
                      [&] {
                        size_t sum = 0;
                        for (pugi::xml_node item : pugiRoot.children("ITEM")) {
                          sum += std::strlen(item.attribute("user").value()) +
                                 std::strlen(item.attribute("start_time").value()) +
                                 std::strlen(item.attribute("end_time").value());
                        }
                        sums[1] = sum;
                      }},
                     {nullptr, [&] {
                        size_t sum = 0;
                        for (auto* item = tinyRoot->FirstChildElement("ITEM"); item;
                             item = item->NextSiblingElement("ITEM")) {
                          sum += length(item->Attribute("user")) + length(item->Attribute("start_time")) +
                                 length(item->Attribute("end_time"));
                        }
                        sums[2] = sum;
                      }}};
    Measure(passes, steps, row.query);
    RequireSame("query", sums);
  }

  // Reads of a record reader: the 1st, 2nd and 6th attribute of every ITEM; ours returns each
  // value as a new string, the peers hand out pointers.
  {
    size_t sums[3] = {0, 0, 0};
    Step steps[3] = {{nullptr,
                      [&] {
                        size_t sum = 0;
                        ours.RewindLevel();
                        ours.FindElement("record");
                        ours.EnterElement();
                        while (ours.FindElement("ITEM")) {
                          sum += ours.GetAttribute("user").size();
                          sum += ours.GetAttribute("start_time").size();
                          sum += ours.GetAttribute("send").size();
                        }
                        ours.LeaveElement();
                        sums[0] = sum;
                      }},
                     {nullptr,
                      [&] {
                        size_t sum = 0;
                        for (pugi::xml_node item : pugiRoot.children("ITEM")) {
                          sum += std::strlen(item.attribute("user").value()) +
                                 std::strlen(item.attribute("start_time").value()) +
                                 std::strlen(item.attribute("send").value());
                        }
                        sums[1] = sum;
                      }},
                     {nullptr, [&] {
                        size_t sum = 0;
                        for (auto* item = tinyRoot->FirstChildElement("ITEM"); item;
                             item = item->NextSiblingElement("ITEM")) {
                          sum += length(item->Attribute("user")) + length(item->Attribute("start_time")) +
                                 length(item->Attribute("send"));
                        }
                        sums[2] = sum;
                      }}};
    Measure(passes, steps, row.reads);
    RequireSame("reads", sums);
  }

  // Edit: insert an ITEM before the first and set its seven attributes, on a freshly parsed
  // document each time (the parse is not timed).
  {
    int editPasses = 3 * std::max(3, passes / 12);
    CXmlDoc doc;
    pugi::xml_document pugiEdit;
    tinyxml2::XMLDocument tinyEdit;
    Step steps[3] = {{[&] { doc.SetDocText(text.c_str()); },
                      [&] {
                        doc.FindElement("record");
                        doc.EnterElement();
                        doc.FindElement("ITEM");
                        doc.InsertElement("ITEM");
                        for (int i = 0; i < 7; ++i) doc.SetAttribute(kAttributes[i], kNewValues[i]);
                      }},
                     {[&] { pugiEdit.load_buffer(text.data(), text.size()); },
                      [&] {
                        pugi::xml_node root = pugiEdit.child("record");
                        pugi::xml_node item = root.insert_child_before("ITEM", root.child("ITEM"));
                        for (int i = 0; i < 7; ++i)
                          item.append_attribute(kAttributes[i]).set_value(kNewValues[i]);
                      }},
                     {[&] { tinyEdit.Parse(text.data(), text.size()); },
                      [&] {
                        tinyxml2::XMLElement* root = tinyEdit.FirstChildElement("record");
                        tinyxml2::XMLElement* item = tinyEdit.NewElement("ITEM");
                        root->InsertFirstChild(item);
                        for (int i = 0; i < 7; ++i) item->SetAttribute(kAttributes[i], kNewValues[i]);
                      }}};
    Measure(editPasses, steps, row.edit);
    doc.RewindLevel();
    if (!doc.FindElement("ITEM") || doc.GetAttribute("user") != kNewValues[0]) {
      std::fprintf(stderr, "edit did not take\n");
      std::exit(1);
    }
  }

  // Memory: the heap a parsed document holds (its copy of the text included).
  {
    malloc_trim(0);
    size_t before = HeapInUse();
    auto* doc = new CXmlDoc;
    doc->SetDocText(text.c_str());
    row.memory[0] = static_cast<double>(HeapInUse() - before);
    delete doc;
  }
  {
    size_t before = HeapInUse();
    auto* doc = new pugi::xml_document;
    doc->load_buffer(text.data(), text.size());
    row.memory[1] = static_cast<double>(HeapInUse() - before);
    delete doc;
  }
  {
    size_t before = HeapInUse();
    auto* doc = new tinyxml2::XMLDocument;
    doc->Parse(text.data(), text.size());
    row.memory[2] = static_cast<double>(HeapInUse() - before);
    delete doc;
  }
  return row;
}

// "median (low-high %)" of a timing in milliseconds.
std::string Cell(const Timing& t, int decimals) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.*f (%.0f-%.0f%%)", decimals, t.Median() * 1e3, t.Low(), t.High());
  return text;
}

void PrintTimings(const char* title, const std::vector<Row>& rows, Timing (Row::*which)[3], int decimals) {
  std::printf("\n%s, ms: median of the passes (lowest-highest pass, %% of the median)\n\n", title);
  std::printf("| lines | passes | ours | pugixml | tinyxml2 | vs tinyxml2 | vs pugixml |\n");
  std::printf("|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const Row& r : rows) {
    const Timing* t = r.*which;
    std::printf("| %d | %d | %s | %s | %s | %.2f | %.2f |\n", r.lines, r.passes, Cell(t[0], decimals).c_str(),
                Cell(t[1], decimals).c_str(), Cell(t[2], decimals).c_str(), t[2].Median() / t[0].Median(),
                t[1].Median() / t[0].Median());
  }
}

}  // namespace

int main(int argc, char** argv) {
  int largest = argc > 1 ? std::atoi(argv[1]) : 1000000;
  std::vector<Row> rows;
  for (int lines = 1000; lines <= largest; lines *= 10) {
    std::fprintf(stderr, "measuring %d lines...\n", lines);
    rows.push_back(MeasureSize(lines));
  }

  std::printf("Ratios are the peer's median over ours: above 1, ours is faster.\n");
  std::printf("\nParse, MB/s of the median pass\n\n");
  std::printf("| lines | MB | ours | pugixml | tinyxml2 | vs tinyxml2 | vs pugixml |\n");
  std::printf("|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const Row& r : rows) {
    std::printf("| %d | %.1f | %.0f (%.0f-%.0f%%) | %.0f | %.0f | %.2f | %.2f |\n", r.lines, r.megabytes,
                r.megabytes / r.parse[0].Median(), r.parse[0].Low(), r.parse[0].High(),
                r.megabytes / r.parse[1].Median(), r.megabytes / r.parse[2].Median(),
                r.parse[2].Median() / r.parse[0].Median(), r.parse[1].Median() / r.parse[0].Median());
  }
  PrintTimings("Query (user, start_time, end_time into kept strings)", rows, &Row::query, 3);
  PrintTimings("Record reads (user, start_time, send by value)", rows, &Row::reads, 3);
  PrintTimings("Edit (insert an ITEM at the top, set seven attributes)", rows, &Row::edit, 4);

  std::printf("\nMemory, MB\n\n");
  std::printf("| lines | ours | text + 32/element | pugixml | tinyxml2 | ours / budget |\n");
  std::printf("|---:|---:|---:|---:|---:|---:|\n");
  for (const Row& r : rows) {
    std::printf("| %d | %.1f | %.1f | %.1f | %.1f | %.3f |\n", r.lines, r.memory[0] / 1e6, r.budget / 1e6,
                r.memory[1] / 1e6, r.memory[2] / 1e6, r.memory[0] / r.budget);
  }

  bool met = true;
  for (const Row& r : rows) {
    for (const Timing* t : {r.parse, r.query, r.reads}) {
      met = met && t[2].Median() >= t[0].Median() && t[1].Median() >= 0.5 * t[0].Median();
    }
    if (r.lines == 100000) met = met && r.parse[0].Median() > r.edit[0].Median();
    met = met && r.memory[0] <= 1.1 * r.budget;
  }
  std::printf(
      "\nGoals (parse, query and record reads at least tinyxml2's speed and half pugixml's; an edit of a "
      "100k-line file cheaper than parsing it; memory within 10%% of the text + 32 bytes per element): %s\n",
      met ? "met" : "NOT met");
  return 0;
}
