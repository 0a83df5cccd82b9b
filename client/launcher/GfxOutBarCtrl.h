// CGfxOutBarCtrl: an outlook-style bar of folder buttons with the current folder's items (icons
// with labels) between them, over the model of CShortcutBarModel.
//
// The bar draws and dispatches; the owner decides. It tells the owner what the user did with
// kNotifyMessage (first parameter a code, second its data) and applies renames and moves only when
// the owner answers non-zero:
//
//   kItemClicked   pressed and released on one item without dragging     item index
//   kItemRenamed   an item label edit ended with text                    OutBarLabelEdit*
//   kFolderRenamed a folder label edit ended with text                   OutBarLabelEdit*
//   kItemDragged   a dragged item dropped on an item or free item space  OutBarItemDrag*
//   kFolderChanged the current folder changed                            folder index
//
// Right clicks are left to the default window procedure, which hands WM_CONTEXTMENU to the owner;
// HitTest tells it what was under the mouse. Files dropped on the bar (not while folder 0 is
// current) become items of the current folder, shortcuts resolved to their targets, and the bar
// then saves its settings file. The window text is the current folder's name.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "client/launcher/ShortcutBarModel.h"
#include "client/launcher/ShortcutLayout.h"
#include "client/launcher/ShortcutSettings.h"
#include "common/Handles.h"

// The second parameter of kItemRenamed and kFolderRenamed.
struct OutBarLabelEdit {
  int index;
  const char* text;
};

// The second parameter of kItemDragged; target is CShortcutBarModel::kToEnd for free space.
struct OutBarItemDrag {
  int folder;
  int item;
  int target;
};

class CGfxOutBarCtrl : public IShortcutIcons {
 public:
  static constexpr UINT kNotifyMessage = WM_USER + 10100;
  enum Code { kItemClicked = 1, kItemRenamed = 2, kFolderRenamed = 3, kItemDragged = 4, kFolderChanged = 5 };

  // Behaviour flags.
  enum Flags : DWORD {
    kAnimateFolders = 0x01,  // slide the folder buttons when the current folder changes
    kDragItems = 0x02,       // items can be dragged to another place
    kEditLabels = 0x04,      // labels can be edited in place
    kHighlight = 0x08,       // the folder button or item under the mouse is highlighted
    kAcceptFiles = 0x10,     // files dropped on the bar become items
  };

  // The timer of the scroll arrows, and its period.
  static constexpr UINT_PTR kScrollTimer = 1;
  static constexpr UINT kScrollPeriodMs = 300;

  CGfxOutBarCtrl();
  ~CGfxOutBarCtrl() override;
  CGfxOutBarCtrl(const CGfxOutBarCtrl&) = delete;
  CGfxOutBarCtrl& operator=(const CGfxOutBarCtrl&) = delete;

  // Creates the bar as a child of owner, which receives its notifications. False on failure.
  bool Create(DWORD style, const RECT& rect, HWND owner, UINT id, DWORD flags);
  HWND Handle() const { return m_hwnd; }

  // Images: both lists (16 and 32 pixels) always hold the same number of images.
  // Adds an icon resource of the program at both sizes; returns its index, or -1.
  int AddIcon(int resourceId);
  void SetWebImage(int index) { m_webImage = index; }
  int WebImage() override { return m_webImage; }
  // Adds the shell's icons for a path (file, folder or drive); returns the index, or -1 when the
  // shell gives none.
  int ShellImage(const std::string& path) override;
  HIMAGELIST SmallImages() const { return m_smallImages.Get(); }
  HIMAGELIST LargeImages() const { return m_largeImages.Get(); }

  // The page's background, stretched behind the bar (not owned; may be null).
  void SetBackground(HBITMAP bitmap);

  // The settings file the bar saves to, and the save.
  void SetSettingsFile(const std::string& path) { m_settingsFile = path; }
  const std::string& SettingsFile() const { return m_settingsFile; }
  bool Save() const;

  // The content. Changes through the model directly are shown after Refresh.
  CShortcutBarModel& Model() { return m_model; }
  const CShortcutBarModel& Model() const { return m_model; }
  void Refresh();

