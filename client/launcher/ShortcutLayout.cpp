#include "client/launcher/ShortcutLayout.h"

#include <algorithm>

namespace outbar {

Rect FolderButton(int folder, int count, int current, int width, int height) {
  Rect r;
  r.left = 0;
  r.right = width;
  if (folder <= current) {
    r.top = kFolderHeight * folder - 1;
    r.bottom = r.top + kFolderHeight;
  } else {
    r.bottom = height - kFolderHeight * (count - 1 - folder);
    r.top = r.bottom - kFolderHeight;
  }
  return r;
}

Rect ItemArea(int count, int current, int width, int height) {
  Rect r;
  r.left = 0;
  r.right = width;
  r.top = current >= 0 ? FolderButton(current, count, current, width, height).bottom : 0;
  r.bottom = height - kFolderHeight * (count - 1 - current);
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

int ItemHeight(bool smallIcons, int textHeight) {
  return smallIcons ? std::max(kSmallIconSize, textHeight) : kLargeIconSize + kLargeLabelGap + textHeight;
}

int ItemPitch(bool smallIcons, int textHeight) {
  return ItemHeight(smallIcons, textHeight) + (smallIcons ? kSmallItemGap : kLargeItemGap);
}

ItemBox ItemBoxFor(int index, int first, bool smallIcons, int textHeight, int labelWidth, const Rect& area) {
  ItemBox box;
  const int top = area.top + kItemInset + (index - first) * ItemPitch(smallIcons, textHeight);
  const int height = ItemHeight(smallIcons, textHeight);
  if (smallIcons) {
    box.icon.left = area.left + kItemInset;
    box.icon.top = top + (height - kSmallIconSize) / 2;
    box.icon.right = box.icon.left + kSmallIconSize;
    box.icon.bottom = box.icon.top + kSmallIconSize;
    box.label.left = box.icon.right + kLabelGap;
    box.label.top = top + (height - textHeight) / 2;
    box.label.right = box.label.left + labelWidth;
    box.label.bottom = box.label.top + textHeight;
    box.whole.left = box.icon.left;
    box.whole.top = top;
    box.whole.right = std::max(box.icon.right, box.label.right);
    box.whole.bottom = top + height;
  } else {
    const int centre = (area.left + area.right) / 2;
    box.icon.left = centre - kLargeIconSize / 2;
    box.icon.top = top;
    box.icon.right = box.icon.left + kLargeIconSize;
    box.icon.bottom = top + kLargeIconSize;
    const int widest = std::max(0, area.Width() - 2 * kItemInset);
    const int width = std::min(labelWidth, widest);
    box.label.left = centre - width / 2;
    box.label.right = box.label.left + width;
    box.label.top = box.icon.bottom + kLargeLabelGap;
    box.label.bottom = box.label.top + textHeight;
    box.whole.left = std::min(box.icon.left, box.label.left);
    box.whole.right = std::max(box.icon.right, box.label.right);
    box.whole.top = top;
    box.whole.bottom = box.label.bottom;
  }
  return box;
}

bool CanScrollUp(int first) {
  return first > 0;
}

bool CanScrollDown(int count, int first, bool smallIcons, int textHeight, const Rect& area) {
  if (count <= 0) return false;
  const int lastBottom = area.top + kItemInset + (count - 1 - first) * ItemPitch(smallIcons, textHeight) +
                         ItemHeight(smallIcons, textHeight);
  return lastBottom > area.bottom;
}

Rect UpArrow(const Rect& area) {
  Rect r;
  r.right = area.right - kArrowMargin;
  r.left = r.right - kArrowSize;
  r.top = area.top + kArrowMargin;
  r.bottom = r.top + kArrowSize;
  return r;
}

Rect DownArrow(const Rect& area) {
  Rect r;
  r.right = area.right - kArrowMargin;
  r.left = r.right - kArrowSize;
  r.bottom = area.bottom - kArrowMargin;
  r.top = r.bottom - kArrowSize;
  return r;
}

}  // namespace outbar
