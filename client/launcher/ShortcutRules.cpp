#include "client/launcher/ShortcutRules.h"

#include <cstring>

#include "client/launcher/ShortcutBarModel.h"

namespace shortcuts {

const char kComputerFolder[] = "我的电脑";
const char kSoftwareFolder[] = "常用软件";
const char kFloppyName[] = "软驱";
const char kSettingsFile[] = "Settings.ini";
const char kNoticeTitle[] = "提示";

const char kGroupNameEmpty[] = "输入的组名不能为空！";
const char kTooManyGroups[] = "分组最多不能超过8个！";
const char kContentEmpty[] = "所填的内容不能为空！";
const char kDeleteGroupQuestion[] = "删除该分组会将其包含的所有栏目\n一并删除，确定是否继续?";
const char kFilePathEmpty[] = "文件路径不能为空！";
const char kNoFolderPath[] = "不能提取此路径！";
const char kWebNameEmpty[] = "请填写网站名称！";
const char kWebAddressEmpty[] = "请填写网站地址！";
const char kRenameQuestion[] = "是否重新命名该栏目？";
const char kCannotOpen[] = "无法打开该文件！";

const char kWebScheme[] = "http://";

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string TrimBlanks(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool HasWebScheme(const std::string& text) {
  return text.compare(0, std::strlen(kWebScheme), kWebScheme) == 0;
}

std::string WebAddress(const std::string& typed) {
  return HasWebScheme(typed) ? typed : kWebScheme + typed;
}

std::string PathItemName(const std::string& path) {
  // In the double-byte code page a trail byte may look like a backslash; only a backslash that
  // stands as a character of its own separates.
  size_t after = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c >= 0x81 && i + 1 < path.size()) {
      ++i;
    } else if (c == '\\') {
      after = i + 1;
    }
  }
  const std::string name = path.substr(after);
  return name.empty() ? path : name;
}

std::string DeleteItemQuestion(const std::string& folder, const std::string& item) {
  return std::string("确定要删除") + "\"" + folder + "\"" + "分组中的" + "\n" + "\"" + item + "\"" +
         "栏目吗?";
}

const char* GroupDialogRefusal(const std::string& typed) {
  return TrimBlanks(typed).empty() ? kGroupNameEmpty : nullptr;
}

const char* AddGroupRefusal(const CShortcutBarModel& bar, const std::string& typed) {
  if (bar.FolderCount() >= CShortcutBarModel::kMaxFolders) return kTooManyGroups;
  if (TrimBlanks(typed).empty()) return kContentEmpty;
  return nullptr;
}

const char* FileDialogRefusal(const std::string& path) {
  return TrimBlanks(path).empty() ? kFilePathEmpty : nullptr;
}

const char* WebDialogRefusal(const std::string& name, const std::string& address) {
  if (TrimBlanks(name).empty()) return kWebNameEmpty;
  if (TrimBlanks(address).empty()) return kWebAddressEmpty;
  return nullptr;
}

MenuState MenuStateFor(MenuPlace place, int folder, bool smallIconView) {
  MenuState state;
  switch (place) {
    case MenuPlace::kItem:
      state.deleteFile = true;
      state.rename = true;
      break;
    case MenuPlace::kFolder:
      state.addGroup = true;
      state.deleteGroup = folder > 1;
      state.addFile = folder > 0;
      state.addWebPage = folder > 0;
      state.rename = folder > 1;
      break;
    case MenuPlace::kElsewhere:
      state.largeIcons = smallIconView;
      state.smallIcons = !smallIconView;
      state.addGroup = true;
      state.deleteGroup = folder > 1;
      state.addFile = folder > 0;
      state.addWebPage = folder > 0;
      break;
  }
  return state;
}

}  // namespace shortcuts
