#include "client/core/MainDlg.h"

#include <windows.h>

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "client/core/AppTexts.h"
#include "client/core/Connection.h"
#include "client/core/ToolbarResource.h"
#include "client/resources/Resource.h"
#include "common/ui/Images.h"

namespace {

constexpr int kToolbarId = 0xE800;
constexpr COLORREF kMenuColour = RGB(128, 245, 254);
// The resource type of toolbar resources.
constexpr WORD kToolbarResourceType = 241;

// The commands of toolbar resource 137, in order; empty when the resource is missing or damaged.
std::vector<unsigned> LoadToolbarCommands(int id) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(kToolbarResourceType));
  if (found == nullptr) return std::vector<unsigned>();
  HGLOBAL loaded = LoadResource(instance, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  ToolbarResource toolbar;
  if (!ParseToolbarResource(data, SizeofResource(instance, found), toolbar)) return std::vector<unsigned>();
  return toolbar.commands;
}

}  // namespace

void CMainDlg::CreateToolbar() {
  m_toolbar = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                  CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                              0, 0, 0, 0, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolbarId)),
                              GetModuleHandleA(nullptr), nullptr);
  if (m_toolbar == nullptr) {
    MessageBoxA(m_hwnd, "创建工具栏失败!", app::kNotice, MB_OK | MB_ICONERROR);
    // The engine still writes the texts and menu items of a window without a toolbar.
    m_connection.View().Attach(m_hwnd, nullptr);
    return;
  }
  SendMessageA(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  const std::vector<unsigned> commands = LoadToolbarCommands(IDR_TOOLBAR);
  m_toolbarImages.Reset(ui::LoadMaskedStrip(IDR_TOOLBAR, 48, 48));
  m_toolbarDisabledImages.Reset(ui::LoadMaskedStrip(IDB_TOOLBAR_DISABLED, 48, 48));
  if (commands.empty() || !m_toolbarImages.Valid()) {
    MessageBoxA(m_hwnd, "加载工具栏资源失败!", app::kNotice, MB_OK | MB_ICONERROR);
  } else {
    SendMessageA(m_toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(48, 48));
    SendMessageA(m_toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_toolbarImages.Get()));
    SendMessageA(m_toolbar, TB_SETDISABLEDIMAGELIST, 0,
                 reinterpret_cast<LPARAM>(m_toolbarDisabledImages.Get()));
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (unsigned command : commands) {
      TBBUTTON button;
      std::memset(&button, 0, sizeof(button));
      if (command == 0) {
        button.fsStyle = BTNS_SEP;
      } else {
        button.iBitmap = image++;
        button.idCommand = command;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON;
        button.iString = -1;
      }
      buttons.push_back(button);
    }
    SendMessageA(m_toolbar, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  }
  SendMessageA(m_toolbar, TB_ENABLEBUTTON, ID_DISCONNECT, MAKELPARAM(FALSE, 0));

  // The toolbar takes the top of the client area, left of the caption buttons.
  RECT client;
  GetClientRect(m_hwnd, &client);
  RECT minimize;
  GetWindowRect(Item(IDC_CAPTION_MINIMIZE), &minimize);
  MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&minimize), 2);
  const DWORD size = static_cast<DWORD>(SendMessageA(m_toolbar, TB_GETBUTTONSIZE, 0, 0));
  SetWindowPos(m_toolbar, nullptr, 2, 2, minimize.left - 4, HIWORD(size) + 2, SWP_NOZORDER | SWP_NOACTIVATE);
  m_connection.View().Attach(m_hwnd, m_toolbar);
}

void CMainDlg::ColourMenus() {
  HMENU bar = GetMenu(m_hwnd);
  if (bar == nullptr) return;
  m_menuBrush.Reset(CreateSolidBrush(kMenuColour));
  MENUINFO info;
  std::memset(&info, 0, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
  info.hbrBack = static_cast<HBRUSH>(m_menuBrush.Get());
  SetMenuInfo(bar, &info);
  // Hang-up and statistics wait for a connection.
  m_connection.View().ShowConnectionDown();
}

bool CMainDlg::OnToolbarTip(NMHDR* header, LRESULT& result) {
  // The toolbar's tooltips ask for their text by command: the string with the command's number.
  if (header->code == TTN_GETDISPINFOA) {
    NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(header);
    info->szText[0] = '\0';
    LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(header->idFrom), info->szText,
                sizeof(info->szText));
    info->lpszText = info->szText;
    result = 0;
    return true;
  }
  if (header->code == TTN_GETDISPINFOW) {
    NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->szText[0] = L'\0';
    LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(header->idFrom), info->szText,
                sizeof(info->szText) / sizeof(info->szText[0]));
    info->lpszText = info->szText;
    result = 0;
    return true;
  }
  return false;
}
