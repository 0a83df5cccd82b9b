// Saving user management's deletions into the configuration document.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/store/XmlDoc.h"
#include "client/tools/SavedUsers.h"
#include "tests/store/StoreTestSupport.h"

namespace {

std::string Config(const std::vector<std::string>& users, const std::string& last) {
  std::string text = std::string(Declaration()) + "<CONFIG>\r\n<MsgPop>1</MsgPop>\r\n";
  if (!users.empty()) {
    text += "<pppoe_vorlan_default_entry>\r\n";
    for (const std::string& user : users) text += "<User NAME=\"" + user + "\" PASSWORD=\"\"/>\r\n";
    text += "</pppoe_vorlan_default_entry>\r\n";
  }
  if (!last.empty()) text += "<LastUser>\r\n<User NAME=\"" + last + "\" PASSWORD=\"\"/>\r\n</LastUser>\r\n";
  return text + "</CONFIG>\r\n";
}

TEST(SavedUsersTest, MarkedUsersAndTheLastUserNamingOneOfThemGoInOneVisit) {
  struct Case {
    const char* what;
    std::vector<std::string> users;
    std::string last;
    std::vector<std::string> marked;
    std::vector<std::string> usersAfter;
    std::string lastAfter;
    bool removed;
  } const cases[] = {
      {"two of three, one the last user", {"a", "b", "张三"}, "b", {"张三", "b"}, {"a"}, "", true},
      {"last user kept", {"a", "b"}, "a", {"b"}, {"a"}, "a", true},
      {"the same name twice", {"a", "a", "b"}, "", {"a"}, {"b"}, "", true},
      {"names match byte for byte", {"ab", "Ab"}, "", {"a", "AB"}, {"ab", "Ab"}, "", false},
      {"no entry element: only the last user", {}, "a", {"a"}, {}, "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CXmlDoc doc;
    doc.SetDocText(Config(c.users, c.last).c_str());
    EXPECT_EQ(ListSavedUsers(doc), c.users);
    EXPECT_EQ(RemoveMarkedUsers(doc, c.marked), c.removed);
    std::string expected = Config(c.usersAfter, c.lastAfter);
    // An entry element emptied by the removals stays, with nothing inside.
    if (c.usersAfter.empty() && !c.users.empty()) {
      expected =
          Replaced(expected, "<MsgPop>1</MsgPop>\r\n",
                   "<MsgPop>1</MsgPop>\r\n<pppoe_vorlan_default_entry>\r\n</pppoe_vorlan_default_entry>\r\n");
    }
    EXPECT_EQ(doc.GetDocText(), expected);
    // Saving again finds nothing more.
    EXPECT_FALSE(RemoveMarkedUsers(doc, c.marked));
  }
}

TEST(SavedUsersTest, AnyNumberOfMarkedNamesIsTaken) {
  std::vector<std::string> users, marked;
  for (int i = 0; i < 250; ++i) users.push_back("user" + std::to_string(i));
  for (int i = 0; i < 250; i += 2) marked.push_back("user" + std::to_string(i));
  CXmlDoc doc;
  doc.SetDocText(Config(users, "user248").c_str());
  EXPECT_TRUE(RemoveMarkedUsers(doc, marked));
  std::vector<std::string> left;
  for (int i = 1; i < 250; i += 2) left.push_back("user" + std::to_string(i));
  EXPECT_EQ(ListSavedUsers(doc), left);
  EXPECT_EQ(doc.GetDocText(), Config(left, ""));
}

}  // namespace
