#include "client/launcher/ShortcutSettings.h"

#include <cstdio>

#include "client/launcher/ShortcutRules.h"

namespace {

const char kStatus[] = "Status";
const char kActiveFolder[] = "ActiveFolder";
const char kSmallIconView[] = "IsSmallIconView";
const char kFolderCount[] = "FolderCount";
const char kFolderSection[] = "Folder";
const char kItemCountSection[] = "ItemCount";

std::string Number(int value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%d", value);
  return text;
}

std::string ReadString(const ProfileSystem& profile, const std::string& section, const std::string& key,
                       const std::string& file) {
  char value[kProfileValueSize] = {};
  profile.getString(section.c_str(), key.c_str(), "", value, sizeof(value), file.c_str());
  value[sizeof(value) - 1] = '\0';
  return value;
}

int ReadInt(const ProfileSystem& profile, const char* section, const std::string& key, int fallback,
            const std::string& file) {
  return static_cast<int>(profile.getInt(section, key.c_str(), fallback, file.c_str()));
}

bool Write(const ProfileSystem& profile, const std::string& section, const std::string& key,
           const std::string& value, const std::string& file) {
  return profile.writeString(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

}  // namespace

void LoadShortcutSettings(CShortcutBarModel& bar, const ProfileSystem& profile, const std::string& file,
                          IShortcutIcons& icons) {
  bar.SetSmallIconView(ReadInt(profile, kStatus, kSmallIconView, 1, file) == 1);

  const int savedFolders = ReadInt(profile, kStatus, kFolderCount, 1, file);
  // Saved folder i lands after the folders the bar has already; its items must follow it there.
  std::vector<int> placeOf;
  for (int i = 1; i < savedFolders; ++i) {
    const int index = bar.AddFolder(ReadString(profile, kFolderSection, Number(i), file));
    if (index < 0) break;
    placeOf.push_back(index);
  }

  for (size_t k = 0; k < placeOf.size(); ++k) {
    const std::string section = Number(static_cast<int>(k) + 1);
    int count = ReadInt(profile, kItemCountSection, section, 0, file);
    if (count > kMaxItemsRead) count = kMaxItemsRead;
    for (int n = 1; n <= count; ++n) {
      ShortcutItem item;
      item.name = ReadString(profile, section, Number(n), file);
      item.target = ReadString(profile, section, Number(n) + "n", file);
      item.workDir = item.target;
      // A web address has no icon of the shell; every other target needs one.
      if (shortcuts::HasWebScheme(item.target)) {
        item.image = icons.WebImage();
      } else {
        item.image = icons.ShellImage(item.target);
        if (item.image < 0) continue;
      }
      bar.AddItem(placeOf[k], item);
    }
  }

  bar.SetCurrentFolder(ReadInt(profile, kStatus, kActiveFolder, 0, file));
}

bool SaveShortcutSettings(const CShortcutBarModel& bar, const ProfileSystem& profile,
                          const std::string& file) {
  bool written = Write(profile, kStatus, kActiveFolder, Number(bar.CurrentFolder()), file);
  written &= Write(profile, kStatus, kSmallIconView, bar.IsSmallIconView() ? "1" : "0", file);
  written &= Write(profile, kStatus, kFolderCount, Number(bar.FolderCount()), file);
  for (int i = 1; i < bar.FolderCount(); ++i) {
    written &= Write(profile, kFolderSection, Number(i), bar.FolderName(i), file);
  }
  for (int i = 1; i < bar.FolderCount(); ++i) {
    written &= Write(profile, kItemCountSection, Number(i), Number(bar.ItemCount(i)), file);
  }
  for (int i = 1; i < bar.FolderCount(); ++i) {
    const std::string section = Number(i);
    for (int n = 0; n < bar.ItemCount(i); ++n) {
      const ShortcutItem* item = bar.Item(i, n);
      const std::string key = Number(n + 1);
      written &= Write(profile, section, key, item->name.empty() ? item->target : item->name, file);
      written &= Write(profile, section, key + "n", item->target, file);
    }
  }
  return written;
}

void StartShortcutBar(CShortcutBarModel& bar, const std::vector<ShortcutItem>& drives,
                      const ProfileSystem& profile, const std::string& file, IShortcutIcons& icons) {
  bar.AddFolder(shortcuts::kComputerFolder);
  if (ReadString(profile, kFolderSection, "1", file) != shortcuts::kSoftwareFolder) {
    bar.AddFolder(shortcuts::kSoftwareFolder);
  }
  for (const ShortcutItem& drive : drives) bar.AddItem(0, drive);
  LoadShortcutSettings(bar, profile, file, icons);
  SaveShortcutSettings(bar, profile, file);
  bar.SetCurrentFolder(0);
}
