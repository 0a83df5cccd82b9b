#include "client/store/ConfigStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "client/store/DesCipher.h"
#include "client/store/XmlDoc.h"
#include "tests/store/StoreTestSupport.h"

namespace {

const char kEntry[] = "pppoe_vorlan_default_entry";

std::string Setting(const std::string& name, const std::string& text) {
  return "<" + name + ">" + text + "</" + name + ">\r\n";
}

const std::string kSettingLines =
    Setting("UPDATESET", "1") + Setting("passwordstatus", "1") + Setting("StartUp", "0") +
    Setting("Autoconnect", "0") + Setting("Alwaysconnect", "0") + Setting("Reconnect", "0") +
    Setting("RedialTimegrap", "5") + Setting("RedialTrytimes", "1000") + Setting("MsgPop", "1");

std::string ConfigFile(const std::string& children) {
  return std::string(Declaration()) + "<CONFIG>\r\n" + children + "</CONFIG>\r\n";
}

const std::string kFreshFile = ConfigFile(kSettingLines);

std::string UserLine(const std::string& name, const std::string& password) {
  return "<User NAME=\"" + name + "\" PASSWORD=\"" + password + "\"/>\r\n";
}

std::string Without(const std::string& text, const std::string& line) {
  return Replaced(text, line, "");
}

bool WellFormed(const std::string& path) {
  CXmlDoc doc;
  return doc.LoadFile(path.c_str());
}

class ConfigStoreTest : public ::testing::Test {
 protected:
  std::string Path() const { return m_folder.File("config.xml"); }
  std::string Backup() const { return Path() + kDamagedSuffix; }
  std::string Bytes() const { return ReadBytes(Path()); }

