#include "client/launcher/GfxOutBarCtrl.h"

#include <windowsx.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "client/launcher/ShortcutRules.h"
#include "client/resources/Resource.h"
#include "common/TextCopy.h"
#include "common/ui/Images.h"
#include "common/ui/Skin.h"

namespace {

const char kClassName[] = "QuillonOutBar";

// Folder switches slide in this many steps, this far apart.
constexpr int kSlideSteps = 8;
constexpr DWORD kSlideStepMs = 12;

const COLORREF kButtonFace = RGB(205, 224, 246);
const COLORREF kButtonHot = RGB(228, 239, 252);
const COLORREF kDropMark = RGB(20, 40, 70);

// The bar whose label edit is open on this thread; the key hook has no pointer of its own.
thread_local CGfxOutBarCtrl* t_editing = nullptr;

RECT ToRect(const outbar::Rect& r) {
  RECT out = {r.left, r.top, r.right, r.bottom};
  return out;
}

bool RegisterBarClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSA existing;
  if (GetClassInfoA(instance, kClassName, &existing)) return true;
  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof(wc));
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc) != 0;
}

bool EndsWithNoCase(const std::string& text, const char* tail) {
  const size_t n = std::strlen(tail);
  return text.size() >= n && lstrcmpiA(text.c_str() + text.size() - n, tail) == 0;
}

}  // namespace

CGfxOutBarCtrl::CGfxOutBarCtrl() = default;

CGfxOutBarCtrl::~CGfxOutBarCtrl() {
  if (m_keyHook != nullptr) UnhookWindowsHookEx(m_keyHook);
  if (t_editing == this) t_editing = nullptr;
  if (m_hwnd != nullptr) DestroyWindow(m_hwnd);
}

bool CGfxOutBarCtrl::Create(DWORD style, const RECT& rect, HWND owner, UINT id, DWORD flags) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterBarClass(instance, WindowProc)) return false;
  m_owner = owner;
  m_flags = flags;
  if (!m_smallImages.Valid()) {
    m_smallImages.Reset(
        ImageList_Create(outbar::kSmallIconSize, outbar::kSmallIconSize, ILC_COLOR32 | ILC_MASK, 8, 8));
    m_largeImages.Reset(
        ImageList_Create(outbar::kLargeIconSize, outbar::kLargeIconSize, ILC_COLOR32 | ILC_MASK, 8, 8));
  }
  const DWORD exStyle = (flags & kAcceptFiles) ? WS_EX_ACCEPTFILES : 0;
  HWND window = CreateWindowExA(exStyle, kClassName, "", style | WS_CHILD | WS_CLIPCHILDREN, rect.left,
                                rect.top, rect.right - rect.left, rect.bottom - rect.top, owner,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
  return window != nullptr;
}

int CGfxOutBarCtrl::AddIcon(int resourceId) {
  ui::CIcon small(ui::LoadIconSized(resourceId, outbar::kSmallIconSize));
  ui::CIcon large(ui::LoadIconSized(resourceId, outbar::kLargeIconSize));
  if (!small.Valid() || !large.Valid()) return -1;
  const int index = ImageList_AddIcon(m_smallImages.Get(), small.Get());
  if (index < 0) return -1;
  if (ImageList_AddIcon(m_largeImages.Get(), large.Get()) != index) {
    ImageList_Remove(m_smallImages.Get(), index);
    return -1;
  }
  return index;
}

int CGfxOutBarCtrl::ShellImage(const std::string& path) {
  if (path.empty()) return -1;
  SHFILEINFOA small;
  std::memset(&small, 0, sizeof(small));
  if (SHGetFileInfoA(path.c_str(), 0, &small, sizeof(small), SHGFI_ICON | SHGFI_SMALLICON) == 0 ||
      small.hIcon == nullptr) {
    return -1;
  }
  ui::CIcon smallIcon(small.hIcon);
  SHFILEINFOA large;
  std::memset(&large, 0, sizeof(large));
  if (SHGetFileInfoA(path.c_str(), 0, &large, sizeof(large), SHGFI_ICON | SHGFI_LARGEICON) == 0 ||
      large.hIcon == nullptr) {
    return -1;
  }
  ui::CIcon largeIcon(large.hIcon);
  const int index = ImageList_AddIcon(m_smallImages.Get(), smallIcon.Get());
  if (index < 0) return -1;
  if (ImageList_AddIcon(m_largeImages.Get(), largeIcon.Get()) != index) {
    ImageList_Remove(m_smallImages.Get(), index);
    return -1;
  }
  return index;
}

