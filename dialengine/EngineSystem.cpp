#include "dialengine/EngineSystem.h"

#include <wininet.h>

// The XP generation's layouts: the 32-bit build must hand the system exactly these sizes.
#if defined(__i386__)
static_assert(sizeof(RASDEVINFOA) == 152, "RASDEVINFOA layout");
static_assert(sizeof(RASENTRYA) == 2884, "RASENTRYA layout");
static_assert(sizeof(RASDIALPARAMSA) == 1060, "RASDIALPARAMSA layout");
static_assert(sizeof(RASCONNA) == 704, "RASCONNA layout");
static_assert(sizeof(RASCONNSTATUSA) == 288, "RASCONNSTATUSA layout");
static_assert(sizeof(RASPPPIPA) == 48, "RASPPPIPA layout");
#endif

EngineSystem RealEngineSystem() {
  EngineSystem api;
  api.rasEnumDevices = &RasEnumDevicesA;
  api.rasValidateEntryName = &RasValidateEntryNameA;
  api.rasSetEntryProperties = &RasSetEntryPropertiesA;
  api.rasDial = &RasDialA;
  api.rasHangUp = &RasHangUpA;
  api.rasGetConnectStatus = &RasGetConnectStatusA;
  api.rasEnumConnections = &RasEnumConnectionsA;
  api.rasGetProjectionInfo = &RasGetProjectionInfoA;
  api.rasGetErrorString = &RasGetErrorStringA;
  api.internetGetConnectedState = &InternetGetConnectedState;
  api.messageBox = &MessageBoxA;
  api.tickCount = &GetTickCount;
  return api;
}

EngineSystem& EngineCalls() {
  static EngineSystem api = RealEngineSystem();
  return api;
}