  TempFolder m_folder;
};

TEST_F(ConfigStoreTest, AMissingFileIsCreatedWithTheTwelveDefaultLines) {
  CConfigStore store(Path());
  EXPECT_EQ(store.GetPath(), Path());
  EXPECT_EQ(Bytes(), kFreshFile);
  EXPECT_TRUE(store.GetUpdateSet());
  EXPECT_TRUE(store.GetPasswordStatus());
  EXPECT_FALSE(store.GetStartUp());
  EXPECT_EQ(store.GetAutoconnect(), 0);
  EXPECT_FALSE(store.GetAlwaysconnect());
  EXPECT_FALSE(store.GetReconnect());
  EXPECT_FALSE(store.GetReconnectCached());
  EXPECT_TRUE(store.GetMsgPop());
  EXPECT_TRUE(store.GetMsgPopCached());
  EXPECT_EQ(store.GetRedialTimegrapText(), "5秒");
  EXPECT_EQ(store.GetRedialTrytimesText(), "1000");
  EXPECT_EQ(store.GetRedialTimegrap(), 5);
  EXPECT_EQ(store.GetRedialTrytimes(), 1000);
  std::vector<std::string> names{"stale"}, passwords{"stale"};
  store.GetUsers(kEntry, names, passwords);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(passwords.empty());
  EXPECT_FALSE(store.GetLastUser(names, passwords));
  std::string time = "keep", type = "keep";
  store.GetSystemSet(time, type);
  EXPECT_EQ(time, "keep");
  EXPECT_EQ(type, "keep");
  EXPECT_EQ(Bytes(), kFreshFile);
  EXPECT_FALSE(FileExists(Backup()));

  store.CreateDefaultConfig();
  EXPECT_EQ(Bytes(), kFreshFile);
}

TEST_F(ConfigStoreTest, GettersRepairAMissingElementAtTheEndOfConfig) {
  struct Case {
    const char* name;
    const char* added;
    std::function<bool(CConfigStore&)> get;
    bool expected;
  };
  const Case cases[] = {
      {"passwordstatus", "1", [](CConfigStore& s) { return s.GetPasswordStatus(); }, true},
      {"UPDATESET", "1", [](CConfigStore& s) { return s.GetUpdateSet(); }, true},
      {"Alwaysconnect", "0", [](CConfigStore& s) { return s.GetAlwaysconnect(); }, false},
      {"Reconnect", "0", [](CConfigStore& s) { return s.GetReconnect(); }, false},
      {"StartUp", "0", [](CConfigStore& s) { return s.GetStartUp(); }, false},
      {"MsgPop", "1", [](CConfigStore& s) { return s.GetMsgPop(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string line = Setting(c.name, c.added);
    const std::string repaired = ConfigFile(Without(kSettingLines, line) + line);
    WriteBytes(Path(), ConfigFile(Without(kSettingLines, line)));
    CConfigStore store(Path());
    EXPECT_EQ(c.get(store), c.expected);
    EXPECT_EQ(Bytes(), repaired);
    EXPECT_EQ(c.get(store), c.expected);
    EXPECT_EQ(Bytes(), repaired);
  }
}

TEST_F(ConfigStoreTest, GettersWithoutRepairLeaveTheFileAlone) {
  const std::string missing =
      Without(Without(Without(kSettingLines, Setting("Autoconnect", "0")), Setting("RedialTimegrap", "5")),
              Setting("RedialTrytimes", "1000"));
  WriteBytes(Path(), ConfigFile(missing));
  CConfigStore store(Path());
  EXPECT_EQ(store.GetAutoconnect(), 0);
  EXPECT_EQ(store.GetRedialTimegrapText(), "秒");
  EXPECT_EQ(store.GetRedialTrytimesText(), "");
  EXPECT_EQ(store.GetRedialTimegrap(), 0);
  EXPECT_EQ(store.GetRedialTrytimes(), 0);
  EXPECT_EQ(Bytes(), ConfigFile(missing));

  store.SetRedial("30", 7);
  EXPECT_EQ(Bytes(), ConfigFile(missing + Setting("RedialTimegrap", "30") + Setting("RedialTrytimes", "7")));
  store.SetAutoconnect(true);
  EXPECT_EQ(store.GetAutoconnect(), 1);
}

TEST_F(ConfigStoreTest, SettersWriteOneOrZeroAndSaveAtOnce) {
  struct Case {
    const char* name;
    const char* defaultText;
    std::function<void(CConfigStore&, bool)> set;
    std::function<bool(CConfigStore&)> get;
  };
  const Case cases[] = {
      {"passwordstatus", "1", [](CConfigStore& s, bool on) { s.SetPasswordStatus(on); },
       [](CConfigStore& s) { return s.GetPasswordStatus(); }},
      {"UPDATESET", "1", [](CConfigStore& s, bool on) { s.SetUpdateSet(on); },
       [](CConfigStore& s) { return s.GetUpdateSet(); }},
      {"Autoconnect", "0", [](CConfigStore& s, bool on) { s.SetAutoconnect(on); },
       [](CConfigStore& s) { return s.GetAutoconnect() != 0; }},
      {"Alwaysconnect", "0", [](CConfigStore& s, bool on) { s.SetAlwaysconnect(on); },
       [](CConfigStore& s) { return s.GetAlwaysconnect(); }},
      {"Reconnect", "0", [](CConfigStore& s, bool on) { s.SetReconnect(on); },
       [](CConfigStore& s) { return s.GetReconnect(); }},
      {"StartUp", "0", [](CConfigStore& s, bool on) { s.SetStartUp(on); },
       [](CConfigStore& s) { return s.GetStartUp(); }},
      {"MsgPop", "1", [](CConfigStore& s, bool on) { s.SetMsgPop(on); },
       [](CConfigStore& s) { return s.GetMsgPop(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove(Path().c_str());
    CConfigStore store(Path());
    for (bool on : {true, false, true}) {
      c.set(store, on);
      EXPECT_EQ(c.get(store), on);
      EXPECT_EQ(Bytes(),
                Replaced(kFreshFile, Setting(c.name, c.defaultText), Setting(c.name, on ? "1" : "0")));
      CConfigStore reread(Path());
      EXPECT_EQ(c.get(reread), on);
    }
    // A missing element is added with the value at the end of "CONFIG".
    const std::string line = Setting(c.name, c.defaultText);
    WriteBytes(Path(), ConfigFile(Without(kSettingLines, line)));
    CConfigStore repaired(Path());
    c.set(repaired, true);
    EXPECT_EQ(Bytes(), ConfigFile(Without(kSettingLines, line) + Setting(c.name, "1")));
  }
}

TEST_F(ConfigStoreTest, CachedValuesComeFromConstructionAndTheirSetters) {
  WriteBytes(Path(), ConfigFile(Replaced(
                         Replaced(kSettingLines, Setting("Reconnect", "0"), Setting("Reconnect", "1")),
                         Setting("MsgPop", "1"), Setting("MsgPop", "0"))));
  CConfigStore store(Path());
  EXPECT_TRUE(store.GetReconnectCached());
  EXPECT_FALSE(store.GetMsgPopCached());
  store.EditDocument([](CXmlDoc& doc) {
    return doc.FindElement("CONFIG") && doc.EnterElement() && doc.FindElement("Reconnect") &&
           doc.SetElementText("0");
  });
  EXPECT_FALSE(store.GetReconnect());
  EXPECT_TRUE(store.GetReconnectCached());
  store.SetReconnect(false);
  store.SetMsgPop(true);
  EXPECT_FALSE(store.GetReconnectCached());
  EXPECT_TRUE(store.GetMsgPopCached());
}

TEST_F(ConfigStoreTest, NumbersAreReadAsAtoiReadsThem) {
  struct Case {
    const char* text;
    int number;
    bool flag;
    bool startUp;
  };
  const Case cases[] = {
      {"1", 1, true, true},
      {"0", 0, false, false},
      {"2", 2, true, false},
      {" 1", 1, true, true},
      {"1abc", 1, true, true},
      {"abc", 0, false, false},
      {"", 0, false, false},
      {"-1", -1, true, false},
      {"+1", 1, true, true},
      {"007", 7, true, false},
      {"99999999999", 2147483647, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string lines = kSettingLines;
    for (const char* name : {"Alwaysconnect", "StartUp", "Autoconnect", "RedialTrytimes"}) {
      std::string old = name == std::string("RedialTrytimes") ? "1000" : "0";
      lines = Replaced(lines, Setting(name, old), Setting(name, c.text));
    }
    WriteBytes(Path(), ConfigFile(lines));
    CConfigStore store(Path());
    EXPECT_EQ(store.GetAlwaysconnect(), c.flag);
    EXPECT_EQ(store.GetStartUp(), c.startUp);
    EXPECT_EQ(store.GetAutoconnect(), c.number);
    EXPECT_EQ(store.GetRedialTrytimes(), c.number);
    EXPECT_EQ(store.GetRedialTrytimesText(), c.text);
  }
}

TEST_F(ConfigStoreTest, RedialGapTexts) {
  struct Case {
    const char* gap;
    const char* shown;
  };
  const Case cases[] = {{"5", "5秒"},     {"59", "59秒"},     {"60", "1分钟"}, {"119", "1分钟"},
                        {"120", "2分钟"}, {"3600", "60分钟"}, {"", "秒"},      {"x", "x秒"}};
  CConfigStore store(Path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gap);
    store.SetRedial(c.gap, 3);
    EXPECT_EQ(store.GetRedialTimegrapText(), c.shown);
    EXPECT_EQ(store.GetRedialTrytimesText(), "3");
  }
  store.SetRedial("60", 12);
  EXPECT_EQ(Bytes(),
            Replaced(Replaced(kFreshFile, Setting("RedialTimegrap", "5"), Setting("RedialTimegrap", "60")),
                     Setting("RedialTrytimes", "1000"), Setting("RedialTrytimes", "12")));
  store.SetRedial(nullptr, 4);
  EXPECT_EQ(store.GetRedialTimegrap(), 60);
  EXPECT_EQ(store.GetRedialTrytimes(), 4);
}

TEST_F(ConfigStoreTest, SeveralElementsOfOneName) {
  // Autoconnect and the redial values read the last one, the others the first; setters write
  // the element their getter reads.
  const std::string lines = kSettingLines + Setting("Autoconnect", "1") + Setting("RedialTimegrap", "120") +
                            Setting("RedialTrytimes", "9") + Setting("StartUp", "1") + Setting("MsgPop", "0");
  WriteBytes(Path(), ConfigFile(lines));
  CConfigStore store(Path());
  EXPECT_EQ(store.GetAutoconnect(), 1);
  EXPECT_EQ(store.GetRedialTimegrapText(), "2分钟");
  EXPECT_EQ(store.GetRedialTrytimesText(), "9");
  EXPECT_FALSE(store.GetStartUp());
  EXPECT_TRUE(store.GetMsgPop());
  store.SetAutoconnect(false);
  store.SetRedial("10", 2);
  EXPECT_EQ(store.GetAutoconnect(), 0);
  EXPECT_EQ(store.GetRedialTimegrapText(), "10秒");
  EXPECT_EQ(Bytes(),
            ConfigFile(kSettingLines + Setting("Autoconnect", "0") + Setting("RedialTimegrap", "10") +
                       Setting("RedialTrytimes", "2") + Setting("StartUp", "1") + Setting("MsgPop", "0")));
}

TEST_F(ConfigStoreTest, SavedUsersKeepTheirOrderAndOnlyThePasswordChanges) {
  CConfigStore store(Path());
  store.SaveUser(kEntry, "0123456789abcdef", "alice");
  EXPECT_EQ(Bytes(), ConfigFile(kSettingLines + "<" + kEntry + ">\r\n" +
                                UserLine("alice", "0123456789abcdef") + "</" + kEntry + ">\r\n"));
  store.SaveUser(kEntry, "", "bob");
  store.SaveUser(kEntry, "fedcba9876543210", "alice");
  store.SaveUser(kEntry, "1111111111111111", "Alice");
  const std::string expected =
      ConfigFile(kSettingLines + "<" + kEntry + ">\r\n" + UserLine("alice", "fedcba9876543210") +
                 UserLine("bob", "") + UserLine("Alice", "1111111111111111") + "</" + kEntry + ">\r\n");
  EXPECT_EQ(Bytes(), expected);

  std::vector<std::string> names, passwords;
  store.GetUsers(kEntry, names, passwords);
  EXPECT_EQ(names, (std::vector<std::string>{"alice", "bob", "Alice"}));
  EXPECT_EQ(passwords, (std::vector<std::string>{"fedcba9876543210", "", "1111111111111111"}));
  store.GetUsers("other_entry", names, passwords);
  EXPECT_TRUE(names.empty());

  store.SaveUser(nullptr, "x", "y");
  store.SaveUser(kEntry, nullptr, "y");
  store.SaveUser(kEntry, "x", nullptr);
  store.SaveUser("", "x", "y");
  store.SaveUser("bad name", "x", "y");
  store.SaveUser("a<b", "x", "y");
  EXPECT_EQ(Bytes(), expected);
}

TEST_F(ConfigStoreTest, UserTextsWithMarkupAndChineseReadBackUnchanged) {
  const std::string names[] = {"a&b", "<tag>", "it's \"quoted\"", "张三", "&amp;"};
  CDesCipher cipher;
  cipher.SetKey(kPasswordKey);
  cipher.Encrypt("密码&<");
  const std::string password = cipher.GetEncrypted();
  {
    CConfigStore store(Path());
    for (const std::string& name : names) store.SaveUser(kEntry, password.c_str(), name.c_str());
    store.SetLastUser(password.c_str(), names[2].c_str());
  }
  const std::string text = Bytes();
  EXPECT_NE(text.find(UserLine("a&amp;b", password)), std::string::npos);
  EXPECT_NE(text.find(UserLine("&lt;tag&gt;", password)), std::string::npos);
  EXPECT_NE(text.find(UserLine("it&apos;s &quot;quoted&quot;", password)), std::string::npos);
  EXPECT_NE(text.find(UserLine("张三", password)), std::string::npos);
  EXPECT_NE(text.find(UserLine("&amp;amp;", password)), std::string::npos);

  CConfigStore reread(Path());
  std::vector<std::string> readNames, readPasswords;
  reread.GetUsers(kEntry, readNames, readPasswords);
  EXPECT_EQ(readNames, std::vector<std::string>(std::begin(names), std::end(names)));
  ASSERT_EQ(readPasswords.size(), 5u);
  CDesCipher decipher;
  decipher.SetKey(kPasswordKey);
  decipher.Decrypt(readPasswords[3].c_str());
  EXPECT_STREQ(decipher.GetDecrypted(), "密码&<00");
  readNames.clear();
  readPasswords.clear();
  EXPECT_TRUE(reread.GetLastUser(readNames, readPasswords));
  EXPECT_EQ(readNames, std::vector<std::string>{names[2]});
  // Saving a user again compares names byte for byte.
  reread.SaveUser(kEntry, "", "张三");
  reread.GetUsers(kEntry, readNames, readPasswords);
  EXPECT_EQ(readNames.size(), 5u);
  EXPECT_EQ(readPasswords[3], "");
}

TEST_F(ConfigStoreTest, LastUserIsAddedOnceAndUpdatedInPlace) {
  CConfigStore store(Path());
  store.SetLastUser("", "alice");
  const std::string once =
      ConfigFile(kSettingLines + "<LastUser>\r\n" + UserLine("alice", "") + "</LastUser>\r\n");
  EXPECT_EQ(Bytes(), once);
  store.SetLastUser("abcdefabcdefabcd", "bob");
  EXPECT_EQ(Bytes(), Replaced(once, UserLine("alice", ""), UserLine("bob", "abcdefabcdefabcd")));
  std::vector<std::string> names{"kept"}, passwords{"kept"};
  EXPECT_TRUE(store.GetLastUser(names, passwords));
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "bob"}));
  EXPECT_EQ(passwords, (std::vector<std::string>{"kept", "abcdefabcdefabcd"}));

  store.SetLastUser(nullptr, "x");
  store.SetLastUser("x", nullptr);
  EXPECT_EQ(Bytes(), Replaced(once, UserLine("alice", ""), UserLine("bob", "abcdefabcdefabcd")));

  // Every "User" of "LastUser" is set; an empty "LastUser" gets one.
  WriteBytes(Path(), ConfigFile(kSettingLines + "<LastUser>\r\n" + UserLine("a", "1") + UserLine("b", "2") +
                                "</LastUser>\r\n"));
  CConfigStore two(Path());
  two.SetLastUser("p", "c");
  EXPECT_EQ(Bytes(), ConfigFile(kSettingLines + "<LastUser>\r\n" + UserLine("c", "p") + UserLine("c", "p") +
                                "</LastUser>\r\n"));
  WriteBytes(Path(), ConfigFile(kSettingLines + "<LastUser/>\r\n"));
  CConfigStore empty(Path());
  empty.SetLastUser("p", "c");
  names.clear();
  passwords.clear();
  EXPECT_TRUE(empty.GetLastUser(names, passwords));
  EXPECT_EQ(names, std::vector<std::string>{"c"});
}

TEST_F(ConfigStoreTest, SystemSetIsReplacedOrRemoved) {
  CConfigStore store(Path());
  store.SetSystemSet("2009*3*5*22*30*0", "关机", 1);
  const std::string once =
      ConfigFile(kSettingLines + "<SystemSet SetTime=\"2009*3*5*22*30*0\" SetType=\"关机\"/>\r\n");
  EXPECT_EQ(Bytes(), once);
  store.SetSystemSet("2009*3*6*1*0*0", "重启", 1);
  EXPECT_EQ(Bytes(),
            ConfigFile(kSettingLines + "<SystemSet SetTime=\"2009*3*6*1*0*0\" SetType=\"重启\"/>\r\n"));
  std::string time, type;
  store.GetSystemSet(time, type);
  EXPECT_EQ(time, "2009*3*6*1*0*0");
  EXPECT_EQ(type, "重启");
  store.SetSystemSet("ignored", "ignored", 0);
  EXPECT_EQ(Bytes(), kFreshFile);
  store.SetSystemSet(nullptr, nullptr, 0);
  EXPECT_EQ(Bytes(), kFreshFile);

  // The new one takes the old one's place; duplicates left by hand edits go.
  const std::string users = "<" + std::string(kEntry) + ">\r\n" + UserLine("a", "") + "</" + kEntry + ">\r\n";
  WriteBytes(Path(), ConfigFile(kSettingLines + "<SystemSet SetTime=\"1\" SetType=\"2\"/>\r\n" + users +
                                "<SystemSet SetTime=\"3\" SetType=\"4\"/>\r\n"));
  CConfigStore edited(Path());
  edited.SetSystemSet("5", "6", 1);
  EXPECT_EQ(Bytes(), ConfigFile(kSettingLines + "<SystemSet SetTime=\"5\" SetType=\"6\"/>\r\n" + users));
}

TEST_F(ConfigStoreTest, EditDocumentSavesOnlyWhenAskedTo) {
  CConfigStore store(Path());
  store.EditDocument([](CXmlDoc& doc) {
    EXPECT_TRUE(doc.FindElement("CONFIG"));
    return false;
  });
  EXPECT_EQ(Bytes(), kFreshFile);
  store.EditDocument([](CXmlDoc& doc) {
    return doc.FindElement("CONFIG") && doc.EnterElement() && doc.AddElement(kEntry) && doc.EnterElement() &&
           doc.AddElement("User") && doc.SetAttribute("NAME", "direct") && doc.SetAttribute("PASSWORD", "");
  });
  std::vector<std::string> names, passwords;
  store.GetUsers(kEntry, names, passwords);
  EXPECT_EQ(names, std::vector<std::string>{"direct"});
  EXPECT_EQ(Bytes(), ConfigFile(kSettingLines + "<" + kEntry + ">\r\n" + UserLine("direct", "") + "</" +
                                kEntry + ">\r\n"));
  // An edit that leaves the cursor deep inside does not disturb the next accessor.
  store.EditDocument([](CXmlDoc& doc) {
    doc.FindElement("CONFIG");
    doc.EnterElement();
    doc.FindElement(kEntry);
    doc.EnterElement();
    doc.FindElement("User");
    return false;
  });
  EXPECT_TRUE(store.GetPasswordStatus());
  EXPECT_EQ(store.GetRedialTrytimesText(), "1000");
}

TEST_F(ConfigStoreTest, AnUnwritableFileKeepsTheSettingsInMemory) {
  const std::string path = m_folder.File("missing-folder") + kPathSeparator + "config.xml";
  CConfigStore store(path);
  EXPECT_FALSE(FileExists(path));
  EXPECT_TRUE(store.GetPasswordStatus());
  store.SetPasswordStatus(false);
  store.SaveUser(kEntry, "", "alice");
  EXPECT_FALSE(store.GetPasswordStatus());
  std::vector<std::string> names, passwords;
  store.GetUsers(kEntry, names, passwords);
  EXPECT_EQ(names, std::vector<std::string>{"alice"});
  EXPECT_FALSE(FileExists(path));
}

TEST_F(ConfigStoreTest, EmptyAndUnreadableContentGetsTheDefaults) {
  struct Case {
    std::string bytes;
    bool backup;
  };
  const Case cases[] = {{"", false},
                        {"\r\n \t", false},
                        {std::string(Declaration()), true},
                        {"garbage", true},
                        {std::string(Declaration()) + "<OTHER>\r\n<x>1</x>\r\n</OTHER>\r\n", true},
                        {std::string(Declaration()) + "<CONFIG", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    WriteBytes(Path(), c.bytes);
    std::remove(Backup().c_str());
    CConfigStore store(Path());
    EXPECT_EQ(Bytes(), kFreshFile);
    EXPECT_EQ(FileExists(Backup()), c.backup);
    if (c.backup) {
      EXPECT_EQ(ReadBytes(Backup()), c.bytes);
    }
    EXPECT_TRUE(store.GetPasswordStatus());
  }
}

// A file with every kind of content and no default value, cut after every byte: what was complete
// before the cut must survive, the rest reads as the defaults, and the file is well formed again.
TEST_F(ConfigStoreTest, ACutOffFileKeepsEverythingStillReadable) {
  struct Value {
    const char* name;
    const char* text;
    const char* defaultText;
  };
  const Value values[] = {
      {"UPDATESET", "0", "1"},       {"passwordstatus", "0", "1"},    {"StartUp", "1", "0"},
      {"Autoconnect", "1", "0"},     {"Alwaysconnect", "1", "0"},     {"Reconnect", "1", "0"},
      {"RedialTimegrap", "90", "5"}, {"RedialTrytimes", "7", "1000"}, {"MsgPop", "0", "1"}};
  std::string lines;
  for (const Value& v : values) lines += Setting(v.name, v.text);
  struct SavedUser {
    const char* name;
    const char* written;
    const char* password;
  };
  const SavedUser users[] = {{"甲&1", "甲&amp;1", "0011223344556677"},
                             {"b<2", "b&lt;2", ""},
                             {"c'3", "c&apos;3", "8899aabbccddeeff"}};
  std::string entry = "<" + std::string(kEntry) + ">\r\n";
  for (const SavedUser& u : users) entry += UserLine(u.written, u.password);
  entry += "</" + std::string(kEntry) + ">\r\n";
  const std::string last = "<LastUser>\r\n" + UserLine("c&apos;3", "8899aabbccddeeff") + "</LastUser>\r\n";
  const std::string shutdown = "<SystemSet SetTime=\"2009*3*5*22*30*0\" SetType=\"关机\"/>\r\n";
  const std::string full = ConfigFile(lines + entry + last + shutdown);
  auto contains = [](const std::string& text, const std::string& line) {
    return text.find(line.substr(0, line.size() - 2)) != std::string::npos;
  };

  for (size_t cut = 0; cut < full.size(); ++cut) {
    const std::string bytes = full.substr(0, cut);
    SCOPED_TRACE("cut after " + std::to_string(cut) + " bytes: ..." +
                 bytes.substr(bytes.size() > 40 ? bytes.size() - 40 : 0));
    WriteBytes(Path(), bytes);
    std::remove(Backup().c_str());
    CXmlDoc original;
    const bool damaged = !original.SetDocText(bytes.c_str());
    CConfigStore store(Path());
    ASSERT_TRUE(WellFormed(Path()));
    const bool anything = bytes.find_first_not_of(" \t\r\n") != std::string::npos;
    EXPECT_EQ(FileExists(Backup()), damaged && anything);

    // Reading back through a second store proves the rebuilt file holds the values.
    CConfigStore reread(Path());
    CXmlDoc doc;
    doc.LoadFile(Path().c_str());
    for (const Value& v : values) {
      doc.RewindLevel();
      doc.FindElement("CONFIG");
      ASSERT_TRUE(doc.FindChildElement(v.name)) << v.name;
      EXPECT_EQ(doc.GetChildElementText(), contains(bytes, Setting(v.name, v.text)) ? v.text : v.defaultText)
          << v.name;
    }
    EXPECT_EQ(reread.GetRedialTimegrapText(),
              contains(bytes, Setting("RedialTimegrap", "90")) ? "1分钟" : "5秒");

    std::vector<std::string> names, passwords;
    reread.GetUsers(kEntry, names, passwords);
    size_t completeUsers = 0;
    for (size_t i = 0; i < 3; ++i) {
      if (contains(bytes, UserLine(users[i].written, users[i].password))) completeUsers = i + 1;
    }
    ASSERT_EQ(names.size(), completeUsers);
    for (size_t i = 0; i < completeUsers; ++i) {
      EXPECT_EQ(names[i], users[i].name);
      EXPECT_EQ(passwords[i], users[i].password);
    }

    names.clear();
    passwords.clear();
    const bool lastComplete = contains(bytes, "<LastUser>\r\n" + UserLine("c&apos;3", "8899aabbccddeeff"));
    EXPECT_EQ(reread.GetLastUser(names, passwords), lastComplete);
    if (lastComplete) {
      EXPECT_EQ(names, std::vector<std::string>{"c'3"});
    }

    std::string time, type;
    reread.GetSystemSet(time, type);
    EXPECT_EQ(time, contains(bytes, shutdown) ? "2009*3*5*22*30*0" : "");
  }
}

TEST_F(ConfigStoreTest, DamageAfterTheRootLosesNothing) {
  const std::string good =
      ConfigFile(Replaced(kSettingLines, Setting("StartUp", "0"), Setting("StartUp", "1")) + "<" + kEntry +
                 ">\r\n" + UserLine("alice", "") + "</" + kEntry + ">\r\n");
  WriteBytes(Path(), good + "<junk>");
  CConfigStore store(Path());
  EXPECT_EQ(Bytes(), good);
  EXPECT_EQ(ReadBytes(Backup()), good + "<junk>");
  EXPECT_TRUE(store.GetStartUp());
}

// A save cut short at any step (each state it can leave on disk) starts the client with the last
// good settings, never the defaults, and leaves nothing behind.
TEST_F(ConfigStoreTest, ASaveCutShortAtAnyStepKeepsTheLastGoodSettings) {
  const std::string old =
      ConfigFile(Replaced(kSettingLines, Setting("StartUp", "0"), Setting("StartUp", "1")));
  const std::string saved = Replaced(old, Setting("RedialTimegrap", "5"), Setting("RedialTimegrap", "90"));
  const std::string cut = saved.substr(0, saved.size() / 2);
  const struct {
    const std::string* file;
    const std::string* fresh;  // "config.xml.new~"
    const std::string* aside;  // "config.xml.old~", as earlier versions left it
    const char* gap;
  } cases[] = {
      {&old, &cut, nullptr, "5秒"},     {&old, &saved, nullptr, "5秒"}, {nullptr, &saved, nullptr, "1分钟"},
      {nullptr, &saved, &old, "1分钟"}, {nullptr, &cut, &old, "5秒"},   {nullptr, nullptr, &old, "5秒"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file ? "config.xml " : "") +
                 (c.fresh == &cut ? "cut "
                  : c.fresh       ? "new "
                                  : "") +
                 (c.aside ? "old~" : ""));
    std::remove(Path().c_str());
    if (c.file) WriteBytes(Path(), *c.file);
    if (c.fresh) WriteBytes(Path() + ".new~", *c.fresh);
    if (c.aside) WriteBytes(Path() + ".old~", *c.aside);
    CConfigStore store(Path());
    EXPECT_TRUE(store.GetStartUp());
    EXPECT_EQ(store.GetRedialTimegrapText(), c.gap);
    EXPECT_FALSE(FileExists(Path() + ".new~"));
    EXPECT_FALSE(FileExists(Path() + ".old~"));
    EXPECT_FALSE(FileExists(Backup()));
    store.SetMsgPop(false);
    CConfigStore reread(Path());
    EXPECT_TRUE(reread.GetStartUp());
    EXPECT_FALSE(reread.GetMsgPop());
  }
}

// Every damage keeps a copy of its own, the ten newest are kept, and nothing is written over a
// damaged file before its copy is.
TEST_F(ConfigStoreTest, DamagedCopiesAreNumberedAndNeverWrittenOver) {
  auto damaged = [](int i) {
    return std::string(Declaration()) + "<CONFIG>\r\n<StartUp>" + std::to_string(i);
  };
  for (int i = 0; i < 12; ++i) {
    WriteBytes(Path(), damaged(i));
    CConfigStore store(Path());
  }
  for (int n = 0; n < kDamagedCopies; ++n)
    EXPECT_EQ(ReadBytes(DamagedCopyName(Path(), n)), damaged(n + 2)) << n;
  EXPECT_FALSE(FileExists(Path() + kDamagedSuffix + ".10"));

  // Copies that cannot go (folders that are not empty) leave no room for another: the damaged
  // file stays as it is, the settings that could be read work in memory, and the first save after
  // room is made keeps the copy and writes the rebuilt file.
  for (int n = 0; n < kDamagedCopies; ++n) {
    std::remove(DamagedCopyName(Path(), n).c_str());
    std::filesystem::create_directories(DamagedCopyName(Path(), n));
    WriteBytes(DamagedCopyName(Path(), n) + kPathSeparator + "x", "x");
  }
  const std::string bytes = damaged(1).substr(0, damaged(1).size() - 1) + "1</StartUp>\r\n";
  WriteBytes(Path(), bytes);
  CConfigStore store(Path());
  EXPECT_TRUE(store.GetStartUp());
  store.SetReconnect(true);
  EXPECT_EQ(Bytes(), bytes);
  std::filesystem::remove_all(DamagedCopyName(Path(), 0));
  store.SetReconnect(true);
  EXPECT_TRUE(WellFormed(Path()));
  EXPECT_EQ(ReadBytes(DamagedCopyName(Path(), 9)), bytes);
  CConfigStore reread(Path());
  EXPECT_TRUE(reread.GetStartUp());
  EXPECT_TRUE(reread.GetReconnect());
}

// The user-interface thread saves users while the connection watcher reads the redial policy.
TEST_F(ConfigStoreTest, TwoThreadsShareTheStoreSafely) {
  CConfigStore store(Path());
  const int kRounds = 3000;
  std::atomic<bool> writing{true};
  std::atomic<int> badReads{0};
  std::thread reader([&] {
    int rounds = 0;
    while (writing.load() || rounds < kRounds) {
      if (store.GetRedialTrytimes() < 1 || store.GetRedialTimegrapText().empty() || store.GetReconnect() ||
          store.GetAlwaysconnect())
        ++badReads;
      ++rounds;
    }
  });
  for (int i = 0; i < kRounds; ++i) {
    std::string user = "user" + std::to_string(i % 40);
    store.SaveUser(kEntry, std::to_string(i).c_str(), user.c_str());
    if (i % 10 == 0) store.SetRedial(std::to_string(i % 200 + 1).c_str(), i + 1);
    if (i % 25 == 0) store.SetLastUser("", user.c_str());
  }
  writing = false;
  reader.join();
  EXPECT_EQ(badReads.load(), 0);
  EXPECT_TRUE(WellFormed(Path()));
  CConfigStore reread(Path());
  std::vector<std::string> names, passwords;
  reread.GetUsers(kEntry, names, passwords);
  ASSERT_EQ(names.size(), 40u);
  EXPECT_EQ(names[39], "user39");
  EXPECT_EQ(passwords[39], std::to_string(kRounds - 1));
  EXPECT_EQ(reread.GetRedialTrytimes(), kRounds - 9);
}

}  // namespace
