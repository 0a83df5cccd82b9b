#include "client/messaging/MessageStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

const char kFresh[] =
    "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
    "<MessageRecord/>\r\n";

class MessageStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    m_folder = fs::temp_directory_path() / ("quillon-messages-" + std::to_string(random()));
    fs::create_directories(m_folder);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
  }

  std::string Folder() const { return m_folder.string(); }
  fs::path File() const { return m_folder / "MessageInfo.xml"; }

  std::string ReadFile() const {
    std::ifstream in(File(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void WriteFile(const std::string& text) const {
    std::ofstream out(File(), std::ios::binary);
    out << text;
  }

  fs::path m_folder;
};

TEST_F(MessageStoreTest, MissingFileIsCreatedWithDeclarationAndEmptyRoot) {
  CMessageStore store;
  EXPECT_FALSE(store.IsLoaded());
  EXPECT_TRUE(store.Open(Folder()));
  EXPECT_TRUE(store.IsLoaded());
  EXPECT_EQ(ReadFile(), kFresh);
  EXPECT_EQ(fs::path(store.GetPath()), File());
}

TEST_F(MessageStoreTest, FolderWithOrWithoutTrailingSeparatorGivesTheSamePath) {
  CMessageStore a, b;
  a.Open(Folder());
  b.Open((m_folder / "").string());
  EXPECT_EQ(fs::path(a.GetPath()), fs::path(b.GetPath()));
  EXPECT_EQ(a.GetFolder().back(), b.GetFolder().back());
}

TEST_F(MessageStoreTest, AppendWritesOneItemPerMessageAtTheEnd) {
  CMessageStore store;
  ASSERT_TRUE(store.Open(Folder()));
  EXPECT_TRUE(store.Append("通知", "停机维护", "2024-05-01", "08:30:00", "http://a.invalid/?x=1&y=2",
                           "今晚 <22:00> 维护 & 升级"));
  EXPECT_TRUE(store.Append("广告", "t2", "d2", "t2", "", "c2"));
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
      "<MessageRecord>\r\n"
      "<ITEM>\r\n"
      "<MType>通知</MType>\r\n"
      "<MTitle>停机维护</MTitle>\r\n"
      "<MDate>2024-05-01</MDate>\r\n"
      "<MTime>08:30:00</MTime>\r\n"
      "<MUrl>http://a.invalid/?x=1&amp;y=2</MUrl>\r\n"
      "<MContent>今晚 &lt;22:00&gt; 维护 &amp; 升级</MContent>\r\n"
      "</ITEM>\r\n"
      "<ITEM>\r\n"
      "<MType>广告</MType>\r\n"
      "<MTitle>t2</MTitle>\r\n"
      "<MDate>d2</MDate>\r\n"
      "<MTime>t2</MTime>\r\n"
      "<MUrl></MUrl>\r\n"
      "<MContent>c2</MContent>\r\n"
      "</ITEM>\r\n"
      "</MessageRecord>\r\n";
  EXPECT_EQ(ReadFile(), expected);
  EXPECT_EQ(store.GetDocument().GetDocText(), expected);
}

TEST_F(MessageStoreTest, NullTextsAreWrittenEmpty) {
  CMessageStore store;
  ASSERT_TRUE(store.Open(Folder()));
  EXPECT_TRUE(store.Append(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_NE(ReadFile().find("<ITEM>\r\n<MType></MType>\r\n<MTitle></MTitle>\r\n"), std::string::npos);
}

TEST_F(MessageStoreTest, ExistingFileIsLoadedAsItIsAndAppendedTo) {
  const std::string existing =
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
      "<MessageRecord>\r\n"
      "  <ITEM><MType>旧</MType><MTitle>old</MTitle><MDate/><MTime/><MUrl/><MContent>x</MContent></ITEM>\r\n"
      "</MessageRecord>\r\n";
  WriteFile(existing);
  CMessageStore store;
  ASSERT_TRUE(store.Open(Folder()));
  EXPECT_EQ(ReadFile(), existing);
  EXPECT_EQ(store.GetDocument().GetDocText(), existing);

  ASSERT_TRUE(store.Append("新", "new", "d", "t", "u", "c"));
  const std::string kept = existing.substr(0, existing.size() - strlen("</MessageRecord>\r\n"));
  EXPECT_EQ(ReadFile(), kept +
                            "<ITEM>\r\n<MType>新</MType>\r\n<MTitle>new</MTitle>\r\n<MDate>d</MDate>\r\n"
                            "<MTime>t</MTime>\r\n<MUrl>u</MUrl>\r\n<MContent>c</MContent>\r\n</ITEM>\r\n"
                            "</MessageRecord>\r\n");
}

TEST_F(MessageStoreTest, AStoreOpenedLaterSeesEveryMessage) {
  {
    CMessageStore store;
    store.Open(Folder());
    store.Append("a", "first", "", "", "", "");
    store.Append("a", "second", "", "", "", "");
  }
  CMessageStore store;
  ASSERT_TRUE(store.Open(Folder()));
  CXmlDoc doc;
  ASSERT_TRUE(doc.LoadFile(store.GetPath().c_str()));
  ASSERT_TRUE(doc.FindElement("MessageRecord"));
  ASSERT_TRUE(doc.EnterElement());
  const char* titles[] = {"first", "second"};
  for (const char* title : titles) {
    ASSERT_TRUE(doc.FindElement("ITEM"));
    ASSERT_TRUE(doc.FindChildElement("MTitle"));
    EXPECT_EQ(doc.GetChildElementText(), title);
  }
  EXPECT_FALSE(doc.FindElement("ITEM"));
}

// What the message window lists: every ITEM as appended, texts that need entities and line breaks
// included, and ITEMs of a file edited by hand whose children stand in another order or are missing.
TEST_F(MessageStoreTest, MessagesAreReadBackAsTheyWereAppended) {
  WriteFile(
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n"
      "<MessageRecord>\r\n"
      "  <ITEM><MContent>hand</MContent><MTitle>edited</MTitle><MType>旧</MType></ITEM>\r\n"
      "  <Other/>\r\n"
      "</MessageRecord>\r\n");
  CMessageStore store;
  ASSERT_TRUE(store.Open(Folder()));
  ProviderMessage sent{"通知",
                       "维护 & <升级>",
                       "2024-05-01",
                       "08:30:00",
                       "http://a.invalid/?x=1&y=2",
                       "第一行\r\n第二行 \"引号\" 'x'"};
  ASSERT_TRUE(store.Append(sent));
  ASSERT_TRUE(store.Append(ProviderMessage{"公告", "t2", "2024-05-02", "00:00:01", "", "c2"}));

  CMessageStore reopened;
  ASSERT_TRUE(reopened.Open(Folder()));
  for (CMessageStore* reader : {&store, &reopened}) {
    const std::vector<ProviderMessage> messages = reader->ReadMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].title, "edited");
    EXPECT_EQ(messages[0].category, "旧");
    EXPECT_EQ(messages[0].content, "hand");
    EXPECT_EQ(messages[0].date, "");
    for (const auto& pair :
         {std::make_pair(messages[1], sent),
          std::make_pair(messages[2], ProviderMessage{"公告", "t2", "2024-05-02", "00:00:01", "", "c2"})}) {
      EXPECT_EQ(pair.first.category, pair.second.category);
      EXPECT_EQ(pair.first.title, pair.second.title);
      EXPECT_EQ(pair.first.date, pair.second.date);
      EXPECT_EQ(pair.first.time, pair.second.time);
      EXPECT_EQ(pair.first.url, pair.second.url);
      EXPECT_EQ(pair.first.content, pair.second.content);
    }
  }
  // Reading leaves the store able to append at the end.
  ASSERT_TRUE(store.Append(ProviderMessage{"优惠", "t3", "", "", "", "c3"}));
  EXPECT_EQ(store.ReadMessages().back().title, "t3");
}

TEST_F(MessageStoreTest, EmptyFileIsReplacedByAFreshOne) {
  WriteFile("");
  CMessageStore store;
  EXPECT_TRUE(store.Open(Folder()));
  EXPECT_EQ(ReadFile(), kFresh);
  EXPECT_TRUE(store.Append("a", "b", "c", "d", "e", "f"));
}

TEST_F(MessageStoreTest, FileWithoutTheRootIsNeverWrittenTo) {
  const std::string foreign = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<Other>keep me</Other>\r\n";
  WriteFile(foreign);
  CMessageStore store;
  store.Open(Folder());
  EXPECT_FALSE(store.Append("a", "b", "c", "d", "e", "f"));
  EXPECT_EQ(ReadFile(), foreign);
}

TEST_F(MessageStoreTest, UnwritableFolderIsNotFatal) {
  CMessageStore store;
  EXPECT_FALSE(store.Open((m_folder / "missing" / "deeper").string()));
  EXPECT_TRUE(store.IsLoaded());
  EXPECT_FALSE(store.Append("a", "b", "c", "d", "e", "f"));
  EXPECT_FALSE(fs::exists(m_folder / "missing"));
}

TEST(MessageStore, SaveBeforeOpenFails) {
  CMessageStore store;
  EXPECT_FALSE(store.Save());
}

}  // namespace
