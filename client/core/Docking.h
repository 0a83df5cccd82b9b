// The decisions of screen-edge docking, free of any window: which edge a dragged window docks
// to, where it is placed there, and each step of sliding it out of sight and back.
#pragma once

namespace dock {

enum Edge { kNone = 0, kTop = 1, kBottom = 2, kLeft = 3, kRight = 4 };

struct Rect {
  long left;
  long top;
  long right;
  long bottom;
  long Width() const { return right - left; }
  long Height() const { return bottom - top; }
};

struct Screen {
  long width;
  long height;
  long taskbarHeight;
  // The system's edge height and frame width.
  long edgeHeight;
  long frameWidth;
};

// Distance from an edge within which the cursor docks the window.
constexpr long kDockMargin = 20;

// The edge for the cursor at (x, y) during a drag; the first test that holds wins: top, bottom
// (above the taskbar), left, right, otherwise kNone.
int EdgeForCursor(long x, long y, const Screen& screen);

// Where a window docked at edge goes: top at minus the edge height; bottom on the taskbar's top;
// left at 0; right at the screen's right edge. The size is kept. For kNone the window stays where
// it is, except that one leaving the left or right edge (previousEdge) gets savedHeight back.
Rect PlaceForEdge(int edge, int previousEdge, long savedHeight, const Rect& window, const Screen& screen);

// Whether the height must be saved before docking at edge: only on arriving at the left or right
// edge from elsewhere.
bool SavesHeight(int edge, int previousEdge);

// The position a slide ends at: hiding leaves a strip of frame width on screen, showing brings the
// window fully back. For kNone the window's own rectangle.
Rect SlideTarget(int edge, bool hiding, const Rect& window, const Screen& screen);

// One slide step of a tenth of the height (top, bottom) or width (left, right) towards the
// target, never past it. Returns true when the window has arrived (at once for kNone).
bool SlideStep(int edge, bool hiding, Rect& window, const Screen& screen);

}  // namespace dock
