#include "client/launcher/ShortcutPage.h"

#include <windowsx.h>

#include <direct.h>
#include <shellapi.h>

#include <cstdio>

#include "client/launcher/AddFileDlg.h"
#include "client/launcher/AddGroupDlg.h"
#include "client/launcher/AddWebPageDlg.h"
#include "client/launcher/ProfileSystem.h"
#include "client/launcher/ShortcutSettings.h"
#include "client/resources/Resource.h"
#include "client/store/ProgramFolder.h"

namespace {

// The first and last drive numbers probed for folder 0 (C: to Y:).
constexpr int kFirstDrive = 3;
constexpr int kLastDrive = 25;
const char kFloppyPath[] = "A:\\";

bool Enabled(const shortcuts::MenuState& state, int id) {
  switch (id) {
    case ID_SHORTCUT_LARGE_ICONS:
      return state.largeIcons;
    case ID_SHORTCUT_SMALL_ICONS:
      return state.smallIcons;
    case ID_SHORTCUT_ADD_GROUP:
      return state.addGroup;
    case ID_SHORTCUT_DELETE_GROUP:
      return state.deleteGroup;
    case ID_SHORTCUT_ADD_FILE:
      return state.addFile;
    case ID_SHORTCUT_ADD_WEB_PAGE:
      return state.addWebPage;
    case ID_SHORTCUT_DELETE_FILE:
      return state.deleteFile;
    case ID_SHORTCUT_RENAME:
      return state.rename;
    default:
      return false;
  }
}

const int kCommands[] = {ID_SHORTCUT_LARGE_ICONS,  ID_SHORTCUT_SMALL_ICONS, ID_SHORTCUT_ADD_GROUP,
                         ID_SHORTCUT_DELETE_GROUP, ID_SHORTCUT_ADD_FILE,    ID_SHORTCUT_ADD_WEB_PAGE,
                         ID_SHORTCUT_DELETE_FILE,  ID_SHORTCUT_RENAME};

}  // namespace

CShortcutPage::CShortcutPage(const std::string& settingsFile)
    : CSkinnedDialog(IDD_SHORTCUT_PAGE),
      m_settingsFile(settingsFile.empty() ? ProgramFolder() + shortcuts::kSettingsFile : settingsFile) {}

// The window goes while the bar still exists: its destruction saves the bar.
CShortcutPage::~CShortcutPage() {
  if (m_hwnd != nullptr && !IsModal()) DestroyWindow(m_hwnd);
}

bool CShortcutPage::OnInitDialog() {
  RECT client;
  GetClientRect(m_hwnd, &client);
  m_bar.Create(WS_VISIBLE, client, m_hwnd, IDC_SHORTCUT_BAR,
               CGfxOutBarCtrl::kAnimateFolders | CGfxOutBarCtrl::kDragItems | CGfxOutBarCtrl::kEditLabels |
                   CGfxOutBarCtrl::kHighlight | CGfxOutBarCtrl::kAcceptFiles);
  SendMessageA(m_bar.Handle(), WM_SETFONT, static_cast<WPARAM>(SendMessageA(m_hwnd, WM_GETFONT, 0, 0)),
               FALSE);
  m_background.Reset(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SHORTCUT_BACKGROUND),
                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  m_bar.SetBackground(static_cast<HBITMAP>(m_background.Get()));

  // Images 0 to 2 are these three icons; the web page icon follows them.
  m_bar.AddIcon(IDI_DIAG_SERVER);
  m_bar.AddIcon(IDI_ACTIVITY_OFF);
  m_bar.AddIcon(IDI_DIAG_LINK);
  m_bar.SetWebImage(m_bar.AddIcon(IDI_WEB_PAGE));

  m_bar.SetSettingsFile(m_settingsFile);
  StartShortcutBar(m_bar.Model(), ProbeDrives(), ProfileCalls(), m_settingsFile, m_bar);
  m_bar.Refresh();
  return false;
}

