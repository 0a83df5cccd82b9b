// The oracles on random documents and random edit sequences: after every edit the index is sound
// and equals the index of the edited text built afresh, and every read agrees with the reference
// reader of the text. Seeded, so every run is the same.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "client/store/XmlDoc.h"
#include "tests/store/XmlDocProbe.h"
#include "tests/store/XmlEditScript.h"
#include "tests/store/XmlReference.h"

namespace {

// Sibling elements that repeat one list of attributes with values of other lengths, as records
// do, now and then with one of them written otherwise: spacing, quotes, a name, a value that
// holds a quote or an entity.
std::string RecordRun(std::mt19937& rng) {
  static const char* const kNames[] = {"user", "start_time", "send", "a", "x:y", "\xc3\xfb", "a=b", "recv"};
  static const char* const kValues[] = {
      "", "1", "2009-03-05 08:07:09", "\xd5\xc5\xc8\xfd", "a&amp;b", "x>y", "it's", "&#65;"};
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  std::vector<std::string> names;
  for (size_t n = 1 + pick(pick(4) ? 8 : 24); n > 0; --n) names.push_back(kNames[pick(8)]);
  std::string element = pick(4) ? "ITEM" : "a";
  std::string run;
  for (size_t records = 2 + pick(4); records > 0; --records) {
    std::string tag = "<" + element;
    for (const std::string& name : names) {
      std::string value = kValues[pick(8)];
      switch (pick(24)) {
        case 0:
          tag += "  " + name + "=\"" + value + "\"";
          break;
        case 1:
          tag += " " + name + "='" + value + "'";
          break;
        case 2:
          tag += " " + name + " = \"" + value + "\"";
          break;
        case 3:
          tag += " b" + name + "=\"" + value + "\"";
          break;
        case 4:
          tag += " " + name + "=" + (value.empty() ? "v" : value.substr(0, 1));
          break;
        case 5:
          tag += " " + name;
          break;
        case 6:
          tag += " " + name + "=\"\"\"";
          break;
        default:
          tag += " " + name + "=\"" + value + "\"";
          break;
      }
    }
    run += tag + (pick(3) ? "/>" : "></" + element + ">") + "\r\n";
  }
  return run;
}

// A document of well-formed parts with flaws mixed in: missing and stray end tags, bad nodes,
// oddly quoted attributes, GBK bytes, and now and then a node cut off by the end of the text.
std::string RandomDocument(std::mt19937& rng, int parts) {
  static const char* const kNames[] = {"a", "ITEM", "x:y", "\xd6\xd0", "a=b", "record"};
  static const char* const kAttributes[] = {" a=\"1\"",  " b='x>y'",  " c=3",
                                            " d",        " e=1/",     " \"q\"",
                                            " f= \"v\"", " g==\"x\"", " user=\"\xd5\xc5&amp;\"",
                                            " =\"z\""};
  static const char* const kLoose[] = {
      "text&amp;",    "\r\n", " ",     "<!-- c -->", "<![CDATA[<x>\x81]]]>",          "<?pi?>",
      "<1 a=\"<\"/>", "<!x>", "</zz>", "&#20013;",   "<!DOCTYPE r [<!ENTITY a '>'>]>"};
  static const char* const kCutOff[] = {"<!-- cut", "<a b=\"", "</a", "<![CDATA[", "<?p", "<", "<!DOCTYPE"};
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  std::vector<std::string> open;
  std::string text;
  for (int i = 0; i < parts; ++i) {
    switch (pick(8)) {
      case 7:
        text += RecordRun(rng);
        break;
      case 0:
      case 1: {
        std::string name = kNames[pick(6)];
        std::string tag = "<" + name;
        for (size_t n = pick(4); n > 0; --n) tag += kAttributes[pick(10)];
        if (pick(3) == 0) {
          text += tag + "/>";
        } else {
          text += tag + ">";
          open.push_back(name);
        }
        break;
      }
      case 2:
      case 3:
        if (!open.empty()) {
          // Mostly the right end tag; sometimes one that closes an outer element.
          size_t at = pick(4) ? open.size() - 1 : pick(open.size());
          text += "</" + open[at] + ">";
          open.resize(at);
        }
        break;
      default:
        text += kLoose[pick(11)];
        break;
    }
  }
  while (!open.empty() && pick(4)) {
    text += "</" + open.back() + ">\r\n";
    open.pop_back();
  }
  if (pick(6) == 0) text += kCutOff[pick(7)];
  return text;
}

TEST(XmlOracle, RandomEditsKeepTheIndexTrue) {
  std::mt19937 rng(20240501);
  int edits = 0;
  for (int round = 0; round < 400; ++round) {
    std::string text = RandomDocument(rng, 1 + static_cast<int>(rng() % 30));
    CXmlDoc doc;
    doc.SetDocText(text.c_str());
    ASSERT_EQ(CXmlDocProbe::Check(doc), "") << text;
    ASSERT_EQ(CXmlDocProbe::SameAsFreshIndex(doc), "") << text;
    ASSERT_EQ(xmlref::CompareReads(doc, rng()), "") << text;
    std::string steps;
    for (int step = 0; step < 60; ++step) {
      uint8_t op = static_cast<uint8_t>(rng());
      uint8_t arg = static_cast<uint8_t>(rng());
      steps += std::to_string(op % 16) + ":" + std::to_string(arg) + " ";
      if (!xmlscript::Step(doc, op, arg)) continue;
      ++edits;
      ASSERT_EQ(CXmlDocProbe::Check(doc), "") << text << "\nsteps " << steps;
      ASSERT_EQ(CXmlDocProbe::SameAsFreshIndex(doc), "") << text << "\nsteps " << steps;
      ASSERT_EQ(xmlref::CompareReads(doc, rng()), "") << text << "\nsteps " << steps;
    }
    EXPECT_EQ(xmlscript::WalkAll(doc), CXmlDocProbe::ElementCount(doc));
  }
  EXPECT_GT(edits, 5000);
}

TEST(XmlOracle, ArbitraryBytesNeverBreakTheIndex) {
  static const char kAlphabet[] = "<<<>>//!?-[]CDE\"'== \r\nab&;#x\x81\xa1\xd6";
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (size_t n = rng() % 60; n > 0; --n) text += kAlphabet[rng() % (sizeof(kAlphabet) - 1)];
    CXmlDoc doc;
    doc.SetDocText(text.c_str());
    ASSERT_EQ(xmlref::CompareReads(doc, rng()), "") << text;
    xmlscript::WalkAll(doc);
    ASSERT_EQ(CXmlDocProbe::Check(doc), "") << text;
    for (int step = 0; step < 8; ++step) {
      if (!xmlscript::Step(doc, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()))) continue;
      ASSERT_EQ(CXmlDocProbe::Check(doc), "") << text;
      ASSERT_EQ(CXmlDocProbe::SameAsFreshIndex(doc), "") << text;
    }
  }
}

}  // namespace
