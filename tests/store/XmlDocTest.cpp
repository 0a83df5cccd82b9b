// Indexing, navigation, reading and the exact layout of every edit.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "client/store/XmlDoc.h"
#include "tests/store/XmlDocProbe.h"

namespace {

// Every edit test ends here: the index is sound and agrees with the text indexed afresh.
void ExpectSound(const CXmlDoc& doc) {
  EXPECT_EQ(CXmlDocProbe::Check(doc), "");
  EXPECT_EQ(CXmlDocProbe::SameAsFreshIndex(doc), "");
}

struct ParseCase {
  const char* text;
  bool wellFormed;
  const char* error;
  const char* outline;
};

TEST(XmlDocParse, WellFormednessErrorTextAndTree) {
  const ParseCase cases[] = {
      {"", false, "Empty document", ""},
      {"hello", false, "No root element", ""},
      {"</x>", false, "No root element", ""},
      {"<a/><b/>", false, "Root element has sibling", "a b"},
      {"<a/>text<b>", false, "Root element has sibling", "a b"},
      {"<r><a></r>", false, "End tag 'r' at offset 7 does not match start tag 'a' at offset 3", "r(a)"},
      {"<r><a><b></r>", false, "End tag 'r' at offset 10 does not match start tag 'b' at offset 6", "r(a b)"},
      // An unended root's children follow it as siblings, which is what the error text says.
      {"<r><a>", false, "Root element has sibling", "r a"},
      {"<r><x/><a><b/><c/>", false, "Root element has sibling", "r x a b c"},
      {"<r>text<!---->", false, "Element 'r' at offset 0 not ended", "r"},
      {"<r><a><b/></r>", false, "End tag 'r' at offset 11 does not match start tag 'a' at offset 3",
       "r(a b)"},
      {"<r></x></r>", false, "No start tag for end tag 'x' at offset 3", "r"},
      {"<r><1/></r>", false, "Incorrect tag name character at offset 3", "r"},
      {"<r><1/></x></r>", false, "Incorrect tag name character at offset 3", "r"},
      {"<r><!x></r>", false, "Incorrect ! tag at offset 3", "r"},
      {"<r><!-x--></r>", false, "Incorrect comment tag at offset 3", "r"},
      {"<r><![x[]]></r>", false, "Incorrect tag at offset 3", "r"},
      {"<r><a b='1", false, "Element tag at offset 3 unterminated", "r"},
      {"<r></r", false, "Element end tag at offset 3 unterminated", "r"},
      {"<r/><!-- x", false, "Comment at offset 4 unterminated", "r"},
      {"<r><![CDATA[x</r>", false, "CDATA Section at offset 3 unterminated", "r"},
      {"<r/><?pi", false, "Processing instruction at offset 4 unterminated", "r"},
      {"<r/><!DOCTYPE r [<!ENTITY a '>'>", false, "Doctype at offset 4 unterminated", "r"},
      {"<r/><", false, "tag at offset 4 unterminated", "r"},
      {"<r/><!", false, "tag at offset 4 unterminated", "r"},
      {"<r/><!-", false, "tag at offset 4 unterminated", "r"},
      {"<r/><!ELEMENT x", false, "tag at offset 4 unterminated", "r"},
      // A bad node never swallows the markup after it, even inside a quote.
      {"<r><1 a=\"x<b/>\"/></r>", false, "Incorrect tag name character at offset 3", "r(b)"},
      {"<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<r a=\"x>y\"/>\r\n", true, "", "r"},
      {"<!DOCTYPE r [<!ENTITY a 'x>'>]><r/>", true, "", "r"},
      {"<r><!-- <a> --><![CDATA[<b>]]><?pi <c>?><d/></r>", true, "", "r(d)"},
      {"<r><a b=1/></a></r>", true, "", "r(a)"},
      {"<r><a b/></a></r>", true, "", "r(a)"},
      {"<r>\t<a\r\n/>\r\n</r  >  ", true, "", "r(a)"},
      {"<\xd6\xd0\xce\xc4><\xd5\\/></\xd6\xd0\xce\xc4>", true, "", "\xd6\xd0\xce\xc4(\xd5\\)"},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    CXmlDoc doc;
    EXPECT_EQ(doc.SetDocText(c.text), c.wellFormed);
    EXPECT_EQ(doc.GetError(), c.error);
    EXPECT_EQ(CXmlDocProbe::Outline(doc), c.outline);
    EXPECT_EQ(CXmlDocProbe::Check(doc), "");
  }
}

TEST(XmlDocParse, OwnTextCanBeSetAgain) {
  std::string text = "<r>" + std::string(10000, ' ') + "<a/></r>";
  CXmlDoc doc;
  doc.SetDocText(text.c_str());
  ASSERT_TRUE(doc.FindElement() && doc.AddChildElement("b"));
  std::string edited = doc.GetDocText();
  EXPECT_TRUE(doc.SetDocText(doc.GetDocText().c_str()));
  EXPECT_EQ(doc.GetDocText(), edited);
}

TEST(XmlDocParse, NullTextAndNewDocumentAreEmpty) {
  CXmlDoc doc;
  EXPECT_EQ(doc.GetError(), "Empty document");
  EXPECT_FALSE(doc.SetDocText(nullptr));
  EXPECT_EQ(doc.GetError(), "Empty document");
  EXPECT_FALSE(doc.FindElement());
  EXPECT_FALSE(doc.EnterElement());
  EXPECT_FALSE(doc.LeaveElement());
  EXPECT_EQ(doc.GetAttribute("a"), "");
}

TEST(XmlDocParse, IndexGrowsAcrossSegments) {
  std::string text = "<r>";
  for (int i = 0; i < 150000; ++i) text += i % 1000 ? "<a/>" : "<b x=\"" + std::to_string(i) + "\"/>";
  text += "</r>";
  CXmlDoc doc;
  ASSERT_TRUE(doc.SetDocText(text.c_str()));
  EXPECT_EQ(CXmlDocProbe::RecordsInUse(doc), 150002);
  ASSERT_TRUE(doc.FindElement("r") && doc.EnterElement());
  int found = 0;
  while (doc.FindElement("b")) EXPECT_EQ(doc.GetAttribute("x"), std::to_string(1000 * found++));
  EXPECT_EQ(found, 150);
  doc.RewindLevel();
  ASSERT_TRUE(doc.AddElement("z", "1"));
  EXPECT_EQ(doc.GetDocText().substr(doc.GetDocText().size() - 18), "<a/><z>1</z>\r\n</r>");
  EXPECT_EQ(CXmlDocProbe::Check(doc), "");
}

TEST(XmlDocParse, DeepNestingAndStrayEndTagsStayLinear) {
  std::string deep(70000 * 3, ' ');
  for (size_t i = 0; i < deep.size(); i += 3) deep.replace(i, 3, "<a>");
  std::string closed = deep;
  for (int i = 0; i < 70000; ++i) closed += "</a>";
  CXmlDoc doc;
  EXPECT_TRUE(doc.SetDocText(closed.c_str()));
  EXPECT_EQ(CXmlDocProbe::Check(doc), "");  // levels beyond 65535 stay at 65535
  std::string stray = deep;
  for (int i = 0; i < 70000; ++i) stray += "</b=1>";
  EXPECT_FALSE(doc.SetDocText(stray.c_str()));
  EXPECT_EQ(doc.GetError(), "Root element has sibling");
  EXPECT_EQ(CXmlDocProbe::Check(doc), "");
}

TEST(XmlDocParse, OversizedTagsAreBadNodes) {
  const size_t limit = 1u << 22;
  std::string fits = "<a x=\"" + std::string(limit - 10, 'v') + "\"/>";
  ASSERT_EQ(fits.size(), limit - 1);
  CXmlDoc doc;
  EXPECT_TRUE(doc.SetDocText(("<r>" + fits + "</r>").c_str()));
  EXPECT_EQ(CXmlDocProbe::Outline(doc), "r(a)");
  std::string tooLong = "<r>" + fits.substr(0, 6) + "v" + fits.substr(6) + "<b/></r>";
  EXPECT_FALSE(doc.SetDocText(tooLong.c_str()));
  EXPECT_EQ(doc.GetError(), "Incorrect start tag length at offset 3");
  EXPECT_EQ(CXmlDocProbe::Outline(doc), "r(b)");
  ASSERT_TRUE(doc.FindElement("r") && doc.FindChildElement());
  EXPECT_EQ(doc.GetChildAttribute("x"), "");

  EXPECT_TRUE(doc.SetDocText(("<r><a></a" + std::string(1019, ' ') + "></r>").c_str()));
  EXPECT_FALSE(doc.SetDocText(("<r><a></a" + std::string(1020, ' ') + "></r>").c_str()));
  EXPECT_EQ(doc.GetError(), "Incorrect end tag length at offset 6");
  EXPECT_EQ(CXmlDocProbe::Check(doc), "");

  // Edits that would make such tags are refused and change nothing.
  ASSERT_TRUE(doc.SetDocText("<r/>"));
  ASSERT_TRUE(doc.FindElement());
  EXPECT_FALSE(doc.SetAttribute("x", std::string(limit, 'v').c_str()));
  EXPECT_FALSE(doc.AddChildElement(std::string(1021, 'n').c_str()));
  EXPECT_EQ(doc.GetDocText(), "<r/>");
  EXPECT_TRUE(doc.AddChildElement(std::string(1020, 'n').c_str()));
  ExpectSound(doc);
  ASSERT_TRUE(doc.SetDocText(("<" + std::string(1021, 'n') + "/>").c_str()));
  ASSERT_TRUE(doc.FindElement());
  EXPECT_FALSE(doc.SetElementText("t"));
  EXPECT_FALSE(doc.AddChildElement("c"));
}

const char kNav[] = "<root><a id=\"1\"><x/></a><b id=\"2\"/><a id=\"3\"/></root>";

TEST(XmlDocNavigate, ThreeLevelCursor) {
  CXmlDoc doc;
  ASSERT_TRUE(doc.SetDocText(kNav));
  EXPECT_TRUE(doc.FindChildElement("a"));  // finds "root" first
  EXPECT_EQ(doc.GetChildAttribute("id"), "1");
  EXPECT_TRUE(doc.EnterElement());
  EXPECT_EQ(doc.GetAttribute("id"), "1");
  EXPECT_TRUE(doc.FindElement("a"));
  EXPECT_EQ(doc.GetAttribute("id"), "3");
  EXPECT_FALSE(doc.FindElement("a"));
  EXPECT_EQ(doc.GetAttribute("id"), "3");
  doc.RewindLevel();
  EXPECT_EQ(doc.GetAttribute("id"), "");
  EXPECT_TRUE(doc.FindElement("b"));
  EXPECT_TRUE(doc.LeaveElement());
  EXPECT_EQ(doc.GetChildAttribute("id"), "2");
  EXPECT_TRUE(doc.FindChildElement("a"));
  EXPECT_EQ(doc.GetChildAttribute("id"), "3");
  EXPECT_FALSE(doc.FindChildElement());
  EXPECT_FALSE(doc.LeaveElement());
  doc.RewindLevel();
  ASSERT_TRUE(doc.FindElement() && doc.EnterElement() && doc.FindElement() && doc.EnterElement());
  EXPECT_FALSE(doc.EnterElement());  // inside "a", before its first child
  EXPECT_TRUE(doc.FindElement("x"));
  EXPECT_TRUE(doc.LeaveElement() && doc.LeaveElement());
  EXPECT_EQ(doc.GetChildAttribute("id"), "1");
}

TEST(XmlDocNavigate, NameMatchingRule) {
  const struct {
    const char* name;
    bool found;
  } cases[] = {{"ITEM", true},    {"ITE", false},  {"ITEMS", false}, {"ITEM x", true},
               {"ITEM=1", true},  {"ITEM/", true}, {"ITEM[", true},  {"ITEM]", true},
               {"ITEM\t", false}, {"item", false}, {"", true},       {nullptr, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name ? c.name : "null");
    CXmlDoc doc;
    doc.SetDocText("<ITEM a=1/>");
    EXPECT_EQ(doc.FindElement(c.name), c.found);
  }
}

TEST(XmlDocRead, Attributes) {
  const struct {
    const char* tag;
    const char* name;
    const char* value;
  } cases[] = {
      {"<e a=\"1\" b='2' c=3 d e = \"5\"/>", "a", "1"},
      {"<e a=\"1\" b='2' c=3 d e = \"5\"/>", "b", "2"},
      {"<e a=\"1\" b='2' c=3 d e = \"5\"/>", "c", "3"},
      {"<e a=\"1\" b='2' c=3 d e = \"5\"/>", "d", "d"},
      {"<e a=\"1\" b='2' c=3 d e = \"5\"/>", "e", "5"},
      {"<e a=\"1\" b='2' c=3 d e = \"5\"/>", "f", ""},
      {"<e ab=\"1\" a=\"2\"/>", "a", "2"},
      {"<e f=\"x&amp;y&lt;&#65;&#x42;&#0;&#256;&#20013;\"/>", "f", "x&y<AB&#0;&#256;&#20013;"},
      {"<e a=\"x>y\" b=1/></e>", "a", "x>y"},
      {"<e a=\"x>y\" b=1/></e>", "b", "1/"},
      {"<e a=1 />", "a", "1"},
      {"<e a='\"' b=\"'\"/>", "b", "'"},
      {"<\xd3\xc3 \xc3\xfb=\"\xd5\xc5\xc8\xfd\"/>", "\xc3\xfb", "\xd5\xc5\xc8\xfd"},
      // Reading stays inside the tag: the quote opened in the name never reaches b.
      {"<r><e \"a> b=\"1\"></e></r>", "b", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + " " + c.name);
    CXmlDoc doc;
    doc.SetDocText(c.tag);
    ASSERT_TRUE(doc.FindElement());
    if (doc.GetDocText().compare(0, 3, "<r>") == 0) {
      ASSERT_TRUE(doc.EnterElement() && doc.FindElement());
    }
    EXPECT_EQ(doc.GetAttribute(c.name), c.value);
  }
}

// Any number of attributes, read in any order, give the first of each name; so do elements that
// repeat a tag's layout with other values, and reads after the text has moved.
TEST(XmlDocRead, AttributesInAnyOrderAndNumber) {
  std::mt19937 rng(12);
  for (int count : {1, 17, 40, 200}) {
    SCOPED_TRACE(count);
    // Three elements of one layout with values of other lengths; every fifth name comes again
    // later in the tag, with a value that must never be read.
    std::vector<std::vector<std::pair<std::string, std::string>>> expected(3);
    std::string text = "<r>";
    for (int e = 0; e < 3; ++e) {
      std::string tag = "<e";
      for (int i = 0; i < count; ++i) {
        std::string value =
            std::string(static_cast<size_t>((i * 7 + e * 3) % 11), 'v') + std::to_string(i) + "&amp;";
        tag += " a" + std::to_string(i) + "=\"" + value + "\"";
        expected[static_cast<size_t>(e)].emplace_back("a" + std::to_string(i),
                                                      value.substr(0, value.size() - 4));
      }
      for (int i = 0; i < count; i += 5) tag += " a" + std::to_string(i) + "=\"later\"";
      text += tag + (e == 1 ? "></e>" : "/>") + "\r\n";
    }
    text += "</r>";
    for (const char* order : {"forward", "backward", "random"}) {
      SCOPED_TRACE(order);
      CXmlDoc doc;
      ASSERT_TRUE(doc.SetDocText(text.c_str()));
      ASSERT_TRUE(doc.FindElement("r") && doc.EnterElement());
      for (int e = 0; e < 3; ++e) {
        ASSERT_TRUE(doc.FindElement("e"));
        const auto& values = expected[static_cast<size_t>(e)];
        auto reads = values;
        reads.insert(reads.end(), values.begin(), values.begin() + count / 2);  // asked for twice
        if (order[0] == 'b') std::reverse(reads.begin(), reads.end());
        if (order[0] == 'r') std::shuffle(reads.begin(), reads.end(), rng);
        for (const auto& read : reads) {
          std::string kept;
          EXPECT_EQ(doc.GetAttribute(read.first.c_str()), read.second) << read.first;
          EXPECT_TRUE(doc.GetAttribute(read.first.c_str(), kept));
          EXPECT_EQ(kept, read.second);
        }
        std::string none = "stale";
        EXPECT_FALSE(doc.GetAttribute("zz", none));
        EXPECT_EQ(none, "");
      }
      // Writing agrees with reading: the first of a name is the one replaced.
      doc.RewindLevel();
      ASSERT_TRUE(doc.FindElement("e"));
      std::string last = "a" + std::to_string(count - 1);
      EXPECT_EQ(doc.GetAttribute(last.c_str()), expected[0].back().second);
      ASSERT_TRUE(doc.SetAttribute("a0", "new"));
      EXPECT_EQ(doc.GetAttribute("a0"), "new");
      if (count > 1) {
        EXPECT_EQ(doc.GetAttribute(last.c_str()), expected[0].back().second);
      }
      EXPECT_NE(doc.GetDocText().find("a0=\"later\""), std::string::npos);
      ExpectSound(doc);
    }
  }
  // A large text moves when it is handed out whole; reading on afterwards finds the same values.
  std::string big = "<r>";
  for (int i = 0; i < 300; ++i)
    big += "<e a=\"" + std::to_string(i) + "\" b=\"x" + std::to_string(i) + "\"/>";
  big += "</r>";
  CXmlDoc doc;
  ASSERT_TRUE(doc.SetDocText(big.c_str()));
  ASSERT_TRUE(doc.FindElement() && doc.EnterElement() && doc.FindElement() && doc.FindElement());
  EXPECT_EQ(doc.GetAttribute("a"), "1");
  EXPECT_EQ(doc.GetDocText(), big);
  EXPECT_EQ(doc.GetAttribute("b"), "x1");
  ASSERT_TRUE(doc.FindElement());
  EXPECT_EQ(doc.GetAttribute("b"), "x2");
}

TEST(XmlDocRead, ElementText) {
  const struct {
    const char* text;
    const char* content;
  } cases[] = {
      {"<e>a&lt;b&amp;c&#65;&#x4E2D;&unknown;&#20013;&#1234567;</e>",
       "a<b&cA&#x4E2D;&unknown;&#20013;&#1234567;"},
      {"<e> <!-- c --> x <![CDATA[<y>&amp;]]> z<?p?></e>", " x <y>&amp; z"},
      {"<e><![CDATA[\x81]]]></e>", "\x81]"},
      {"<e><c/>text</e>", ""},
      {"<e/>", ""},
      {"<e>\r\n</e>", "\r\n"},
      {"<r><e>text</r>", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CXmlDoc doc;
    doc.SetDocText(c.text);
    ASSERT_TRUE(doc.FindElement());
    if (c.text[1] == 'r') {
      ASSERT_TRUE(doc.EnterElement() && doc.FindElement());
    }
    EXPECT_EQ(doc.GetElementText(), c.content);
  }
}

TEST(XmlDocEdit, EscapedValuesReadBackUnchanged) {
  const char* values[] = {"a<b&c>d'e\"f", "&amp;", "&#65;", "\xd5\xc5\xc8\xfd&", "", " x ", "\r\n"};
  CXmlDoc doc;
  for (const char* value : values) {
    SCOPED_TRACE(value);
    doc.SetDocText(nullptr);
    ASSERT_TRUE(doc.AddElement("v", value));
    ASSERT_TRUE(doc.SetAttribute("x", value));
    EXPECT_EQ(doc.GetAttribute("x"), value);
    EXPECT_EQ(doc.GetElementText(), value);
    ExpectSound(doc);
  }
  doc.SetDocText(nullptr);
  doc.AddElement("v", "a<b&c>d'e\"f");
  doc.SetAttribute("x", "a<b&c>d'e\"f");
  EXPECT_EQ(doc.GetDocText(), "<v x=\"a&lt;b&amp;c&gt;d&apos;e&quot;f\">a&lt;b&amp;c&gt;d'e\"f</v>\r\n");
}

TEST(XmlDocEdit, RecordFileLayout) {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";
  const char* names[] = {"user", "start_time", "end_time", "ip", "error_code", "send", "recv"};
  const char* values[] = {"\xd5\xc5\xc8\xfd", "2009-03-05 08:07:09", "", "10.0.0.2", "", "", ""};
  CXmlDoc doc;
  EXPECT_FALSE(doc.SetDocText(decl.c_str()));
  EXPECT_EQ(doc.GetError(), "No root element");
  ASSERT_TRUE(doc.AddElement("record") && doc.EnterElement() && doc.AddElement("ITEM"));
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(doc.SetAttribute(names[i], values[i]));
  ASSERT_TRUE(doc.LeaveElement());
  const std::string line =
      "<ITEM user=\"\xd5\xc5\xc8\xfd\" start_time=\"2009-03-05 08:07:09\" end_time=\"\" ip=\"10.0.0.2\" "
      "error_code=\"\" send=\"\" recv=\"\"/>\r\n";
  EXPECT_EQ(doc.GetDocText(), decl + "<record>\r\n" + line + "</record>\r\n");
  ExpectSound(doc);

  CXmlDoc again;
  ASSERT_TRUE(again.SetDocText(doc.GetDocText().c_str()));
  ASSERT_TRUE(again.FindElement("record") && again.EnterElement() && again.FindElement("ITEM"));
  ASSERT_TRUE(again.InsertElement("ITEM"));
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(again.SetAttribute(names[i], i == 0 ? "b" : values[i]));
  again.RewindLevel();
  ASSERT_TRUE(again.FindElement("ITEM") && again.SetAttribute("end_time", "2009-03-05 09:00:00"));
  std::string top = line;
  top.replace(top.find("\xd5\xc5\xc8\xfd"), 4, "b");
  top.replace(top.find("end_time=\"\""), 11, "end_time=\"2009-03-05 09:00:00\"");
  EXPECT_EQ(again.GetDocText(), decl + "<record>\r\n" + top + line + "</record>\r\n");
  ExpectSound(again);
}

TEST(XmlDocEdit, AddAndInsertLayouts) {
  CXmlDoc doc;
  ASSERT_TRUE(doc.AddElement("CONFIG"));
  EXPECT_EQ(doc.GetDocText(), "<CONFIG/>\r\n");
  ASSERT_TRUE(doc.EnterElement() && doc.AddElement("a") && doc.AddElement("b", 7));
  EXPECT_EQ(doc.GetDocText(), "<CONFIG>\r\n<a/>\r\n<b>7</b>\r\n</CONFIG>\r\n");
  ASSERT_TRUE(doc.InsertElement("c"));
  EXPECT_EQ(doc.GetDocText(), "<CONFIG>\r\n<a/>\r\n<c/>\r\n<b>7</b>\r\n</CONFIG>\r\n");
  doc.RewindLevel();
  ASSERT_TRUE(doc.InsertElement("d"));
  EXPECT_EQ(doc.GetDocText(), "<CONFIG>\r\n<d/>\r\n<a/>\r\n<c/>\r\n<b>7</b>\r\n</CONFIG>\r\n");
  EXPECT_TRUE(doc.FindElement("a") && doc.FindElement() && doc.FindElement("b"));
  ExpectSound(doc);

  const struct {
    const char* text;
    const char* value;
    const char* expected;
  } children[] = {
      {"<r></r>", "1", "<r>\r\n<c>1</c>\r\n</r>"},
      {"<r/>", "1", "<r>\r\n<c>1</c>\r\n</r>"},
      {"<r a=\"1\" />", nullptr, "<r a=\"1\" >\r\n<c/>\r\n</r>"},
      {"<r>text</r>", nullptr, "<r>text<c/>\r\n</r>"},
      {"<r>\r\n<x/>\r\n</r>", nullptr, "<r>\r\n<x/>\r\n<c/>\r\n</r>"},
      // A start tag without end tag gets one, around the new child.
      {"<r x=\"1\"><q/></s>", nullptr, "<r x=\"1\">\r\n<c/>\r\n</r><q/></s>"},
  };
  for (const auto& c : children) {
    SCOPED_TRACE(c.text);
    doc.SetDocText(c.text);
    ASSERT_TRUE(doc.FindElement("r") && doc.AddChildElement("c", c.value));
    EXPECT_EQ(doc.GetDocText(), c.expected);
    EXPECT_EQ(doc.GetChildElementText(), c.value ? c.value : "");
    ExpectSound(doc);
  }
  doc.SetDocText("<r/>");
  ASSERT_TRUE(doc.FindElement() && doc.AddChildElement("a") && doc.AddChildElement("b"));
  EXPECT_EQ(doc.GetDocText(), "<r>\r\n<a/>\r\n<b/>\r\n</r>");
  ExpectSound(doc);

  const char* refused[] = {nullptr, "",    "1a",  "-a",  "a b",  "a/b", "a>b",
                           "a=b",   "a'b", "a?b", "a!b", "a\\b", "a<b"};
  for (const char* name : refused) {
    EXPECT_FALSE(doc.AddElement(name));
    EXPECT_FALSE(doc.InsertElement(name));
  }
  EXPECT_EQ(doc.GetDocText(), "<r>\r\n<a/>\r\n<b/>\r\n</r>");
  doc.RewindLevel();
  EXPECT_FALSE(doc.AddChildElement("c"));
}

TEST(XmlDocEdit, AddAtTheEndGoesBeforeACutOffNode) {
  CXmlDoc doc;
  doc.SetDocText("<r/>\r\n<!-- cut");
  ASSERT_TRUE(doc.AddElement("a"));
  EXPECT_EQ(doc.GetDocText(), "<r/>\r\n<a/>\r\n<!-- cut");
  doc.RewindLevel();
  ASSERT_TRUE(doc.AddElement("b"));
  EXPECT_EQ(doc.GetDocText(), "<r/>\r\n<a/>\r\n<b/>\r\n<!-- cut");
  ExpectSound(doc);
}

TEST(XmlDocEdit, SetAttributeLayouts) {
  const struct {
    const char* text;
    const char* name;
    const char* expected;
  } cases[] = {
      {"<a x='1' y=2 />", "x", "<a x=\"v\" y=2 />"},
      {"<a x='1' y=2 />", "y", "<a x='1' y=\"v\" />"},
      {"<a x='1' y=2 />", "z", "<a x='1' y=2 z=\"v\" />"},
      {"<a/>", "z", "<a z=\"v\"/>"},
      {"<a></a>", "z", "<a z=\"v\"></a>"},
      {"<a b></a>", "b", "<a b=\"v\"></a>"},
      {"<a\r\n  x=\"1\"\r\n/>", "z", "<a\r\n  x=\"1\" z=\"v\"\r\n/>"},
      {"<r><a x=1></r>", "z", "<r><a x=1 z=\"v\"></r>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CXmlDoc doc;
    doc.SetDocText(c.text);
    ASSERT_TRUE(doc.FindElement());
    if (c.text[1] == 'r') {
      ASSERT_TRUE(doc.EnterElement() && doc.FindElement());
    }
    EXPECT_TRUE(doc.SetAttribute(c.name, "v"));
    EXPECT_EQ(doc.GetDocText(), c.expected);
    EXPECT_EQ(doc.GetAttribute(c.name), "v");
    ExpectSound(doc);
  }
  CXmlDoc doc;
  doc.SetDocText("<a?b/>");
  ASSERT_TRUE(doc.FindElement());
  EXPECT_FALSE(doc.SetAttribute("x", "1"));  // would cut the name "a?b" short
  EXPECT_FALSE(doc.SetAttribute("", "1"));
  EXPECT_FALSE(doc.SetAttribute("a b", "1"));
  EXPECT_EQ(doc.GetDocText(), "<a?b/>");
  doc.RewindLevel();
  EXPECT_FALSE(doc.SetAttribute("x", "1"));
}

TEST(XmlDocEdit, SetElementTextLayouts) {
  const struct {
    const char* text;
    const char* value;
    const char* expected;
  } cases[] = {
      {"<a>old</a>", "new", "<a>new</a>"},         {"<a/>", "t", "<a>t</a>"},
      {"<a x=\"1\" />", "t", "<a x=\"1\" >t</a>"}, {"<a></a>", "x<y", "<a>x&lt;y</a>"},
      {"<a><!--c--></a>", "", "<a></a>"},          {"<r><a></r>", "t", "<r><a>t</a></r>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CXmlDoc doc;
    doc.SetDocText(c.text);
    ASSERT_TRUE(doc.FindElement());
    if (c.text[1] == 'r') {
      ASSERT_TRUE(doc.EnterElement() && doc.FindElement());
    }
    EXPECT_TRUE(doc.SetElementText(c.value));
    EXPECT_EQ(doc.GetDocText(), c.expected);
    EXPECT_EQ(doc.GetElementText(), c.value);
    ExpectSound(doc);
  }
  CXmlDoc doc;
  doc.SetDocText("<a><b/></a>");
  ASSERT_TRUE(doc.FindElement());
  EXPECT_FALSE(doc.SetElementText("x"));
  ASSERT_TRUE(doc.FindChildElement() && doc.EnterElement());
  EXPECT_TRUE(doc.SetElementText(-42));
  EXPECT_EQ(doc.GetDocText(), "<a><b>-42</b></a>");
}

TEST(XmlDocEdit, RemoveLayoutsAndPositions) {
  const char kList[] =
      "<r>\r\n<i n=\"1\"/>\r\n<i n=\"2\"/>\r\n<i n=\"3\"><x/></i>\r\n<i n=\"4\"/>\r\n</r>\r\n";
  CXmlDoc doc;
  doc.SetDocText(kList);
  ASSERT_TRUE(doc.FindElement() && doc.EnterElement());
  std::string visited;
  while (doc.FindElement("i")) {
    std::string n = doc.GetAttribute("n");
    visited += n;
    if (n != "2") {
      ASSERT_TRUE(doc.RemoveElement());
    }
  }
  EXPECT_EQ(visited, "1234");
  EXPECT_EQ(doc.GetDocText(), "<r>\r\n<i n=\"2\"/>\r\n</r>\r\n");
  ExpectSound(doc);

  doc.SetDocText(kList);
  ASSERT_TRUE(doc.FindElement() && doc.FindChildElement() && doc.FindChildElement() &&
              doc.FindChildElement());
  ASSERT_TRUE(doc.RemoveChildElement());
  EXPECT_EQ(doc.GetChildAttribute("n"), "2");
  ASSERT_TRUE(doc.FindChildElement());
  EXPECT_EQ(doc.GetChildAttribute("n"), "4");
  ExpectSound(doc);

  doc.SetDocText("<r>\r\n<a/>  text\r\n</r>");
  ASSERT_TRUE(doc.FindElement() && doc.FindChildElement() && doc.RemoveChildElement());
  EXPECT_EQ(doc.GetDocText(), "<r>\r\n  text\r\n</r>");
  EXPECT_FALSE(doc.RemoveChildElement());

  // The bad "<" before "a" stops at "a"; without "a" it would run on into "x<b/>".
  doc.SetDocText("<r><<a/>x<b/></r>");
  ASSERT_TRUE(doc.FindElement() && doc.FindChildElement("a"));
  EXPECT_FALSE(doc.RemoveChildElement());
  EXPECT_EQ(doc.GetDocText(), "<r><<a/>x<b/></r>");
  ASSERT_TRUE(doc.FindChildElement("b") && doc.RemoveChildElement());
  EXPECT_EQ(doc.GetDocText(), "<r><<a/>x</r>");

  doc.SetDocText("<r/>\r\n");
  ASSERT_TRUE(doc.FindElement() && doc.RemoveElement());
  EXPECT_EQ(doc.GetDocText(), "");
  EXPECT_FALSE(doc.RemoveElement());
  ASSERT_TRUE(doc.AddElement("x"));
  EXPECT_EQ(doc.GetDocText(), "<x/>\r\n");
  ExpectSound(doc);
}

}  // namespace
