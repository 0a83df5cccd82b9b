#include "dialengine/LanDial.h"

CLanDial::CLanDial() = default;

CLanDial::~CLanDial() = default;

int CLanDial::GetConnectState() {
  return 0;
}

int CLanDial::Connect() {
  return 0;
}

int CLanDial::Close() {
  return 0;
}

void CLanDial::SetHrasconn(HRASCONN) {}
