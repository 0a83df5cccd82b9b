// Where the shortcut bar puts its parts, in client pixels of a bar width x height: folder buttons
// 22 high and as wide as the bar, those up to the current folder stacked from the top (folder a at
// 22a - 1), those after it stacked at the bottom with the last flush with the bottom edge; the
// current folder's items between them, starting 5 in and 5 down, 10 apart in the small-icon view
// and 8 apart in the large-icon view.
// Portable: no Windows header.
#pragma once

namespace outbar {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

constexpr int kFolderHeight = 22;
constexpr int kItemInset = 5;
constexpr int kSmallItemGap = 10;
constexpr int kLargeItemGap = 8;
constexpr int kSmallIconSize = 16;
constexpr int kLargeIconSize = 32;
// Between a small icon and its label, and between a large icon and the label below it.
constexpr int kLabelGap = 4;
constexpr int kLargeLabelGap = 2;
// The scroll arrows: their size and their distance from the item area's edges.
constexpr int kArrowSize = 16;
constexpr int kArrowMargin = 4;

// The button of a folder.
Rect FolderButton(int folder, int count, int current, int width, int height);
// The space between the buttons, where the current folder's items are drawn.
Rect ItemArea(int count, int current, int width, int height);

// One item: icon, label and the two together. labelWidth is the width of its text.
struct ItemBox {
  Rect icon;
  Rect label;
  Rect whole;
};

// Height of an item and the distance from one item's top to the next in a view; textHeight is the
// height of a label line.
int ItemHeight(bool smallIcons, int textHeight);
int ItemPitch(bool smallIcons, int textHeight);

// Item index when item first is the top one shown in area. A large-icon label is centred under its
// icon and no wider than the area less 5 on each side.
ItemBox ItemBoxFor(int index, int first, bool smallIcons, int textHeight, int labelWidth, const Rect& area);

// Whether the list can move: up while items are hidden above; down while the last of count items
// is not fully shown.
bool CanScrollUp(int first);
bool CanScrollDown(int count, int first, bool smallIcons, int textHeight, const Rect& area);

// The arrows, at the right of the item area.
Rect UpArrow(const Rect& area);
Rect DownArrow(const Rect& area);

}  // namespace outbar
