// Texts of the connection supervision: the tray tooltip and the link speed. Portable.
#pragma once

#include <string>

// The link speed of an interface of bitsPerSecond, in whole megabits: "%ldMbps".
std::string FormatLinkSpeed(unsigned long bitsPerSecond);

// The tray tooltip. Connected (after the main window learnt of the connection): the title, then
// "\r\nIP地址：" with the address and "\r\n速度：" with the speed text; otherwise the title and
// "\r\n未通过本软件拨号".
std::string TrayTipText(bool connected, const std::string& ip, const std::string& speed);
