#include "client/core/SupervisionTexts.h"

#include <cstdio>

#include "client/core/AppTexts.h"

std::string FormatLinkSpeed(unsigned long bitsPerSecond) {
  char text[32];
  std::snprintf(text, sizeof(text), "%ldMbps", static_cast<long>(bitsPerSecond / 1000000ul));
  return text;
}

std::string TrayTipText(bool connected, const std::string& ip, const std::string& speed) {
  std::string tip = app::kTitle;
  if (connected) {
    tip += "\r\nIP地址：" + ip + "\r\n速度：" + speed;
  } else {
    tip += "\r\n未通过本软件拨号";
  }
  return tip;
}
