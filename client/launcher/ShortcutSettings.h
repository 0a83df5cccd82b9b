// "Settings.ini": the saved folders and items of the shortcut bar, read and written through the
// profile calls. Folder 0 is never written; keys of removed folders and items stay in the file, and
// the counts decide what is read.
//
//   [Status]     ActiveFolder, IsSmallIconView (1 small), FolderCount (folder 0 included)
//   [Folder]     1 .. FolderCount-1: folder names
//   [ItemCount]  1 .. FolderCount-1: items of each folder
//   [<folder>]   <n>: display name (the target when the name is empty), <n>n: target
//
// Portable: no Windows header.
#pragma once

#include <string>
#include <vector>

#include "client/launcher/ProfileSystem.h"
#include "client/launcher/ShortcutBarModel.h"

// Where the images of loaded items come from.
class IShortcutIcons {
 public:
  virtual ~IShortcutIcons() = default;
  // The image of web items.
  virtual int WebImage() = 0;
  // The image of the shell's icon for a path; -1 when the shell gives none.
  virtual int ShellImage(const std::string& path) = 0;
};

// Values are read with a buffer of this size: longer ones come back cut to 255 bytes.
constexpr unsigned long kProfileValueSize = 256;
// Items read per folder at most, whatever its count says.
constexpr int kMaxItemsRead = 1000;

// Appends the saved folders after those the bar has, with their items, sets the view and makes
// the saved active folder current (when it exists). The items of saved folder i go to the folder
// made from its name, even when the bar held more than folder 0 before; folders past the limit are
// skipped with their items. Web addresses get the web image; other targets get the shell's icon,
// and are left out when it has none.
void LoadShortcutSettings(CShortcutBarModel& bar, const ProfileSystem& profile, const std::string& file,
                          IShortcutIcons& icons);

// Writes the whole bar from folder 1 on. The current folder stays as it is. False when a write
// failed (the others are still made).
bool SaveShortcutSettings(const CShortcutBarModel& bar, const ProfileSystem& profile,
                          const std::string& file);

// Builds the bar at start: folder 0 "我的电脑" with the drive items given, "常用软件" unless the
// file's folder 1 is exactly that, then the saved content; saves it at once and makes folder 0
// current. The bar must be empty.
void StartShortcutBar(CShortcutBarModel& bar, const std::vector<ShortcutItem>& drives,
                      const ProfileSystem& profile, const std::string& file, IShortcutIcons& icons);
