// Loading the program's own images from its resources.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace ui {

// The icon resource id of the calling program, at size x size pixels; null when missing. The
// caller destroys it (CIcon).
HICON LoadIconSized(int id, int size);

// A strip of equally wide images from bitmap resource id, magenta as the transparent colour, as an
// image list of width x height images; null when the bitmap is missing. The caller destroys it
// (CImageList).
HIMAGELIST LoadMaskedStrip(int id, int width, int height);

}  // namespace ui