void CGfxOutBarCtrl::SetBackground(HBITMAP bitmap) {
  m_background = bitmap;
  if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
}

bool CGfxOutBarCtrl::Save() const {
  if (m_settingsFile.empty()) return false;
  return SaveShortcutSettings(m_model, ProfileCalls(), m_settingsFile);
}

void CGfxOutBarCtrl::Refresh() {
  KeepScrollInRange();
  UpdateCaption();
  if (m_hwnd != nullptr) InvalidateRect(m_hwnd, nullptr, FALSE);
}

int CGfxOutBarCtrl::AddFolder(const std::string& name) {
  const int index = m_model.AddFolder(name);
  Refresh();
  return index;
}

bool CGfxOutBarCtrl::RemoveFolder(int index) {
  const int before = m_model.CurrentFolder();
  if (!m_model.RemoveFolder(index)) return false;
  m_hotFolder = m_hotItem = -1;
  if (m_model.CurrentFolder() != before || index == before) m_first = 0;
  Refresh();
  return true;
}

void CGfxOutBarCtrl::SetCurrentFolder(int index) {
  const int from = m_model.CurrentFolder();
  if (index == from || index < 0 || index >= m_model.FolderCount()) return;
  if (m_edit != nullptr) EndEdit(true);
  if ((m_flags & kAnimateFolders) && m_hwnd != nullptr && IsWindowVisible(m_hwnd)) AnimateSwitch(from, index);
  m_model.SetCurrentFolder(index);
  m_first = 0;
  m_hotItem = -1;
  Refresh();
  Notify(kFolderChanged, index);
}

int CGfxOutBarCtrl::AddItem(const ShortcutItem& item) {
  const int index = m_model.AddItem(item);
  Refresh();
  return index;
}

bool CGfxOutBarCtrl::RemoveItem(int index) {
  if (!m_model.RemoveItem(index)) return false;
  m_hotItem = -1;
  Refresh();
  return true;
}

std::string CGfxOutBarCtrl::ItemName(int index) const {
  const ShortcutItem* item = m_model.Item(index);
  return item ? item->name : std::string();
}

std::string CGfxOutBarCtrl::ItemTarget(int index) const {
  const ShortcutItem* item = m_model.Item(index);
  return item ? item->target : std::string();
}

std::string CGfxOutBarCtrl::ItemWorkDir(int index) const {
  const ShortcutItem* item = m_model.Item(index);
  return item ? item->workDir : std::string();
}

std::string CGfxOutBarCtrl::ItemParameters(int index) const {
  const ShortcutItem* item = m_model.Item(index);
  return item ? item->parameters : std::string();
}

void CGfxOutBarCtrl::SetSmallIconView(bool small) {
  if (m_model.IsSmallIconView() == small) return;
  if (m_edit != nullptr) EndEdit(true);
  m_model.SetSmallIconView(small);
  Refresh();
  if (m_hwnd != nullptr) UpdateWindow(m_hwnd);
}

SIZE CGfxOutBarCtrl::Client() const {
  RECT r = {0, 0, 0, 0};
  if (m_hwnd != nullptr) GetClientRect(m_hwnd, &r);
  SIZE size = {r.right, r.bottom};
  return size;
}

outbar::Rect CGfxOutBarCtrl::FolderRect(int folder) const {
  const SIZE size = Client();
  return outbar::FolderButton(folder, m_model.FolderCount(), m_model.CurrentFolder(), size.cx, size.cy);
}

outbar::Rect CGfxOutBarCtrl::ItemArea() const {
  const SIZE size = Client();
  return outbar::ItemArea(m_model.FolderCount(), m_model.CurrentFolder(), size.cx, size.cy);
}

int CGfxOutBarCtrl::TextHeight() const {
  if (m_textHeight > 0) return m_textHeight;
  HDC dc = GetDC(m_hwnd);
  HGDIOBJ old = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(m_hwnd, dc);
  m_textHeight = metrics.tmHeight;
  return m_textHeight;
}

