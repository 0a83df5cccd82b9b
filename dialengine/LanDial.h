// CLanDial: the dialer of connection type 2. A LAN needs no dial: every operation does nothing.
#pragma once

#include "dialengine/Dial.h"

class CLanDial : public CDial {
 public:
  CLanDial();
  ~CLanDial() override;

  // Always 0.
  int GetConnectState() override;
  // Always 0; dials nothing.
  int Connect() override;
  // Hangs up nothing, writes nothing, returns 0.
  int Close() override;
  // Ignored.
  void SetHrasconn(HRASCONN connection) override;
};
