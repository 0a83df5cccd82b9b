// Files, encodings and the byte-valued UTF-8 conversion.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "client/store/XmlDoc.h"
#include "client/store/XmlText.h"
#include "tests/store/XmlDocProbe.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

class XmlFile : public ::testing::Test {
 protected:
  void SetUp() override {
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_dir = fs::temp_directory_path() / ("quillon-xml-" + std::to_string(stamp));
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }
  std::string File(const char* name) const { return (m_dir / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string SystemText(int error) {
    std::string text = std::strerror(error);
    return text.substr(0, text.find_first_of("\r\n"));
  }
  // Only the saved file itself: no temporary or set-aside copy is left behind.
  size_t FilesInFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(m_dir), {}));
  }

  fs::path m_dir;
};

const char kChinese[] = "\xd6\xd0\xce\xc4";  // two GB2312 characters

TEST_F(XmlFile, SaveAndLoadByEncoding) {
  const struct {
    std::string text;
    bool converted;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<r a=\"" + std::string(kChinese) + "\"/>\r\n", false},
      {" <?xml encoding='gbk'?><r/>", false},
      {"<?xml encoding=\"UTF-16\"?><r/>" + std::string(kChinese), false},
      {"<r>" + std::string(kChinese) + "\xff\x80</r>", true},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?><r>" + std::string(kChinese) + "</r>", true},
      {"<?xml version=\"1.0\" encoding=\"\"?><r>" + std::string(kChinese) + "</r>", true},
      {"<?xml version=\"1.0\"?><r>" + std::string(kChinese) + "</r>", true},
      {"<?xml encoding=\"GB2312\"<r>" + std::string(kChinese) + "</r>", true},  // no "?>": no declaration
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::string path = File("doc.xml");
    std::string expected = c.converted ? xml::BytesToUtf8(c.text.data(), c.text.size()) : c.text;
    CXmlDoc doc;
    Write(path, c.text);  // load byte for byte first, then save what was loaded
    if (c.converted) Write(path, expected);
    doc.LoadFile(path.c_str());
    ASSERT_EQ(doc.GetDocText(), c.text);
    ASSERT_TRUE(doc.SaveFile(path.c_str()));
    EXPECT_EQ(doc.GetError(), std::to_string(expected.size()) + " bytes");
    EXPECT_EQ(Read(path), expected);
    EXPECT_EQ(FilesInFolder(), 1u);
  }
  CXmlDoc doc;
  std::string raw = "<r>" + std::string(kChinese) + "</r>";
  Write(File("doc.xml"), xml::BytesToUtf8(raw.data(), raw.size()));
  EXPECT_EQ(xml::BytesToUtf8(kChinese, 4), "\xc3\x96\xc3\x90\xc3\x8e\xc3\x84");
  EXPECT_TRUE(doc.LoadFile(File("doc.xml").c_str()));
  EXPECT_EQ(doc.GetError(), "15 bytes");
}

// A loaded text ends at its first NUL byte, as a set one does, so that setting the text handed
// out gives back the same document.
TEST_F(XmlFile, TextEndsAtItsFirstNulByte) {
  const struct {
    std::string bytes;
    std::string text;
    bool wellFormed;
  } cases[] = {
      {std::string("<?xml encoding=\"GB2312\"?><r>a</r>\0\0\0", 35), "<?xml encoding=\"GB2312\"?><r>a</r>",
       true},
      {std::string("<?xml encoding=\"GB2312\"?><r>a\0b</r>", 36), "<?xml encoding=\"GB2312\"?><r>a", false},
      {"<r>\xc0\x80x</r>", "<r>", false},  // a UTF-8 sequence of code 0
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Write(File("in.xml"), c.bytes);
    CXmlDoc doc;
    EXPECT_EQ(doc.LoadFile(File("in.xml").c_str()), c.wellFormed);
    EXPECT_EQ(doc.GetDocText(), c.text);
    EXPECT_EQ(doc.GetError().substr(0, doc.GetError().find(',')), std::to_string(c.bytes.size()) + " bytes");
    CXmlDoc again;
    EXPECT_EQ(again.SetDocText(doc.GetDocText().c_str()), c.wellFormed);
    EXPECT_EQ(again.GetDocText(), doc.GetDocText());
  }
}

