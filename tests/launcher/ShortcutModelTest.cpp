// The shortcut bar without a window: its settings file, the rules of the page's commands and
// dialogs, the context menu's states, the drag moves and the layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/launcher/ShortcutBarModel.h"
#include "client/launcher/ShortcutLayout.h"
#include "client/launcher/ShortcutRules.h"
#include "client/launcher/ShortcutSettings.h"
#include "tests/launcher/FakeProfile.h"

namespace {

// The shell knows the paths of one list (each lookup adds an image); web addresses it does not know.
class FakeIcons : public IShortcutIcons {
 public:
  explicit FakeIcons(std::vector<std::string> known) : m_known(std::move(known)) {}
  int WebImage() override { return 3; }
  int ShellImage(const std::string& path) override {
    ++lookups;
    for (const std::string& k : m_known) {
      if (k == path) return m_next++;
    }
    return -1;
  }
  int lookups = 0;

 private:
  std::vector<std::string> m_known;
  int m_next = 4;
};

ShortcutItem Item(const std::string& name, const std::string& target) {
  ShortcutItem item;
  item.name = name;
  item.target = item.workDir = target;
  return item;
}

std::vector<std::string> Names(const CShortcutBarModel& bar, int folder) {
  std::vector<std::string> names;
  for (int i = 0; i < bar.ItemCount(folder); ++i) names.push_back(bar.Item(folder, i)->name);
  return names;
}

std::vector<std::string> Folders(const CShortcutBarModel& bar) {
  std::vector<std::string> names;
  for (int i = 0; i < bar.FolderCount(); ++i) names.push_back(bar.FolderName(i));
  return names;
}

class ShortcutSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { FakeProfile::Files().clear(); }
  std::string V(const std::string& section, const std::string& key) const {
    return FakeProfile::Value(kFile, section, key);
  }
  const std::string kFile = "C:\\Quillon\\Settings.ini";
  const ProfileSystem kProfile = FakeProfile::Calls();
};

TEST_F(ShortcutSettingsTest, AFirstStartWritesTheDefaultsAndARestartFindsEverythingSaved) {
  FakeIcons shell({"C:\\", "C:\\tools\\calc.exe", "D:\\docs"});
  CShortcutBarModel bar;
  std::vector<ShortcutItem> drives = {Item("C:\\", "C:\\")};
  StartShortcutBar(bar, drives, kProfile, kFile, shell);
  EXPECT_EQ(Folders(bar), (std::vector<std::string>{"我的电脑", "常用软件"}));
  EXPECT_EQ(bar.CurrentFolder(), 0);
  EXPECT_TRUE(bar.IsSmallIconView());
  EXPECT_EQ(V("Status", "FolderCount"), "2");
  EXPECT_EQ(V("Status", "IsSmallIconView"), "1");
  EXPECT_EQ(V("Folder", "1"), "常用软件");
  EXPECT_EQ(V("ItemCount", "1"), "0");
  // Folder 0 and its drives are never written.
  EXPECT_FALSE(FakeProfile::HasSection(kFile, "0"));
  EXPECT_EQ(V("Folder", "0"), "<missing>");

  bar.SetCurrentFolder(1);
  bar.AddItem(Item("门户", "http://www.vorlan.net"));
  bar.AddItem(Item("", "C:\\tools\\calc.exe"));
  ASSERT_EQ(bar.AddFolder("工作"), 2);
  bar.AddItem(2, Item("文档", "D:\\docs"));
  bar.SetSmallIconView(false);
  ASSERT_TRUE(SaveShortcutSettings(bar, kProfile, kFile));
  EXPECT_EQ(V("Status", "ActiveFolder"), "1");
  EXPECT_EQ(V("Status", "IsSmallIconView"), "0");
  EXPECT_EQ(V("Status", "FolderCount"), "3");
  EXPECT_EQ(V("ItemCount", "1"), "2");
  EXPECT_EQ(V("1", "1"), "门户");
  EXPECT_EQ(V("1", "1n"), "http://www.vorlan.net");
  // An empty name is written as the target.
  EXPECT_EQ(V("1", "2"), "C:\\tools\\calc.exe");
  EXPECT_EQ(V("2", "1n"), "D:\\docs");

  CShortcutBarModel again;
  StartShortcutBar(again, drives, kProfile, kFile, shell);
  EXPECT_EQ(Folders(again), (std::vector<std::string>{"我的电脑", "常用软件", "工作"}));
  EXPECT_EQ(Names(again, 0), (std::vector<std::string>{"C:\\"}));
  EXPECT_EQ(Names(again, 1), (std::vector<std::string>{"门户", "C:\\tools\\calc.exe"}));
  EXPECT_EQ(Names(again, 2), (std::vector<std::string>{"文档"}));
  EXPECT_FALSE(again.IsSmallIconView());
  // After start folder 0 is current, whatever the file says.
  EXPECT_EQ(again.CurrentFolder(), 0);
  const ShortcutItem* web = again.Item(1, 0);
  EXPECT_EQ(web->image, 3);
  EXPECT_EQ(web->workDir, "http://www.vorlan.net");
  EXPECT_EQ(web->parameters, "");
  EXPECT_GE(again.Item(1, 1)->image, 4);
}