std::vector<ShortcutItem> CShortcutPage::ProbeDrives() {
  std::vector<ShortcutItem> drives;
  ShortcutItem floppy;
  floppy.image = m_bar.ShellImage(kFloppyPath);
  if (floppy.image >= 0) {
    floppy.name = shortcuts::kFloppyName;
    floppy.target = floppy.workDir = kFloppyPath;
    drives.push_back(floppy);
  }
  // Making a drive current is how it is found; the program's own current folder comes back
  // afterwards, and an empty removable drive must not ask for a disk.
  char saved[MAX_PATH] = {};
  const DWORD savedLength = GetCurrentDirectoryA(sizeof(saved), saved);
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  for (int drive = kFirstDrive; drive <= kLastDrive; ++drive) {
    if (_chdrive(drive) != 0) continue;
    char path[8];
    std::snprintf(path, sizeof(path), "%c:\\", 'A' + drive - 1);
    ShortcutItem item;
    item.image = m_bar.ShellImage(path);
    if (item.image < 0) continue;
    item.name = item.target = item.workDir = path;
    drives.push_back(item);
  }
  SetErrorMode(oldMode);
  if (savedLength > 0 && savedLength < sizeof(saved)) SetCurrentDirectoryA(saved);
  return drives;
}

bool CShortcutPage::OnCommand(int id, int, HWND) {
  for (int command : kCommands) {
    if (command == id) {
      RunCommand(id);
      return true;
    }
  }
  return false;
}

bool CShortcutPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (CSkinnedDialog::OnMessage(message, wParam, lParam, result)) return true;
  switch (message) {
    case CGfxOutBarCtrl::kNotifyMessage:
      result = OnBarNotify(static_cast<int>(wParam), lParam);
      return true;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) != m_bar.Handle()) return false;
      ShowContextMenu(lParam);
      result = 0;
      return true;
    case WM_SIZE:
      if (m_bar.Handle() != nullptr) MoveWindow(m_bar.Handle(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return false;
    case WM_DESTROY:
      m_bar.Save();
      return false;
    default:
      return false;
  }
}

// A page is part of the main window: the keys that would end a dialog must not end it.
void CShortcutPage::OnOK() {}

void CShortcutPage::OnCancel() {}

HMENU CShortcutPage::CreateContextMenu(shortcuts::MenuPlace place, HMENU* owner) const {
  *owner = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_SHORTCUT_MENU));
  if (*owner == nullptr) return nullptr;
  HMENU menu = GetSubMenu(*owner, 0);
  const shortcuts::MenuState state =
      shortcuts::MenuStateFor(place, m_bar.CurrentFolder(), m_bar.IsSmallIconView());
  for (int id : kCommands) {
    EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (Enabled(state, id) ? MF_ENABLED : MF_GRAYED));
  }
  return menu;
}

void CShortcutPage::ShowContextMenu(LPARAM screenPoint) {
  POINT screen = {GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)};
  // From the keyboard the menu comes without a point: it opens over the bar's middle.
  const bool keyboard = screenPoint == static_cast<LPARAM>(-1);
  if (keyboard) {
    RECT r;
    GetWindowRect(m_bar.Handle(), &r);
    screen.x = (r.left + r.right) / 2;
    screen.y = (r.top + r.bottom) / 2;
  }
  POINT client = screen;
  ScreenToClient(m_bar.Handle(), &client);
  int index = -1;
  const CGfxOutBarCtrl::Hit hit = keyboard ? CGfxOutBarCtrl::Hit::kItemSpace : m_bar.HitTest(client, &index);
  if (hit == CGfxOutBarCtrl::Hit::kFolder) {
    m_bar.SetCurrentFolder(index);
    m_place = shortcuts::MenuPlace::kFolder;
  } else if (hit == CGfxOutBarCtrl::Hit::kItem) {
    m_place = shortcuts::MenuPlace::kItem;
  } else {
    m_place = shortcuts::MenuPlace::kElsewhere;
    index = -1;
  }
  m_placeIndex = index;

  HMENU owner = nullptr;
  HMENU menu = CreateContextMenu(m_place, &owner);
  if (menu == nullptr) return;
  const int command = static_cast<int>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                                                      screen.x, screen.y, 0, m_hwnd, nullptr));
  DestroyMenu(owner);
  // The menu's loop must see one more message to close for good when the click went elsewhere.
  PostMessageA(m_hwnd, WM_NULL, 0, 0);
  if (command != 0) RunCommand(command);
}

