#include "common/ui/Images.h"

namespace ui {

HICON LoadIconSized(int id, int size) {
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

HIMAGELIST LoadMaskedStrip(int id, int width, int height) {
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap == nullptr) return nullptr;
  HIMAGELIST list = ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 0);
  if (list != nullptr) ImageList_AddMasked(list, bitmap, RGB(255, 0, 255));
  DeleteObject(bitmap);
  return list;
}

}  // namespace ui