TEST_F(ShortcutSettingsTest, CountsDecideWhatIsReadAndKeysOfRemovedThingsStay) {
  FakeIcons shell({"C:\\a.exe", "C:\\b.exe", "C:\\c.exe"});
  CShortcutBarModel bar;
  StartShortcutBar(bar, {}, kProfile, kFile, shell);
  bar.SetCurrentFolder(1);
  bar.AddItem(Item("a", "C:\\a.exe"));
  bar.AddItem(Item("b", "C:\\b.exe"));
  bar.AddItem(Item("c", "C:\\c.exe"));
  bar.AddFolder("旧");
  SaveShortcutSettings(bar, kProfile, kFile);

  bar.RemoveItem(0);
  bar.RemoveItem(0);
  bar.RemoveFolder(2);
  SaveShortcutSettings(bar, kProfile, kFile);
  EXPECT_EQ(V("Status", "FolderCount"), "2");
  EXPECT_EQ(V("ItemCount", "1"), "1");
  EXPECT_EQ(V("1", "1"), "c");
  EXPECT_EQ(V("1", "3"), "c");
  EXPECT_EQ(V("1", "3n"), "C:\\c.exe");
  EXPECT_EQ(V("Folder", "2"), "旧");
  EXPECT_EQ(V("ItemCount", "2"), "0");

  CShortcutBarModel again;
  StartShortcutBar(again, {}, kProfile, kFile, shell);
  EXPECT_EQ(Folders(again), (std::vector<std::string>{"我的电脑", "常用软件"}));
  EXPECT_EQ(Names(again, 1), (std::vector<std::string>{"c"}));

  // A count written by hand decides too: the stale keys come back, a huge count reads a bounded
  // number of keys, and a target the shell does not know is left out.
  FakeProfile::Set(kFile, "ItemCount", "1", "3");
  CShortcutBarModel stale;
  StartShortcutBar(stale, {}, kProfile, kFile, shell);
  EXPECT_EQ(Names(stale, 1), (std::vector<std::string>{"c", "b", "c"}));
  FakeProfile::Set(kFile, "ItemCount", "1", "2000000000");
  FakeProfile::Set(kFile, "1", "2n", "C:\\gone.exe");
  shell.lookups = 0;
  CShortcutBarModel huge;
  StartShortcutBar(huge, {}, kProfile, kFile, shell);
  EXPECT_EQ(Names(huge, 1), (std::vector<std::string>{"c", "c"}));
  EXPECT_LE(shell.lookups, kMaxItemsRead);
}

TEST_F(ShortcutSettingsTest, ReadsAreCutAt255BytesAndEachSavedFolderKeepsItsItems) {
  // Even a shell that had an icon for a web address would not bring its item twice.
  FakeIcons shell({"C:\\x.exe", "C:\\y.exe", "http://w"});
  const std::string longName(300, 'n');
  // A file whose folder 1 is not "常用软件": that folder is made first, and the saved folders follow
  // it with their own items; folders past eight are not made.
  FakeProfile::Set(kFile, "Status", "FolderCount", "10");
  for (int i = 1; i < 10; ++i) FakeProfile::Set(kFile, "Folder", std::to_string(i), "F" + std::to_string(i));
  FakeProfile::Set(kFile, "Folder", "1", longName);
  FakeProfile::Set(kFile, "ItemCount", "1", "1");
  FakeProfile::Set(kFile, "1", "1", "x");
  FakeProfile::Set(kFile, "1", "1n", "C:\\x.exe");
  FakeProfile::Set(kFile, "ItemCount", "2", "2");
  FakeProfile::Set(kFile, "2", "1", "y");
  FakeProfile::Set(kFile, "2", "1n", "C:\\y.exe");
  FakeProfile::Set(kFile, "2", "2", "web");
  FakeProfile::Set(kFile, "2", "2n", "http://w");

  CShortcutBarModel bar;
  StartShortcutBar(bar, {}, kProfile, kFile, shell);
  ASSERT_EQ(bar.FolderCount(), CShortcutBarModel::kMaxFolders);
  EXPECT_EQ(bar.FolderName(1), "常用软件");
  EXPECT_EQ(bar.FolderName(2), std::string(255, 'n'));
  EXPECT_EQ(bar.FolderName(3), "F2");
  EXPECT_EQ(bar.FolderName(7), "F6");
  EXPECT_EQ(Names(bar, 1), std::vector<std::string>{});
  EXPECT_EQ(Names(bar, 2), (std::vector<std::string>{"x"}));
  // The web item is there once.
  EXPECT_EQ(Names(bar, 3), (std::vector<std::string>{"y", "web"}));
}