TEST(XmlUtf8, DecodingTable) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"abc", "abc"},
      {"\xc3\xbf\xc2\x80", "\xff\x80"},
      {"\xe4\xb8\xad<r/>", "?<r/>"},  // above 0xFF
      {"\xc3<r/>", "?<r/>"},          // cut short: the "<" stays
      {"\xe4\xb8", "?"},              // cut by the end
      {"\xf8"
       "a",
       "?a"},                              // no such lead byte
      {"\xf0\x80\x80\x81x", "\x01x"},      // four bytes whose code fits a byte
      {"\x80\x80", std::string("\0", 1)},  // a continuation byte leads a two-byte sequence
      {"\xc3\xc3", "\xc3"},                // only the top bit of a continuation byte is checked
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(xml::Utf8ToBytes(c.in.data(), c.in.size()), c.out);
  }
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string utf8 = xml::BytesToUtf8(all.data(), all.size());
  EXPECT_EQ(utf8.size(), 127u + 2 * 128u);
  EXPECT_EQ(xml::Utf8ToBytes(utf8.data(), utf8.size()), all);
}

TEST_F(XmlFile, LargeFileEditedAtTheTopSavesExactly) {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";
  std::string items;
  for (int i = 0; i < 300; ++i) items += "<ITEM user=\"u" + std::to_string(i) + "\" end_time=\"\"/>\r\n";
  std::string path = File("2009-03.xml");
  Write(path, decl + "<record>\r\n" + items + "</record>\r\n");
  CXmlDoc doc;
  ASSERT_TRUE(doc.LoadFile(path.c_str()));
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(doc.FindElement("record") && doc.EnterElement() && doc.FindElement("ITEM"));
    ASSERT_TRUE(doc.InsertElement("ITEM") && doc.SetAttribute("user", "new") &&
                doc.SetAttribute("end_time", ""));
    ASSERT_TRUE(doc.LeaveElement());
    doc.RewindLevel();
    items = "<ITEM user=\"new\" end_time=\"\"/>\r\n" + items;
  }
  ASSERT_TRUE(doc.FindElement() && doc.FindChildElement("ITEM") && doc.FindChildElement("ITEM"));
  ASSERT_TRUE(doc.RemoveChildElement());
  items.erase(0, items.find("\r\n") + 2);
  EXPECT_EQ(CXmlDocProbe::SameAsFreshIndex(doc), "");
  ASSERT_TRUE(doc.SaveFile(path.c_str()));
  EXPECT_EQ(Read(path), decl + "<record>\r\n" + items + "</record>\r\n");
  EXPECT_EQ(doc.GetDocText(), Read(path));
}

TEST_F(XmlFile, LoadMessagesAndFailures) {
  const struct {
    std::string bytes;
    bool wellFormed;
    std::string error;
  } cases[] = {
      {"<?xml encoding=\"GB2312\"?><r/>", true, "29 bytes"},
      {"<a/><b/>", false, "8 bytes, Root element has sibling"},
      {"", false, "0 bytes, Empty document"},
      {"<r>\xe4\xb8\xad</r>", true, "10 bytes"},
  };
  CXmlDoc doc;
  for (const auto& c : cases) {
    Write(File("in.xml"), c.bytes);
    EXPECT_EQ(doc.LoadFile(File("in.xml").c_str()), c.wellFormed);
    EXPECT_EQ(doc.GetError(), c.error);
  }
  EXPECT_EQ(doc.GetDocText(), "<r>?</r>");

  ASSERT_TRUE(doc.SetDocText("<keep><a/></keep>"));
  ASSERT_TRUE(doc.FindElement() && doc.FindChildElement());
  EXPECT_FALSE(doc.LoadFile(File("missing.xml").c_str()));
  EXPECT_EQ(doc.GetError(), SystemText(ENOENT));
  EXPECT_FALSE(doc.LoadFile(nullptr));
  EXPECT_EQ(doc.GetDocText(), "<keep><a/></keep>");
  EXPECT_TRUE(doc.RemoveChildElement());  // the cursor survived too
}

