// CConnectManage: the client's door to the remote-access service.
//
// It owns the current dialer (CRasDial for type 1, CLanDial for type 2) and forwards to it. The
// fields stay in this order after the virtual table; the destructor is the only virtual operation.
// The engine has no threads and no locks: the caller serialises dial and hang-up.
#pragma once

#include "dialengine/Dial.h"
#include "dialengine/LinkwellApi.h"

// Called with each dial-entry name that EnumEntry reports, and the data registered with it.
typedef int (*EntryNameCallback)(char* entryName, void* userData);

// Connection type codes.
enum { kConnectTypeRas = 1, kConnectTypeLan = 2 };
// Results of CheckNet and CheckNetType.
enum {
  kNetNotConnected = 0,
  kNetThroughRas = 1,
  kNetThroughLan = 2,
  kNetThroughProxy = 3,
  kNetOther = 4,
};

// The one dial entry the system creates, dials and watches.
#define LINKWELL_DEFAULT_ENTRY "pppoe_vorlan_default_entry"

class LINKWELL_API CConnectManage {
 public:
  // Starts with no dialer, type 0 and no callback or data.
  CConnectManage();
  // Copies every field: the dialer becomes shared, not duplicated. The managers that share a
  // dialer are counted, and the last one to let it go (destroyed, or given another dialer)
  // destroys it, so a copy never uses a destroyed dialer.
  CConnectManage(const CConnectManage& other);
  CConnectManage& operator=(const CConnectManage& other);
  // Lets its dialer go (see above).
  virtual ~CConnectManage();

  // Destroys a dialer of a recorded type 1 or 2, then NewConnect(type).
  void SetConnectType(int type);
  // Type 1 makes a RAS dialer, type 2 a LAN dialer, replacing (and destroying) the current one; other
  // types keep the dialer. Records the type in every case.
  void NewConnect(int type);
  // Copies each non-null argument into the dialer, cut to 49, 49 and 99 bytes. Without a dialer it
  // does nothing.
  void SetConnectInfo(char* user, char* password, char* entry);
  // The dialer's Connect, or 0 without a dialer. When a RAS dial fails, GetLastError() on the
  // calling thread answers its remote-access error code (691: user name or password refused);
  // without a dialer the last error is left as it was.
  int Connect();
  // The dialer's GetConnectState, or 0 without a dialer.
  int GetConnectState();
  // Hangs up with the dialer that the network check chooses: through RAS (1) a fresh RAS dialer that
  // hangs up the listed default-entry connections, through the LAN (2) a LAN dialer that does
  // nothing, otherwise the current dialer. The check's result becomes the recorded type.
  void Close();
  // The network check, writing the IP address, connection name and status texts (see CDial::CheckNet);
  // works with or without a dialer.
  int CheckNet();
  // The same classification without writing texts or looking at RAS connections.
  int CheckNetType();
  // Registers the entry-name callback and its data (the first registration wins) and reports a
  // non-null name through it.
  void InsertEntryName(EntryNameCallback callback, char* name, void* data);
  // Makes sure the default entry exists, then reports its name through the callback.
  void EnumEntry();
  // Creates the default PPPoE entry on the first "pppoe" device: 1 created, 0 failed (with a
  // message box).
  int CreateDefaultEntry();
  // Makes the dialer forget a connection that ended by itself. Without a dialer it does nothing.
  void SetHrasconnNull();

 private:
  CDial* m_dialer;
  int m_connectType;
  EntryNameCallback m_entryCallback;
  void* m_userData;
};
