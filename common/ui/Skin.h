// The client's look: one flat body colour behind every window and page, blue links.
#pragma once

#include <windows.h>

namespace skin {

constexpr COLORREF kBodyColour = RGB(234, 244, 252);
constexpr COLORREF kTextColour = RGB(20, 40, 70);
constexpr COLORREF kLinkColour = RGB(0, 70, 200);
constexpr COLORREF kCaptionColour = RGB(40, 110, 190);

// The body brush, made once and kept for the program's life.
HBRUSH BodyBrush();

// Answers the WM_CTLCOLOR messages of a skinned window: the body colour behind dialogs, static
// texts and buttons, link colour for the controls in links (a null-terminated list of ids, or
// null). Returns false for other messages; result is the brush.
bool ControlColour(UINT message, WPARAM wParam, LPARAM lParam, const int* links, LRESULT& result);

// A hand cursor over the link controls; false when the cursor is elsewhere.
bool LinkCursor(HWND dialog, WPARAM wParam, const int* links);

// Opens a web address with the user's default browser.
void OpenWebPage(HWND owner, const char* address);

}  // namespace skin