TEST_F(XmlFile, SaveReplacesOnlyWhenComplete) {
  std::string path = File("config.xml");
  Write(path, "old");
  CXmlDoc doc;
  doc.SetDocText("<?xml encoding=\"GB2312\"?><new/>");
  ASSERT_TRUE(doc.SaveFile(path.c_str()));
  EXPECT_EQ(Read(path), doc.GetDocText());
  EXPECT_EQ(FilesInFolder(), 1u);

  EXPECT_FALSE(doc.SaveFile(File("no/such/folder.xml").c_str()));
  EXPECT_EQ(doc.GetError(), SystemText(ENOENT));
  EXPECT_FALSE(doc.SaveFile(""));

  fs::create_directory(File("folder"));
  EXPECT_FALSE(doc.SaveFile(File("folder").c_str()));
  EXPECT_FALSE(doc.GetError().empty());
  EXPECT_TRUE(fs::is_directory(File("folder")));
  EXPECT_EQ(FilesInFolder(), 2u);

  CXmlDoc empty;
  ASSERT_TRUE(empty.SaveFile(path.c_str()));
  EXPECT_EQ(empty.GetError(), "0 bytes");
  EXPECT_EQ(Read(path), "");
}

// What a save cut short at each step leaves beside the file: the file is kept, or the newest
// complete text takes its place, and the leftovers go; nothing that parses is lost to them.
TEST_F(XmlFile, ASaveCutShortLoadsTheLastCompleteText) {
  const std::string kOld = "<r>old</r>";
  const std::string kNew = "<r>new</r>";
  const std::string kCut = "<r>ne";
  const std::string kBigCut = "<r>" + std::string(1 << 20, 'x');
  const struct {
    const std::string* target;
    const std::string* fresh;  // "<path>.new~"
    const std::string* old;    // "<path>.old~", left by earlier versions
    const std::string* loaded;
    bool wellFormed;
  } cases[] = {
      {&kOld, &kCut, nullptr, &kOld, true},    {&kOld, &kBigCut, nullptr, &kOld, true},
      {&kOld, &kNew, nullptr, &kOld, true},    {&kOld, nullptr, &kNew, &kOld, true},
      {nullptr, &kNew, nullptr, &kNew, true},  {nullptr, &kNew, &kOld, &kNew, true},
      {nullptr, &kCut, &kOld, &kOld, true},    {nullptr, nullptr, &kOld, &kOld, true},
      {nullptr, &kCut, nullptr, &kCut, false},
  };
  std::string path = File("config.xml");
  for (const auto& c : cases) {
    SCOPED_TRACE((c.target ? "file " : "no file ") + std::string(c.fresh ? *c.fresh : "").substr(0, 12) +
                 " " + (c.old ? *c.old : ""));
    std::remove(path.c_str());
    for (const auto& [suffix, bytes] :
         {std::make_pair("", c.target), std::make_pair(".new~", c.fresh), std::make_pair(".old~", c.old)}) {
      if (bytes) Write(path + suffix, *bytes);
    }
    CXmlDoc doc;
    EXPECT_EQ(doc.LoadFile(path.c_str()), c.wellFormed);
    EXPECT_EQ(doc.GetDocText(), *c.loaded);
    EXPECT_EQ(Read(path), *c.loaded);
    EXPECT_EQ(FilesInFolder(), 1u);
    ASSERT_TRUE(doc.SetDocText("<r>later</r>") && doc.SaveFile(path.c_str()));
    EXPECT_EQ(Read(path), "<r>later</r>");
    EXPECT_EQ(FilesInFolder(), 1u);
  }
  CXmlDoc doc;
  EXPECT_FALSE(doc.LoadFile(File("missing.xml").c_str()));
  EXPECT_EQ(doc.GetError(), SystemText(ENOENT));
}