int CGfxOutBarCtrl::LabelWidth(const std::string& text) const {
  HDC dc = GetDC(m_hwnd);
  HGDIOBJ old = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(m_hwnd, dc);
  return size.cx;
}

outbar::Rect CGfxOutBarCtrl::ItemRect(int index) const {
  const ShortcutItem* item = m_model.Item(index);
  const std::string label = item ? item->name : std::string();
  return outbar::ItemBoxFor(index, m_first, m_model.IsSmallIconView(), TextHeight(), LabelWidth(label),
                            ItemArea())
      .whole;
}

bool CGfxOutBarCtrl::IsUpArrowShown() const {
  return outbar::CanScrollUp(m_first);
}

bool CGfxOutBarCtrl::IsDownArrowShown() const {
  return outbar::CanScrollDown(m_model.ItemCount(), m_first, m_model.IsSmallIconView(), TextHeight(),
                               ItemArea());
}

CGfxOutBarCtrl::Hit CGfxOutBarCtrl::HitTest(POINT point, int* index) const {
  int ignored = 0;
  if (index == nullptr) index = &ignored;
  *index = -1;
  const outbar::Rect area = ItemArea();
  if (IsUpArrowShown() && outbar::UpArrow(area).Contains(point.x, point.y)) return Hit::kUpArrow;
  if (IsDownArrowShown() && outbar::DownArrow(area).Contains(point.x, point.y)) return Hit::kDownArrow;
  for (int i = 0; i < m_model.FolderCount(); ++i) {
    if (FolderRect(i).Contains(point.x, point.y)) {
      *index = i;
      return Hit::kFolder;
    }
  }
  if (!area.Contains(point.x, point.y)) return Hit::kNone;
  for (int i = m_first; i < m_model.ItemCount(); ++i) {
    const outbar::Rect r = ItemRect(i);
    if (r.top >= area.bottom) break;
    if (r.Contains(point.x, point.y)) {
      *index = i;
      return Hit::kItem;
    }
  }
  return Hit::kItemSpace;
}

void CGfxOutBarCtrl::UpdateCaption() {
  if (m_hwnd != nullptr) SetWindowTextA(m_hwnd, m_model.FolderName(m_model.CurrentFolder()).c_str());
}

LRESULT CGfxOutBarCtrl::Notify(int code, LPARAM data) const {
  if (m_owner == nullptr) return 0;
  return SendMessageA(m_owner, kNotifyMessage, static_cast<WPARAM>(code), data);
}

void CGfxOutBarCtrl::Scroll(int delta) {
  const outbar::Rect area = ItemArea();
  if (delta < 0 && outbar::CanScrollUp(m_first)) {
    --m_first;
  } else if (delta > 0 && outbar::CanScrollDown(m_model.ItemCount(), m_first, m_model.IsSmallIconView(),
                                                TextHeight(), area)) {
    ++m_first;
  } else {
    return;
  }
  m_hotItem = -1;
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CGfxOutBarCtrl::KeepScrollInRange() {
  const int count = m_model.ItemCount();
  if (m_first > count - 1) m_first = std::max(0, count - 1);
  if (m_hwnd == nullptr) return;
  const outbar::Rect area = ItemArea();
  const int textHeight = TextHeight();
  // Come back up while the items fit with one more shown above.
  while (m_first > 0 &&
         !outbar::CanScrollDown(count, m_first - 1, m_model.IsSmallIconView(), textHeight, area)) {
    --m_first;
  }
}

// Painting.

void CGfxOutBarCtrl::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hwnd, &paint);
  RECT client;
  GetClientRect(m_hwnd, &client);
  // Drawn off screen first, so that hovering and scrolling do not flicker.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1L, client.right), std::max(1L, client.bottom));
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  Draw(memory, client, nullptr);
  BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(m_hwnd, &paint);
}