TEST(ShortcutRules, DialogChecksGroupLimitAndStoredTexts) {
  EXPECT_EQ(shortcuts::GroupDialogRefusal(""), shortcuts::kGroupNameEmpty);
  EXPECT_EQ(shortcuts::GroupDialogRefusal(" \t  "), shortcuts::kGroupNameEmpty);
  EXPECT_EQ(shortcuts::GroupDialogRefusal(" 工作 "), nullptr);
  EXPECT_STREQ(shortcuts::kGroupNameEmpty, "输入的组名不能为空！");

  CShortcutBarModel bar;
  for (int i = 0; i < 7; ++i) bar.AddFolder("f");
  EXPECT_EQ(shortcuts::AddGroupRefusal(bar, "新"), nullptr);
  EXPECT_EQ(shortcuts::AddGroupRefusal(bar, "  "), shortcuts::kContentEmpty);
  EXPECT_EQ(bar.AddFolder("8th"), 7);
  EXPECT_EQ(shortcuts::AddGroupRefusal(bar, "新"), shortcuts::kTooManyGroups);
  EXPECT_STREQ(shortcuts::kTooManyGroups, "分组最多不能超过8个！");
  EXPECT_EQ(bar.AddFolder("9th"), -1);
  EXPECT_EQ(bar.FolderCount(), 8);

  EXPECT_EQ(shortcuts::FileDialogRefusal("   "), shortcuts::kFilePathEmpty);
  EXPECT_EQ(shortcuts::WebDialogRefusal(" ", "x"), shortcuts::kWebNameEmpty);
  EXPECT_EQ(shortcuts::WebDialogRefusal("a", ""), shortcuts::kWebAddressEmpty);
  EXPECT_EQ(shortcuts::WebDialogRefusal("a", "x"), nullptr);

  const struct {
    const char* typed;
    const char* stored;
  } addresses[] = {
      {"www.vorlan.net", "http://www.vorlan.net"}, {"http://www.vorlan.net", "http://www.vorlan.net"},
      {"HTTP://x.cn", "http://HTTP://x.cn"},       {"http:/x.cn", "http://http:/x.cn"},
      {"https://x.cn", "http://https://x.cn"},
  };
  for (const auto& a : addresses) EXPECT_EQ(shortcuts::WebAddress(a.typed), a.stored) << a.typed;

  const struct {
    const char* path;
    const char* name;
  } paths[] = {
      {"C:\\Program Files\\Tool\\tool.exe", "tool.exe"},
      {"C:\\", "C:\\"},
      {"D:\\docs\\", "D:\\docs\\"},
      {"readme.txt", "readme.txt"},
      // A double-byte character whose second byte is a backslash does not separate.
      {"C:\\dir\\\xD5\x5C.txt", "\xD5\x5C.txt"},
  };
  for (const auto& p : paths) EXPECT_EQ(shortcuts::PathItemName(p.path), p.name) << p.path;

  EXPECT_EQ(shortcuts::DeleteItemQuestion("常用软件", "计算器"),
            "确定要删除\"常用软件\"分组中的\n\"计算器\"栏目吗?");
}

TEST(ShortcutRules, TheContextMenuOffersPerPlaceAndFolder) {
  using shortcuts::MenuPlace;
  // Enabled commands in menu order: 大图标 小图标 添加分组 删除分组 添加文件 添加网页 删除文件 重命名.
  const struct {
    MenuPlace place;
    int folder;
    bool small;
    const char* enabled;
  } cases[] = {
      {MenuPlace::kItem, 0, true, "00000011"},      {MenuPlace::kItem, 1, false, "00000011"},
      {MenuPlace::kItem, 4, true, "00000011"},      {MenuPlace::kFolder, 0, true, "00100000"},
      {MenuPlace::kFolder, 1, true, "00101100"},    {MenuPlace::kFolder, 2, false, "00111101"},
      {MenuPlace::kElsewhere, 0, true, "10100000"}, {MenuPlace::kElsewhere, 0, false, "01100000"},
      {MenuPlace::kElsewhere, 1, true, "10101100"}, {MenuPlace::kElsewhere, 3, false, "01111100"},
  };
  for (const auto& c : cases) {
    const shortcuts::MenuState s = shortcuts::MenuStateFor(c.place, c.folder, c.small);
    const bool flags[] = {s.largeIcons, s.smallIcons, s.addGroup,   s.deleteGroup,
                          s.addFile,    s.addWebPage, s.deleteFile, s.rename};
    std::string got;
    for (bool f : flags) got += f ? '1' : '0';
    EXPECT_EQ(got, c.enabled) << static_cast<int>(c.place) << " folder " << c.folder << " small " << c.small;
  }
}

