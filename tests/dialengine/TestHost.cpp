#include "TestHost.h"

#include <commctrl.h>

#include "dialengine/HostWindow.h"

namespace {

const char kClassName[] = "LinkwellTestHost";

void AddItem(HMENU menu, UINT id, const char* text) {
  AppendMenuA(menu, MF_STRING, id, text);
}

}  // namespace

LRESULT CALLBACK TestHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPingMessage) {
    TestHost* host = reinterpret_cast<TestHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (host) ++host->m_pings;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TestHost::TestHost() : m_window(nullptr), m_toolbar(nullptr), m_pings(0) {
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = &TestHost::WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);

  HMENU bar = CreateMenu();
  HMENU connection = CreatePopupMenu();
  AddItem(connection, 40001, "登陆Ctrl+N (&N)");
  AppendMenuA(connection, MF_SEPARATOR, 0, nullptr);
  AddItem(connection, 40002, "注销Ctrl+D (&D)");
  HMENU tools = CreatePopupMenu();
  AddItem(tools, 40003, "a");
  AddItem(tools, 40004, "b");
  AddItem(tools, 40005, "统计");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(connection), "0");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), "1");

  m_window = CreateWindowExA(0, kClassName, "host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, bar,
                             GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  for (int id = 1013; id <= 1016; ++id) {
    CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 20 * (id - 1013), 280, 18, m_window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  }
  m_toolbar =
      CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | CCS_NOPARENTALIGN | CCS_NORESIZE, 0, 100, 280, 30,
                      m_window, reinterpret_cast<HMENU>(200), GetModuleHandleA(nullptr), nullptr);
  SendMessageA(m_toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON buttons[2] = {};
  buttons[0].iBitmap = I_IMAGENONE;
  buttons[0].idCommand = 32781;
  buttons[0].fsState = TBSTATE_ENABLED;
  buttons[0].fsStyle = BTNS_BUTTON;
  buttons[1] = buttons[0];
  buttons[1].idCommand = 32782;
  SendMessageA(m_toolbar, TB_ADDBUTTONSA, 2, reinterpret_cast<LPARAM>(buttons));
  Register();
  Reset();
}

TestHost::~TestHost() {
  LinkwellRegisterHost(nullptr, nullptr);
  DestroyWindow(m_window);
}

void TestHost::Register() {
  LinkwellRegisterHost(m_window, m_toolbar);
}

std::string TestHost::Text(int controlId) const {
  char text[512] = "";
  GetDlgItemTextA(m_window, controlId, text, sizeof(text));
  return text;
}

void TestHost::SetText(int controlId, const char* text) {
  SetDlgItemTextA(m_window, controlId, text);
}

bool TestHost::ButtonEnabled(int commandId) const {
  return SendMessageA(m_toolbar, TB_ISBUTTONENABLED, static_cast<WPARAM>(commandId), 0) != 0;
}

void TestHost::SetButton(int commandId, bool enable) {
  SendMessageA(m_toolbar, TB_ENABLEBUTTON, static_cast<WPARAM>(commandId), MAKELPARAM(enable ? 1 : 0, 0));
}

bool TestHost::MenuItemEnabled(int menuPos, unsigned itemPos) const {
  UINT state = GetMenuState(GetSubMenu(GetMenu(m_window), menuPos), itemPos, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) == 0;
}

void TestHost::SetMenuItem(int menuPos, unsigned itemPos, bool enable) {
  EnableMenuItem(GetSubMenu(GetMenu(m_window), menuPos), itemPos,
                 MF_BYPOSITION | (enable ? MF_ENABLED : (MF_GRAYED | MF_DISABLED)));
}

void TestHost::Reset() {
  SetText(1013, "ip?");
  SetText(1014, "name?");
  SetText(1015, "status?");
  SetText(1016, "message?");
  SetButton(32781, true);
  SetButton(32782, true);
  SetMenuItem(0, 0, true);
  SetMenuItem(0, 2, true);
  SetMenuItem(1, 2, true);
  m_pings = 0;
}

bool PumpUntil(bool (*done)(void*), void* context, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  MSG message;
  while (!done(context)) {
    if (GetTickCount() - start > timeoutMs) return false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}