  int AddFolder(const std::string& name);
  bool RemoveFolder(int index);
  int FolderCount() const { return m_model.FolderCount(); }
  std::string FolderName(int index) const { return m_model.FolderName(index); }
  // Makes a folder current, sliding the buttons when the flag says so, and shows it from its
  // first item. Nothing happens for the current folder or an index out of range.
  void SetCurrentFolder(int index);
  int CurrentFolder() const { return m_model.CurrentFolder(); }
  int ItemCount() const { return m_model.ItemCount(); }
  int AddItem(const ShortcutItem& item);
  bool RemoveItem(int index);
  std::string ItemName(int index) const;
  std::string ItemTarget(int index) const;
  std::string ItemWorkDir(int index) const;
  std::string ItemParameters(int index) const;
  void SetSmallIconView(bool small);
  bool IsSmallIconView() const { return m_model.IsSmallIconView(); }

  // Starts editing a label in place; the edit ends on Enter or when it loses the focus (Escape
  // drops it).
  void EditFolderLabel(int folder);
  void EditItemLabel(int item);
  // The in-place edit while one is open, or null.
  HWND LabelEdit() const { return m_edit; }

  // What lies at a client point.
  enum class Hit { kNone, kFolder, kItem, kUpArrow, kDownArrow, kItemSpace };
  Hit HitTest(POINT point, int* index) const;

  // Geometry, as drawn.
  outbar::Rect FolderRect(int folder) const;
  outbar::Rect ItemArea() const;
  outbar::Rect ItemRect(int index) const;
  int FirstShownItem() const { return m_first; }
  bool IsUpArrowShown() const;
  bool IsDownArrowShown() const;

  // Adds the dropped files to the current folder and saves; false while folder 0 is current.
  bool AddDroppedFiles(HDROP drop);
  // A shortcut (.lnk) file's target as stored in it; empty when it cannot be read.
  static std::string ShortcutTarget(const std::string& linkFile);

 private:
  enum class Arrow { kNone, kUp, kDown };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  void OnPaint();
  void OnMouseMove(POINT point);
  void OnLeftDown(POINT point);
  void OnLeftUp(POINT point);
  void OnScrollTimer();
  void OnMouseLeave();
  void OnCaptureLost();

  void Draw(HDC dc, const RECT& client, const int* buttonTops);
  void DrawFolderButton(HDC dc, int folder, const outbar::Rect& r);
  void DrawItems(HDC dc);
  void DrawArrow(HDC dc, const outbar::Rect& r, bool up, bool pushed);
  void AnimateSwitch(int from, int to);
  void Scroll(int delta);
  void KeepScrollInRange();
  bool ArrowIsOver(Arrow arrow, POINT point) const;
  void EndDrag(POINT point, bool drop);
  void StartEdit(bool folder, int index, const outbar::Rect& r, DWORD style);
  void EndEdit(bool apply);
  LRESULT Notify(int code, LPARAM data) const;
  int TextHeight() const;
  int LabelWidth(const std::string& text) const;
  void UpdateCaption();
  SIZE Client() const;

  HWND m_hwnd = nullptr;
  HWND m_owner = nullptr;
  DWORD m_flags = 0;
  HFONT m_font = nullptr;
  // The label line height in that font, measured when first needed.
  mutable int m_textHeight = 0;
  HBITMAP m_background = nullptr;
  std::string m_settingsFile;
  CShortcutBarModel m_model;
  ui::CImageList m_smallImages;
  ui::CImageList m_largeImages;
  int m_webImage = -1;
  int m_first = 0;

  // Mouse state.
  int m_hotFolder = -1;
  int m_hotItem = -1;
  bool m_tracking = false;
  int m_pressedFolder = -1;
  int m_pressedItem = -1;
  POINT m_pressPoint = {0, 0};
  bool m_dragging = false;
  int m_dropTarget = -2;  // an item, kToEnd, or -2 for no place
  Arrow m_arrow = Arrow::kNone;
  bool m_arrowPushed = false;

  // In-place label edit.
  HWND m_edit = nullptr;
  WNDPROC m_editProc = nullptr;
  HHOOK m_keyHook = nullptr;
  bool m_editFolder = false;
  int m_editIndex = -1;
};