// Saving goes through files of the engine's own beside the target; files of the user's that merely
// look like backups or temporaries are never touched.
TEST_F(XmlFile, SavingLeavesTheUsersNeighbouringFilesAlone) {
  std::string path = File("config.xml");
  Write(path, "old");
  for (const char* suffix : {".bak", ".tmp", ".old", "~"}) Write(path + suffix, suffix);
  CXmlDoc doc;
  doc.SetDocText("<?xml encoding=\"GB2312\"?><new/>");
  ASSERT_TRUE(doc.SaveFile(path.c_str()));
  ASSERT_TRUE(doc.SaveFile(path.c_str()));
  EXPECT_EQ(Read(path), doc.GetDocText());
  for (const char* suffix : {".bak", ".tmp", ".old", "~"}) EXPECT_EQ(Read(path + suffix), suffix);
  EXPECT_EQ(FilesInFolder(), 5u);
}

#ifndef _WIN32
TEST_F(XmlFile, ShortWriteKeepsTheOldFile) {
  std::string path = File("record.xml");
  Write(path, "old");
  CXmlDoc doc;
  doc.SetDocText(("<r>" + std::string(100000, 'x') + "</r>").c_str());
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool saved_ok = doc.SaveFile(path.c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);
  EXPECT_FALSE(saved_ok);
  EXPECT_EQ(doc.GetError(), SystemText(EFBIG));
  EXPECT_EQ(Read(path), "old");
  EXPECT_EQ(FilesInFolder(), 1u);
}

TEST_F(XmlFile, ReadOnlyTargetIsNotReplaced) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  std::string path = File("ro.xml");
  Write(path, "old");
  fs::permissions(path, fs::perms::owner_read);
  CXmlDoc doc;
  doc.SetDocText("<r/>");
  EXPECT_FALSE(doc.SaveFile(path.c_str()));
  EXPECT_EQ(doc.GetError(), SystemText(EACCES));
  EXPECT_EQ(Read(path), "old");
}
#endif

#ifdef _WIN32
// Windows does not let a file that another program holds open be replaced: the save fails with
// the system's message and the old file and its neighbours stay as they were.
TEST_F(XmlFile, AFileHeldOpenElsewhereIsNotReplaced) {
  std::string path = File("config.xml");
  Write(path, "old");
  CXmlDoc doc;
  doc.SetDocText("<r/>");
  {
    std::ifstream held(path, std::ios::binary);
    ASSERT_TRUE(held.is_open());
    EXPECT_FALSE(doc.SaveFile(path.c_str()));
    EXPECT_EQ(doc.GetError(), SystemText(EACCES));
  }
  EXPECT_EQ(Read(path), "old");
  EXPECT_EQ(FilesInFolder(), 1u);
  EXPECT_TRUE(doc.SaveFile(path.c_str()));
  EXPECT_EQ(Read(path), "<r/>");
  EXPECT_EQ(FilesInFolder(), 1u);

  // A reader that lets go within a moment (the record query reading a month file) is waited for:
  // the write is not lost.
  doc.SetDocText("<s/>");
  auto held = std::make_unique<std::ifstream>(path, std::ios::binary);
  ASSERT_TRUE(held->is_open());
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    held.reset();
  });
  EXPECT_TRUE(doc.SaveFile(path.c_str()));
  reader.join();
  EXPECT_EQ(Read(path), "<s/>");
  EXPECT_EQ(FilesInFolder(), 1u);
}
#endif

TEST(XmlEscape, UnescapeTable) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"&lt;&gt;&amp;&apos;&quot;", "<>&'\""},
      {"&#65;&#x41;&#X41;&#x4a;&#0065;", "AA&#X41;JA"},  // lower-case x only; leading zeros
      {"&#x10000;&#1234567;&#255;&#256;&#0;", "&#x10000;&#1234567;\xff&#256;&#0;"},
      {"&#65&#;&#x;&amp&unknown;&", "&#65&#;&#x;&amp&unknown;&"},
      {"a&&lt;", "a&<"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string out;
    xml::AppendUnescaped(out, c.in, std::strlen(c.in));
    EXPECT_EQ(out, c.out);
  }
}

}  // namespace
