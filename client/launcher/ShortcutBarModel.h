// CShortcutBarModel: the content of the shortcut bar, without a window: folders in order, the
// items of each, the current folder and the view. Folder 0 is "我的电脑" and folder 1 normally
// "常用软件"; the bar never holds more than kMaxFolders folders.
// Portable: no Windows header.
#pragma once

#include <string>
#include <vector>

// One shortcut. The image indexes both image lists of the bar.
struct ShortcutItem {
  int image = 0;
  int data = 0;
  std::string name;
  int flags = 0;
  std::string target;
  // A second copy of the target, handed to the shell as the working directory.
  std::string workDir;
  std::string parameters;
};

struct ShortcutFolder {
  std::string name;
  std::vector<ShortcutItem> items;
};

class CShortcutBarModel {
 public:
  static constexpr int kMaxFolders = 8;
  // A move target: the end of the folder.
  static constexpr int kToEnd = -1;

  int FolderCount() const { return static_cast<int>(m_folders.size()); }
  // Appends a folder; returns its index, or -1 when kMaxFolders exist already.
  int AddFolder(const std::string& name);
  // Removes a folder with its items. A current folder at or after it moves one place back (never
  // below 0). False for an index out of range.
  bool RemoveFolder(int index);
  // The folder's name; empty for an index out of range.
  std::string FolderName(int index) const;
  bool SetFolderName(int index, const std::string& name);

  // The current folder; -1 while there is none.
  int CurrentFolder() const { return m_current; }
  // False (and nothing changes) for an index out of range.
  bool SetCurrentFolder(int index);

  // Items of a folder, or of the current one; 0 for a folder out of range.
  int ItemCount(int folder) const;
  int ItemCount() const { return ItemCount(m_current); }
  // Appends an item to a folder, or to the current one; returns its index, or -1 when the folder
  // does not exist.
  int AddItem(int folder, const ShortcutItem& item);
  int AddItem(const ShortcutItem& item) { return AddItem(m_current, item); }
  // Removes an item of the current folder; false for an index out of range.
  bool RemoveItem(int index);
  // An item of a folder, or of the current one; null when out of range. The pointer is good until
  // the folder changes.
  const ShortcutItem* Item(int folder, int index) const;
  const ShortcutItem* Item(int index) const { return Item(m_current, index); }
  bool SetItemName(int index, const std::string& name);

  // Moves an item of the current folder dropped on the item at target: it takes that item's place,
  // one place earlier when it comes from above, so that it ends just before the target. kToEnd
  // moves it to the end. False for an index out of range and for target == from.
  bool MoveItem(int from, int target);

  bool IsSmallIconView() const { return m_smallIcons; }
  void SetSmallIconView(bool small) { m_smallIcons = small; }

 private:
  ShortcutFolder* Folder(int index);
  const ShortcutFolder* Folder(int index) const;

  std::vector<ShortcutFolder> m_folders;
  int m_current = -1;
  bool m_smallIcons = true;
};
