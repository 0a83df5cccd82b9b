#include "client/core/Docking.h"

#include <gtest/gtest.h>

namespace {

using dock::Rect;

// A 1280 x 800 screen with a 30-pixel taskbar, edge height 2 and frame width 4.
const dock::Screen kScreen = {1280, 800, 30, 2, 4};
// A window of 300 x 700 in the middle of the screen.
const Rect kWindow = {500, 50, 800, 750};

struct EdgeCase {
  long x, y;
  int edge;
};

TEST(Docking, CursorDecidesTheEdgeInOrderTopBottomLeftRight) {
  const EdgeCase cases[] = {
      {600, 0, dock::kTop},       {600, 20, dock::kTop},     {600, 21, dock::kNone},
      {600, 749, dock::kNone},    {600, 750, dock::kBottom}, {600, 799, dock::kBottom},
      {19, 400, dock::kLeft},     {20, 400, dock::kNone},    {0, 400, dock::kLeft},
      {1259, 400, dock::kNone},   {1260, 400, dock::kRight}, {1279, 400, dock::kRight},
      {5, 5, dock::kTop},         {5, 790, dock::kBottom},   {1275, 10, dock::kTop},
      {1275, 760, dock::kBottom}, {640, 400, dock::kNone},   {-5, 400, dock::kLeft},
  };
  for (const EdgeCase& c : cases) {
    EXPECT_EQ(dock::EdgeForCursor(c.x, c.y, kScreen), c.edge) << "cursor " << c.x << "," << c.y;
  }
}

TEST(Docking, PlacementAtEachEdgeKeepsTheSize) {
  struct Case {
    int edge;
    long left, top;
  };
  const Case cases[] = {
      {dock::kTop, 500, -2},
      {dock::kBottom, 500, 800 - 30 - 700},
      {dock::kLeft, 0, 50},
      {dock::kRight, 1280 - 300, 50},
  };
  for (const Case& c : cases) {
    const Rect r = dock::PlaceForEdge(c.edge, dock::kNone, 400, kWindow, kScreen);
    EXPECT_EQ(r.left, c.left) << "edge " << c.edge;
    EXPECT_EQ(r.top, c.top) << "edge " << c.edge;
    EXPECT_EQ(r.Width(), 300) << "edge " << c.edge;
    EXPECT_EQ(r.Height(), 700) << "edge " << c.edge;
  }
}

TEST(Docking, UndockingFromTheSidesRestoresTheSavedHeightOnly) {
  const Rect shorter = {500, 50, 800, 350};
  EXPECT_EQ(dock::PlaceForEdge(dock::kNone, dock::kLeft, 700, shorter, kScreen).Height(), 700);
  EXPECT_EQ(dock::PlaceForEdge(dock::kNone, dock::kRight, 700, shorter, kScreen).Height(), 700);
  const Rect kept = dock::PlaceForEdge(dock::kNone, dock::kTop, 700, shorter, kScreen);
  EXPECT_EQ(kept.Height(), 300);
  EXPECT_EQ(kept.left, 500);
  EXPECT_EQ(dock::PlaceForEdge(dock::kNone, dock::kNone, 700, shorter, kScreen).Height(), 300);
}

TEST(Docking, HeightIsSavedOnlyWhenArrivingAtASide) {
  EXPECT_TRUE(dock::SavesHeight(dock::kLeft, dock::kNone));
  EXPECT_TRUE(dock::SavesHeight(dock::kRight, dock::kTop));
  EXPECT_TRUE(dock::SavesHeight(dock::kLeft, dock::kBottom));
  EXPECT_FALSE(dock::SavesHeight(dock::kLeft, dock::kLeft));
  EXPECT_FALSE(dock::SavesHeight(dock::kRight, dock::kLeft));
  EXPECT_FALSE(dock::SavesHeight(dock::kTop, dock::kNone));
  EXPECT_FALSE(dock::SavesHeight(dock::kNone, dock::kLeft));
}

TEST(Docking, SlideTargetsLeaveAFrameWideStripOrShowTheWholeWindow) {
  struct Case {
    int edge;
    bool hiding;
    long left, top;
  };
  const Case cases[] = {
      {dock::kTop, true, 500, 4 - 700}, {dock::kTop, false, 500, -2},     {dock::kBottom, true, 500, 796},
      {dock::kBottom, false, 500, 100}, {dock::kLeft, true, 4 - 300, 50}, {dock::kLeft, false, 0, 50},
      {dock::kRight, true, 1276, 50},   {dock::kRight, false, 980, 50},
  };
  for (const Case& c : cases) {
    const Rect r = dock::SlideTarget(c.edge, c.hiding, kWindow, kScreen);
    EXPECT_EQ(r.left, c.left) << "edge " << c.edge << (c.hiding ? " hiding" : " showing");
    EXPECT_EQ(r.top, c.top) << "edge " << c.edge << (c.hiding ? " hiding" : " showing");
    EXPECT_EQ(r.Width(), 300);
    EXPECT_EQ(r.Height(), 700);
  }
}

// Slides until SlideStep reports the end; returns the number of steps, or -1 when it never ends.
int SlideToEnd(int edge, bool hiding, Rect& window) {
  for (int steps = 1; steps <= 100; ++steps) {
    if (dock::SlideStep(edge, hiding, window, kScreen)) return steps;
  }
  return -1;
}

TEST(Docking, SlidingOutAndBackTakesTenthStepsAndEndsExactlyOnTheTarget) {
  const int edges[] = {dock::kTop, dock::kBottom, dock::kLeft, dock::kRight};
  for (int edge : edges) {
    Rect window = dock::PlaceForEdge(edge, dock::kNone, 400, kWindow, kScreen);
    const Rect docked = window;
    const int out = SlideToEnd(edge, true, window);
    ASSERT_GT(out, 0) << "edge " << edge;
    EXPECT_LE(out, 11) << "edge " << edge;
    const Rect hidden = dock::SlideTarget(edge, true, docked, kScreen);
    EXPECT_EQ(window.left, hidden.left) << "edge " << edge;
    EXPECT_EQ(window.top, hidden.top) << "edge " << edge;
    EXPECT_EQ(window.Height(), 700);

    const int back = SlideToEnd(edge, false, window);
    ASSERT_GT(back, 0) << "edge " << edge;
    const Rect shown = dock::SlideTarget(edge, false, docked, kScreen);
    EXPECT_EQ(window.left, shown.left) << "edge " << edge;
    EXPECT_EQ(window.top, shown.top) << "edge " << edge;
  }
}

TEST(Docking, OneStepMovesATenthOfTheSizeAlongTheEdgeAxis) {
  Rect window = {0, 50, 300, 750};
  EXPECT_FALSE(dock::SlideStep(dock::kLeft, true, window, kScreen));
  EXPECT_EQ(window.left, -30);
  EXPECT_EQ(window.top, 50);
  window = {500, -2, 800, 698};
  EXPECT_FALSE(dock::SlideStep(dock::kTop, true, window, kScreen));
  EXPECT_EQ(window.top, -72);
  EXPECT_EQ(window.left, 500);
}

TEST(Docking, ATinyWindowStillArrives) {
  Rect window = {0, 0, 5, 5};
  EXPECT_GT(SlideToEnd(dock::kLeft, true, window), 0);
  EXPECT_EQ(window.right, 4);
}

TEST(Docking, NoEdgeFinishesAtOnceWithoutMoving) {
  Rect window = kWindow;
  EXPECT_TRUE(dock::SlideStep(dock::kNone, false, window, kScreen));
  EXPECT_TRUE(dock::SlideStep(dock::kNone, true, window, kScreen));
  EXPECT_EQ(window.left, kWindow.left);
  EXPECT_EQ(window.top, kWindow.top);
}

}  // namespace
