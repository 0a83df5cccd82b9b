#include "client/core/Docking.h"

namespace dock {

namespace {

Rect Moved(const Rect& r, long left, long top) {
  return Rect{left, top, left + r.Width(), top + r.Height()};
}

bool IsSide(int edge) {
  return edge == kLeft || edge == kRight;
}

// Moves value towards target by at most step; a step below one pixel would never arrive.
long Approach(long value, long target, long step) {
  if (step < 1) step = 1;
  if (value < target) return value + step < target ? value + step : target;
  if (value > target) return value - step > target ? value - step : target;
  return value;
}

}  // namespace

int EdgeForCursor(long x, long y, const Screen& s) {
  if (y <= kDockMargin) return kTop;
  if (y >= s.height - s.taskbarHeight - kDockMargin) return kBottom;
  if (x < kDockMargin) return kLeft;
  if (x >= s.width - kDockMargin) return kRight;
  return kNone;
}

bool SavesHeight(int edge, int previousEdge) {
  return IsSide(edge) && !IsSide(previousEdge);
}

Rect PlaceForEdge(int edge, int previousEdge, long savedHeight, const Rect& w, const Screen& s) {
  switch (edge) {
    case kTop:
      return Moved(w, w.left, -s.edgeHeight);
    case kBottom:
      return Moved(w, w.left, s.height - s.taskbarHeight - w.Height());
    case kLeft:
      return Moved(w, 0, w.top);
    case kRight:
      return Moved(w, s.width - w.Width(), w.top);
    default:
      break;
  }
  Rect placed = w;
  if (IsSide(previousEdge) && savedHeight > 0) placed.bottom = placed.top + savedHeight;
  return placed;
}

Rect SlideTarget(int edge, bool hiding, const Rect& w, const Screen& s) {
  switch (edge) {
    case kTop:
      return Moved(w, w.left, hiding ? s.frameWidth - w.Height() : -s.edgeHeight);
    case kBottom:
      return Moved(w, w.left, hiding ? s.height - s.frameWidth : s.height - w.Height());
    case kLeft:
      return Moved(w, hiding ? s.frameWidth - w.Width() : 0, w.top);
    case kRight:
      return Moved(w, hiding ? s.width - s.frameWidth : s.width - w.Width(), w.top);
    default:
      return w;
  }
}

bool SlideStep(int edge, bool hiding, Rect& w, const Screen& s) {
  const Rect target = SlideTarget(edge, hiding, w, s);
  if (edge == kTop || edge == kBottom) {
    w = Moved(w, w.left, Approach(w.top, target.top, w.Height() / 10));
  } else if (IsSide(edge)) {
    w = Moved(w, Approach(w.left, target.left, w.Width() / 10), w.top);
  }
  return w.left == target.left && w.top == target.top;
}

}  // namespace dock
