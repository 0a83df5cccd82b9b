// What the shortcut page decides: the texts it shows, the checks of its three small dialogs, the
// names and addresses it stores, and which context-menu commands apply where.
// Portable: no Windows header.
#pragma once

#include <string>

class CShortcutBarModel;

namespace shortcuts {

// Names of the two folders the bar makes itself.
extern const char kComputerFolder[];
extern const char kSoftwareFolder[];
// The floppy drive's item name.
extern const char kFloppyName[];
// The file beside the program that keeps the folders.
extern const char kSettingsFile[];
extern const char kNoticeTitle[];

// Messages.
extern const char kGroupNameEmpty[];  // the add-group dialog's own refusal
extern const char kTooManyGroups[];   // "添加分组" with kMaxFolders folders
extern const char kContentEmpty[];    // "添加分组" with a blank name after the dialog
extern const char kDeleteGroupQuestion[];
extern const char kFilePathEmpty[];
extern const char kNoFolderPath[];
extern const char kWebNameEmpty[];
extern const char kWebAddressEmpty[];
extern const char kRenameQuestion[];
extern const char kCannotOpen[];

// The web scheme every address of a web item starts with.
extern const char kWebScheme[];

// The text without the blanks (spaces, tabs, line ends) at either end.
std::string TrimBlanks(const std::string& text);
// True when the first seven characters are exactly "http://" (case-sensitive).
bool HasWebScheme(const std::string& text);
// The address as stored: "http://" put in front unless it starts with exactly that.
std::string WebAddress(const std::string& typed);
// The name of an item for a path: the part after the last backslash (double-byte characters read
// as such), or the whole path when that part is empty.
std::string PathItemName(const std::string& path);
// "确定要删除"<folder>"分组中的\n"<item>"栏目吗?"
std::string DeleteItemQuestion(const std::string& folder, const std::string& item);

// The refusal of the add-group dialog's OK: kGroupNameEmpty for a blank name, null when it closes.
const char* GroupDialogRefusal(const std::string& typed);
// The page's answer to a name the add-group dialog gave: kTooManyGroups when the bar is full,
// kContentEmpty for a blank name, null when the folder is to be added (under the trimmed name).
const char* AddGroupRefusal(const CShortcutBarModel& bar, const std::string& typed);
// The add-file dialog's OK: kFilePathEmpty for a blank path, otherwise null.
const char* FileDialogRefusal(const std::string& path);
// The add-web-page dialog's OK: kWebNameEmpty, kWebAddressEmpty or null. Blanks only count as
// empty.
const char* WebDialogRefusal(const std::string& name, const std::string& address);

// Where the context menu was asked for.
enum class MenuPlace { kItem, kFolder, kElsewhere };

// The enabled state of each context-menu command.
struct MenuState {
  bool largeIcons = false;
  bool smallIcons = false;
  bool addGroup = false;
  bool deleteGroup = false;
  bool addFile = false;
  bool addWebPage = false;
  bool deleteFile = false;
  bool rename = false;
};

// The commands that apply at place, with folder the current folder (the right-clicked one for a
// folder button) and the view in force.
MenuState MenuStateFor(MenuPlace place, int folder, bool smallIconView);

}  // namespace shortcuts