void CGfxOutBarCtrl::Draw(HDC dc, const RECT& client, const int* buttonTops) {
  if (m_background != nullptr) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, m_background);
    BITMAP info;
    GetObjectA(m_background, sizeof(info), &info);
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
  } else {
    FillRect(dc, &client, skin::BodyBrush());
  }
  HGDIOBJ oldFont = SelectObject(dc, m_font ? m_font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  if (buttonTops == nullptr) DrawItems(dc);
  for (int i = 0; i < m_model.FolderCount(); ++i) {
    outbar::Rect r = FolderRect(i);
    if (buttonTops != nullptr) {
      r.top = buttonTops[i];
      r.bottom = r.top + outbar::kFolderHeight;
    }
    DrawFolderButton(dc, i, r);
  }
  SelectObject(dc, oldFont);
}

void CGfxOutBarCtrl::DrawFolderButton(HDC dc, int folder, const outbar::Rect& r) {
  RECT box = ToRect(r);
  const bool hot = (m_flags & kHighlight) && folder == m_hotFolder;
  const bool pressed = folder == m_pressedFolder && folder == m_hotFolder;
  HBRUSH face = CreateSolidBrush(hot ? kButtonHot : kButtonFace);
  FillRect(dc, &box, face);
  DeleteObject(face);
  DrawEdge(dc, &box, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  SetTextColor(dc, skin::kTextColour);
  const std::string name = m_model.FolderName(folder);
  RECT text = box;
  InflateRect(&text, -4, 0);
  if (pressed) OffsetRect(&text, 1, 1);
  DrawTextA(dc, name.c_str(), static_cast<int>(name.size()), &text,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void CGfxOutBarCtrl::DrawItems(HDC dc) {
  const outbar::Rect area = ItemArea();
  if (area.Height() <= 0) return;
  const bool small = m_model.IsSmallIconView();
  const int textHeight = TextHeight();
  HIMAGELIST images = small ? m_smallImages.Get() : m_largeImages.Get();
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  SetTextColor(dc, skin::kTextColour);
  for (int i = m_first; i < m_model.ItemCount(); ++i) {
    const ShortcutItem* item = m_model.Item(i);
    const outbar::ItemBox box =
        outbar::ItemBoxFor(i, m_first, small, textHeight, LabelWidth(item->name), area);
    if (box.whole.top >= area.bottom) break;
    ImageList_Draw(images, item->image, dc, box.icon.left, box.icon.top, ILD_TRANSPARENT);
    const bool hot = (m_flags & kHighlight) && i == m_hotItem && !m_dragging;
    if (hot || (i == m_pressedItem && !m_dragging)) {
      RECT frame = ToRect(box.icon);
      InflateRect(&frame, 2, 2);
      DrawEdge(dc, &frame, i == m_pressedItem ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
    if (!(m_edit != nullptr && !m_editFolder && m_editIndex == i)) {
      RECT label = ToRect(box.label);
      DrawTextA(dc, item->name.c_str(), static_cast<int>(item->name.size()), &label,
                (small ? DT_LEFT : DT_CENTER) | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
  }
  // Where a dragged item would go: a line above the target, or below the last item.
  if (m_dragging && m_dropTarget != -2 && m_model.ItemCount() > 0) {
    int y = 0;
    if (m_dropTarget == CShortcutBarModel::kToEnd) {
      y = ItemRect(m_model.ItemCount() - 1).bottom + 2;
    } else {
      y = ItemRect(m_dropTarget).top - 3;
    }
    RECT mark = {area.left + outbar::kItemInset, y, area.right - outbar::kItemInset, y + 2};
    HBRUSH brush = CreateSolidBrush(kDropMark);
    FillRect(dc, &mark, brush);
    DeleteObject(brush);
  }
  RestoreDC(dc, saved);
  if (IsUpArrowShown()) DrawArrow(dc, outbar::UpArrow(area), true, m_arrow == Arrow::kUp && m_arrowPushed);
  if (IsDownArrowShown()) {
    DrawArrow(dc, outbar::DownArrow(area), false, m_arrow == Arrow::kDown && m_arrowPushed);
  }
}

void CGfxOutBarCtrl::DrawArrow(HDC dc, const outbar::Rect& r, bool up, bool pushed) {
  RECT box = ToRect(r);
  DrawFrameControl(dc, &box, DFC_SCROLL, (up ? DFCS_SCROLLUP : DFCS_SCROLLDOWN) | (pushed ? DFCS_PUSHED : 0));
}

void CGfxOutBarCtrl::AnimateSwitch(int from, int to) {
  const SIZE size = Client();
  const int count = m_model.FolderCount();
  std::vector<int> start(static_cast<size_t>(count)), end(static_cast<size_t>(count)),
      tops(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    start[static_cast<size_t>(i)] = outbar::FolderButton(i, count, from, size.cx, size.cy).top;
    end[static_cast<size_t>(i)] = outbar::FolderButton(i, count, to, size.cx, size.cy).top;
  }
  RECT client = {0, 0, size.cx, size.cy};
  HDC dc = GetDC(m_hwnd);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1L, size.cx), std::max(1L, size.cy));
  HGDIOBJ old = SelectObject(memory, bitmap);
  for (int step = 1; step <= kSlideSteps; ++step) {
    for (int i = 0; i < count; ++i) {
      const size_t k = static_cast<size_t>(i);
      tops[k] = start[k] + (end[k] - start[k]) * step / kSlideSteps;
    }
    Draw(memory, client, tops.data());
    BitBlt(dc, 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    GdiFlush();
    Sleep(kSlideStepMs);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(m_hwnd, dc);
}

// Mouse.

void CGfxOutBarCtrl::OnMouseMove(POINT point) {
  if (m_arrow != Arrow::kNone) {
    const bool over = ArrowIsOver(m_arrow, point);
    if (over != m_arrowPushed) {
      m_arrowPushed = over;
      InvalidateRect(m_hwnd, nullptr, FALSE);
    }
    return;
  }
  if (m_pressedItem >= 0 && !m_dragging && (m_flags & kDragItems)) {
    if (std::abs(point.x - m_pressPoint.x) > GetSystemMetrics(SM_CXDRAG) ||
        std::abs(point.y - m_pressPoint.y) > GetSystemMetrics(SM_CYDRAG)) {
      m_dragging = true;
      if (HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_SHORTCUT_HAND))) {
        SetCursor(hand);
      }
    }
  }
  int index = -1;
  const Hit hit = HitTest(point, &index);
  if (m_dragging) {
    int target = -2;
    if (hit == Hit::kItem && index != m_pressedItem) target = index;
    if (hit == Hit::kItemSpace) target = CShortcutBarModel::kToEnd;
    if (target != m_dropTarget) {
      m_dropTarget = target;
      InvalidateRect(m_hwnd, nullptr, FALSE);
    }
    return;
  }
  const int hotFolder = hit == Hit::kFolder ? index : -1;
  const int hotItem = hit == Hit::kItem ? index : -1;
  if (hotFolder != m_hotFolder || hotItem != m_hotItem) {
    m_hotFolder = hotFolder;
    m_hotItem = hotItem;
    InvalidateRect(m_hwnd, nullptr, FALSE);
  }
  if (!m_tracking) {
    TRACKMOUSEEVENT track;
    std::memset(&track, 0, sizeof(track));
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = m_hwnd;
    m_tracking = TrackMouseEvent(&track) != FALSE;
  }
}

void CGfxOutBarCtrl::OnMouseLeave() {
  m_tracking = false;
  if (GetCapture() == m_hwnd) return;
  if (m_hotFolder >= 0 || m_hotItem >= 0) {
    m_hotFolder = m_hotItem = -1;
    InvalidateRect(m_hwnd, nullptr, FALSE);
  }
}

void CGfxOutBarCtrl::OnLeftDown(POINT point) {
  if (m_edit != nullptr) EndEdit(true);
  int index = -1;
  const Hit hit = HitTest(point, &index);
  switch (hit) {
    case Hit::kUpArrow:
    case Hit::kDownArrow:
      m_arrow = hit == Hit::kUpArrow ? Arrow::kUp : Arrow::kDown;
      m_arrowPushed = true;
      SetCapture(m_hwnd);
      SetTimer(m_hwnd, kScrollTimer, kScrollPeriodMs, nullptr);
      break;
    case Hit::kFolder:
      m_pressedFolder = m_hotFolder = index;
      SetCapture(m_hwnd);
      break;
    case Hit::kItem:
      m_pressedItem = m_hotItem = index;
      m_pressPoint = point;
      SetCapture(m_hwnd);
      break;
    default:
      return;
  }
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

bool CGfxOutBarCtrl::ArrowIsOver(Arrow arrow, POINT point) const {
  const outbar::Rect area = ItemArea();
  if (arrow == Arrow::kUp) return IsUpArrowShown() && outbar::UpArrow(area).Contains(point.x, point.y);
  if (arrow == Arrow::kDown) return IsDownArrowShown() && outbar::DownArrow(area).Contains(point.x, point.y);
  return false;
}

void CGfxOutBarCtrl::OnScrollTimer() {
  if (m_arrow == Arrow::kNone) {
    KillTimer(m_hwnd, kScrollTimer);
    return;
  }
  POINT cursor;
  GetCursorPos(&cursor);
  ScreenToClient(m_hwnd, &cursor);
  if (!ArrowIsOver(m_arrow, cursor)) return;
  Scroll(m_arrow == Arrow::kUp ? -1 : 1);
  // An arrow that has nothing more to show is gone; so is the hold.
  const bool shown = m_arrow == Arrow::kUp ? IsUpArrowShown() : IsDownArrowShown();
  if (!shown) {
    m_arrow = Arrow::kNone;
    KillTimer(m_hwnd, kScrollTimer);
    if (GetCapture() == m_hwnd) ReleaseCapture();
  }
}

void CGfxOutBarCtrl::OnLeftUp(POINT point) {
  if (m_arrow != Arrow::kNone) {
    const Arrow arrow = m_arrow;
    const bool over = ArrowIsOver(arrow, point);
    m_arrow = Arrow::kNone;
    m_arrowPushed = false;
    KillTimer(m_hwnd, kScrollTimer);
    if (GetCapture() == m_hwnd) ReleaseCapture();
    if (over) Scroll(arrow == Arrow::kUp ? -1 : 1);
    InvalidateRect(m_hwnd, nullptr, FALSE);
    return;
  }
  int index = -1;
  const Hit hit = HitTest(point, &index);
  if (m_pressedFolder >= 0) {
    const int pressed = m_pressedFolder;
    m_pressedFolder = -1;
    if (GetCapture() == m_hwnd) ReleaseCapture();
    InvalidateRect(m_hwnd, nullptr, FALSE);
    if (hit == Hit::kFolder && index == pressed) SetCurrentFolder(index);
    return;
  }
  if (m_pressedItem >= 0) {
    if (m_dragging) {
      EndDrag(point, true);
      return;
    }
    const int pressed = m_pressedItem;
    m_pressedItem = -1;
    if (GetCapture() == m_hwnd) ReleaseCapture();
    InvalidateRect(m_hwnd, nullptr, FALSE);
    if (hit == Hit::kItem && index == pressed) Notify(kItemClicked, pressed);
  }
}

void CGfxOutBarCtrl::EndDrag(POINT point, bool drop) {
  const int from = m_pressedItem;
  m_dragging = false;
  m_pressedItem = -1;
  m_dropTarget = -2;
  if (GetCapture() == m_hwnd) ReleaseCapture();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  InvalidateRect(m_hwnd, nullptr, FALSE);
  if (!drop) return;
  int index = -1;
  const Hit hit = HitTest(point, &index);
  int target = -2;
  if (hit == Hit::kItem && index != from) target = index;
  if (hit == Hit::kItemSpace) target = CShortcutBarModel::kToEnd;
  if (target == -2) return;
  OutBarItemDrag drag = {m_model.CurrentFolder(), from, target};
  if (Notify(kItemDragged, reinterpret_cast<LPARAM>(&drag)) == 0) return;
  m_model.MoveItem(from, target);
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CGfxOutBarCtrl::OnCaptureLost() {
  if (m_dragging) {
    POINT nowhere = {-1, -1};
    EndDrag(nowhere, false);
  }
  m_pressedFolder = -1;
  m_pressedItem = -1;
  if (m_arrow != Arrow::kNone) {
    m_arrow = Arrow::kNone;
    m_arrowPushed = false;
    KillTimer(m_hwnd, kScrollTimer);
  }
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

// Dropped files.

std::string CGfxOutBarCtrl::ShortcutTarget(const std::string& linkFile) {
  std::string target;
  const HRESULT com = CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR wide[MAX_PATH] = {};
      if (MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide, MAX_PATH) > 0 &&
          SUCCEEDED(file->Load(wide, STGM_READ))) {
        char path[MAX_PATH] = {};
        WIN32_FIND_DATAA found;
        if (SUCCEEDED(link->GetPath(path, sizeof(path), &found, SLGP_RAWPATH))) {
          path[sizeof(path) - 1] = '\0';
          target = path;
        }
      }
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return target;
}

bool CGfxOutBarCtrl::AddDroppedFiles(HDROP drop) {
  if (m_model.CurrentFolder() <= 0) return false;
  const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    char file[MAX_PATH] = {};
    if (DragQueryFileA(drop, i, file, sizeof(file)) == 0) continue;
    std::string path = file;
    if (EndsWithNoCase(path, ".lnk")) {
      const std::string target = ShortcutTarget(path);
      if (!target.empty()) path = target;
    }
    ShortcutItem item;
    item.image = ShellImage(path);
    if (item.image < 0) continue;
    item.name = shortcuts::PathItemName(path);
    item.target = path;
    item.workDir = path;
    m_model.AddItem(item);
  }
  Refresh();
  Save();
  return true;
}

// Label editing.

void CGfxOutBarCtrl::EditFolderLabel(int folder) {
  if (folder < 0 || folder >= m_model.FolderCount()) return;
  outbar::Rect r = FolderRect(folder);
  r.left += 2;
  r.top += 2;
  r.right -= 2;
  r.bottom -= 2;
  StartEdit(true, folder, r, ES_CENTER | ES_AUTOHSCROLL);
}

void CGfxOutBarCtrl::EditItemLabel(int item) {
  const ShortcutItem* shortcut = m_model.Item(item);
  if (shortcut == nullptr) return;
  // The label must be in sight before it can be edited.
  while (item < m_first) Scroll(-1);
  while (ItemRect(item).bottom > ItemArea().bottom && item > m_first) {
    const int before = m_first;
    Scroll(1);
    if (m_first == before) break;
  }
  const outbar::Rect area = ItemArea();
  const bool small = m_model.IsSmallIconView();
  const int textHeight = TextHeight();
  const outbar::ItemBox box =
      outbar::ItemBoxFor(item, m_first, small, textHeight, LabelWidth(shortcut->name), area);
  outbar::Rect r;
  if (small) {
    r.left = box.label.left;
    r.right = area.right - outbar::kItemInset;
    r.top = box.label.top - 2;
    r.bottom = box.label.bottom + 2;
    StartEdit(false, item, r, ES_LEFT | ES_AUTOHSCROLL);
  } else {
    r.left = area.left + outbar::kItemInset;
    r.right = area.right - outbar::kItemInset;
    r.top = box.label.top;
    r.bottom = box.label.top + 2 * textHeight + 4;
    StartEdit(false, item, r, ES_CENTER | ES_MULTILINE | ES_AUTOVSCROLL);
  }
}

void CGfxOutBarCtrl::StartEdit(bool folder, int index, const outbar::Rect& r, DWORD style) {
  if (m_edit != nullptr) EndEdit(true);
  const std::string text = folder ? m_model.FolderName(index) : m_model.Item(index)->name;
  m_edit = CreateWindowExA(0, "EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | style, r.left, r.top,
                           r.Width(), r.Height(), m_hwnd, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (m_edit == nullptr) return;
  m_editFolder = folder;
  m_editIndex = index;
  SendMessageA(m_edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
  SetWindowLongPtrA(m_edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_editProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(m_edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CGfxOutBarCtrl::EditProc)));
  // A dialog loop that the bar sits in may take Enter and Escape before the edit sees them (a
  // key filter, the dialog manager's default buttons); while the edit is open those keys go to it
  // first.
  t_editing = this;
  m_keyHook = SetWindowsHookExA(WH_MSGFILTER, KeyHook, nullptr, GetCurrentThreadId());
  SendMessageA(m_edit, EM_SETSEL, 0, -1);
  SetFocus(m_edit);
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CGfxOutBarCtrl::EndEdit(bool apply) {
  HWND edit = m_edit;
  if (edit == nullptr) return;
  // Cleared first: destroying the edit takes its focus away, which ends the edit again.
  m_edit = nullptr;
  if (m_keyHook != nullptr) {
    UnhookWindowsHookEx(m_keyHook);
    m_keyHook = nullptr;
  }
  if (t_editing == this) t_editing = nullptr;
  const int length = GetWindowTextLengthA(edit);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  GetWindowTextA(edit, &text[0], length + 1);
  text.resize(std::strlen(text.c_str()));
  DestroyWindow(edit);
  InvalidateRect(m_hwnd, nullptr, FALSE);
  text = shortcuts::TrimBlanks(text);
  if (!apply || text.empty()) return;
  OutBarLabelEdit change = {m_editIndex, text.c_str()};
  if (m_editFolder) {
    if (Notify(kFolderRenamed, reinterpret_cast<LPARAM>(&change)) != 0) {
      m_model.SetFolderName(m_editIndex, text);
      UpdateCaption();
    }
  } else if (Notify(kItemRenamed, reinterpret_cast<LPARAM>(&change)) != 0) {
    m_model.SetItemName(m_editIndex, text);
  }
  InvalidateRect(m_hwnd, nullptr, FALSE);
}

LRESULT CALLBACK CGfxOutBarCtrl::KeyHook(int code, WPARAM wParam, LPARAM lParam) {
  CGfxOutBarCtrl* bar = t_editing;
  if (bar != nullptr && code >= 0 && lParam != 0) {
    MSG* message = reinterpret_cast<MSG*>(lParam);
    const bool key = message->message == WM_KEYDOWN || message->message == WM_CHAR;
    if (key && message->hwnd == bar->m_edit &&
        (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
      DispatchMessageA(message);
      return TRUE;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CGfxOutBarCtrl::EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CGfxOutBarCtrl* bar = reinterpret_cast<CGfxOutBarCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (bar == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  WNDPROC original = bar->m_editProc;
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS | CallWindowProcA(original, window, message, wParam, lParam);
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
        if (window == bar->m_edit) bar->EndEdit(wParam == VK_RETURN);
        return 0;
      }
      break;
    case WM_CHAR:
      // No beep and no line break for the keys that end the edit.
      if (wParam == VK_RETURN || wParam == VK_ESCAPE) return 0;
      break;
    case WM_KILLFOCUS:
      if (window == bar->m_edit) {
        const LRESULT result = CallWindowProcA(original, window, message, wParam, lParam);
        bar->EndEdit(true);
        return result;
      }
      break;
    default:
      break;
  }
  return CallWindowProcA(original, window, message, wParam, lParam);
}

// The window.

LRESULT CALLBACK CGfxOutBarCtrl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CGfxOutBarCtrl* bar = nullptr;
  if (message == WM_NCCREATE) {
    const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    bar = static_cast<CGfxOutBarCtrl*>(create->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bar));
    bar->m_hwnd = window;
  } else {
    bar = reinterpret_cast<CGfxOutBarCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }
  if (bar == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  const LRESULT result = bar->Handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    bar->m_hwnd = nullptr;
  }
  return result;
}

LRESULT CGfxOutBarCtrl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_CREATE:
      UpdateCaption();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SIZE:
      if (m_edit != nullptr) EndEdit(true);
      KeepScrollInRange();
      InvalidateRect(m_hwnd, nullptr, FALSE);
      return 0;
    case WM_SETFONT:
      m_font = reinterpret_cast<HFONT>(wParam);
      m_textHeight = 0;
      if (LOWORD(lParam)) InvalidateRect(m_hwnd, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(m_font);
    case WM_MOUSEMOVE:
      OnMouseMove(point);
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
      OnLeftDown(point);
      return 0;
    case WM_LBUTTONUP:
      OnLeftUp(point);
      return 0;
    case WM_TIMER:
      if (wParam == kScrollTimer) OnScrollTimer();
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != m_hwnd) OnCaptureLost();
      return 0;
    case WM_SETCURSOR:
      if (m_dragging) {
        SetCursor(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_SHORTCUT_HAND)));
        return TRUE;
      }
      break;
    case WM_DROPFILES: {
      HDROP drop = reinterpret_cast<HDROP>(wParam);
      AddDroppedFiles(drop);
      DragFinish(drop);
      return 0;
    }
    case WM_DESTROY:
      if (m_edit != nullptr) EndEdit(false);
      KillTimer(m_hwnd, kScrollTimer);
      break;
    default:
      break;
  }
  return DefWindowProcA(m_hwnd, message, wParam, lParam);
}