void CShortcutPage::RunCommand(int id) {
  const shortcuts::MenuState state =
      shortcuts::MenuStateFor(m_place, m_bar.CurrentFolder(), m_bar.IsSmallIconView());
  const bool applies = Enabled(state, id);
  const int before = m_bar.CurrentFolder();
  bool keepCurrent = true;
  if (applies) {
    switch (id) {
      case ID_SHORTCUT_LARGE_ICONS:
      case ID_SHORTCUT_SMALL_ICONS:
        m_bar.SetSmallIconView(id == ID_SHORTCUT_SMALL_ICONS);
        break;
      case ID_SHORTCUT_ADD_GROUP:
        AddGroup();
        break;
      case ID_SHORTCUT_DELETE_GROUP:
        keepCurrent = !DeleteGroup();
        break;
      case ID_SHORTCUT_ADD_FILE:
        AddFile();
        break;
      case ID_SHORTCUT_ADD_WEB_PAGE:
        AddWebPage();
        break;
      case ID_SHORTCUT_DELETE_FILE:
        DeleteItem();
        break;
      case ID_SHORTCUT_RENAME:
        Rename();
        break;
      default:
        break;
    }
  }
  // The place of a right click serves one command.
  m_place = shortcuts::MenuPlace::kElsewhere;
  m_placeIndex = -1;
  if (!applies || id == ID_SHORTCUT_LARGE_ICONS || id == ID_SHORTCUT_SMALL_ICONS) return;
  m_bar.Save();
  if (keepCurrent) {
    m_bar.SetCurrentFolder(before);
  } else {
    m_bar.SetCurrentFolder(m_bar.FolderCount() - 1);
  }
}

void CShortcutPage::AddGroup() {
  CAddGroupDlg dialog;
  if (dialog.DoModal(m_hwnd) != IDOK) return;
  if (const char* refusal = shortcuts::AddGroupRefusal(m_bar.Model(), dialog.name)) {
    Tell(refusal);
    return;
  }
  m_bar.AddFolder(shortcuts::TrimBlanks(dialog.name));
}

bool CShortcutPage::DeleteGroup() {
  if (!Ask(shortcuts::kDeleteGroupQuestion)) return false;
  return m_bar.RemoveFolder(m_bar.CurrentFolder());
}

void CShortcutPage::AddFile() {
  CAddFileDlg dialog;
  if (dialog.DoModal(m_hwnd) != IDOK) return;
  const std::string path = shortcuts::TrimBlanks(dialog.path);
  ShortcutItem item;
  item.image = m_bar.ShellImage(path);
  if (item.image < 0) return;
  item.name = shortcuts::PathItemName(path);
  item.target = item.workDir = path;
  m_bar.AddItem(item);
}

void CShortcutPage::AddWebPage() {
  CAddWebPageDlg dialog;
  if (dialog.DoModal(m_hwnd) != IDOK) return;
  ShortcutItem item;
  item.image = m_bar.WebImage();
  item.name = shortcuts::TrimBlanks(dialog.name);
  item.target = item.workDir = shortcuts::WebAddress(shortcuts::TrimBlanks(dialog.address));
  m_bar.AddItem(item);
}

void CShortcutPage::DeleteItem() {
  const int item = m_placeIndex;
  if (item < 0 || item >= m_bar.ItemCount()) return;
  const std::string question =
      shortcuts::DeleteItemQuestion(m_bar.FolderName(m_bar.CurrentFolder()), m_bar.ItemName(item));
  if (Ask(question)) m_bar.RemoveItem(item);
}

void CShortcutPage::Rename() {
  const shortcuts::MenuPlace place = m_place;
  const int index = m_placeIndex;
  if (!Ask(shortcuts::kRenameQuestion)) return;
  if (place == shortcuts::MenuPlace::kFolder) {
    m_bar.EditFolderLabel(index);
  } else if (place == shortcuts::MenuPlace::kItem) {
    m_bar.EditItemLabel(index);
  }
}

LRESULT CShortcutPage::OnBarNotify(int code, LPARAM data) {
  switch (code) {
    case CGfxOutBarCtrl::kItemClicked:
      OpenItem(static_cast<int>(data));
      return 0;
    case CGfxOutBarCtrl::kItemRenamed:
    case CGfxOutBarCtrl::kFolderRenamed:
    case CGfxOutBarCtrl::kItemDragged:
      return 1;
    default:
      return 0;
  }
}

void CShortcutPage::OpenItem(int index) {
  if (index < 0 || index >= m_bar.ItemCount()) return;
  const std::string target = m_bar.ItemTarget(index);
  const std::string parameters = m_bar.ItemParameters(index);
  const std::string workDir = m_bar.ItemWorkDir(index);
  const HINSTANCE result =
      ShellExecuteA(m_hwnd, nullptr, target.c_str(), parameters.c_str(), workDir.c_str(), SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32) Tell(shortcuts::kCannotOpen);
}

bool CShortcutPage::Ask(const std::string& question) const {
  return MessageBoxA(m_hwnd, question.c_str(), shortcuts::kNoticeTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CShortcutPage::Tell(const char* text) const {
  MessageBoxA(m_hwnd, text, shortcuts::kNoticeTitle, MB_OK | MB_ICONINFORMATION);
}
