// CNavigationPage: the "推荐服务" tab, labelled links that open the provider's web pages.
#pragma once

#include "client/core/PageBase.h"

class CNavigationPage : public CPageBase {
 public:
  CNavigationPage();

  // The address behind a link control, or null for other ids.
  static const char* AddressOf(int controlId);

 protected:
  bool OnCommand(int id, int code, HWND control) override;
};