TEST(ShortcutBarModel, DraggedItemsEndBeforeTheirTargetAndFoldersGoWithTheCurrentOne) {
  const struct {
    int from;
    int target;
    const char* order;
  } moves[] = {
      {0, 2, "BACDE"},
      {0, 4, "BCDAE"},
      {3, 1, "ADBCE"},
      {4, 0, "EABCD"},
      {1, CShortcutBarModel::kToEnd, "ACDEB"},
      {0, 1, "ABCDE"},
      {2, 2, "ABCDE"},
      {5, 0, "ABCDE"},
  };
  for (const auto& m : moves) {
    CShortcutBarModel bar;
    bar.AddFolder("f");
    for (char c : std::string("ABCDE")) bar.AddItem(Item(std::string(1, c), ""));
    bar.MoveItem(m.from, m.target);
    std::string order;
    for (int i = 0; i < bar.ItemCount(); ++i) order += bar.Item(i)->name;
    EXPECT_EQ(order, m.order) << m.from << " -> " << m.target;
  }

  CShortcutBarModel bar;
  for (const char* name : {"0", "1", "2", "3"}) bar.AddFolder(name);
  bar.SetCurrentFolder(2);
  EXPECT_TRUE(bar.RemoveFolder(2));
  EXPECT_EQ(bar.CurrentFolder(), 1);
  EXPECT_EQ(Folders(bar), (std::vector<std::string>{"0", "1", "3"}));
  bar.SetCurrentFolder(2);
  EXPECT_TRUE(bar.RemoveFolder(1));
  EXPECT_EQ(bar.CurrentFolder(), 1);
  EXPECT_FALSE(bar.RemoveFolder(5));
}

TEST(ShortcutLayout, ButtonsStackAroundTheCurrentFolderAndItemsScrollWhole) {
  // Four folders in a bar 200 x 300 with folder 1 current.
  const int tops[] = {-1, 21, 256, 278};
  for (int i = 0; i < 4; ++i) {
    const outbar::Rect r = outbar::FolderButton(i, 4, 1, 200, 300);
    EXPECT_EQ(r.top, tops[i]) << i;
    EXPECT_EQ(r.Height(), 22);
    EXPECT_EQ(r.Width(), 200);
  }
  EXPECT_EQ(outbar::FolderButton(3, 4, 3, 200, 300).top, 65);
  const outbar::Rect area = outbar::ItemArea(4, 1, 200, 300);
  EXPECT_EQ(area.top, 43);
  EXPECT_EQ(area.bottom, 256);

  // Small icons: 16 high with a 12-pixel label, 10 apart, 5 in and 5 down.
  const outbar::ItemBox small = outbar::ItemBoxFor(2, 0, true, 12, 40, area);
  EXPECT_EQ(small.icon.left, 5);
  EXPECT_EQ(small.whole.top, 43 + 5 + 2 * 26);
  EXPECT_EQ(small.label.left, 5 + 16 + outbar::kLabelGap);
  // Large icons: centred, label below, 8 apart; a label never wider than the bar less 10.
  const outbar::ItemBox large = outbar::ItemBoxFor(1, 0, false, 12, 500, area);
  EXPECT_EQ(large.icon.left, 100 - 16);
  EXPECT_EQ(large.whole.top, 43 + 5 + (32 + 2 + 12 + 8));
  EXPECT_EQ(large.label.Width(), 190);
  EXPECT_EQ(large.label.top, large.icon.bottom + 2);

  // 213 pixels of item space: 8 small items fit (5 + 7 * 26 + 16 = 203), a ninth does not.
  EXPECT_FALSE(outbar::CanScrollDown(8, 0, true, 12, area));
  EXPECT_TRUE(outbar::CanScrollDown(9, 0, true, 12, area));
  EXPECT_FALSE(outbar::CanScrollDown(9, 1, true, 12, area));
  EXPECT_FALSE(outbar::CanScrollUp(0));
  EXPECT_TRUE(outbar::CanScrollUp(1));
}

}  // namespace
