// Every version of the remote-access structures that a program may pass, as the headers of each
// Windows generation lay them out (WINVER 0x0400 on; 4-byte packing, as the headers declare them).
// The remote-access service tells the version from dwSize and serves each one; any other size is
// ERROR_INVALID_SIZE. On x86_64 the layouts are the 64-bit ones, which the compiler works out here.
// The newest version of each structure is the one the stand-in fills; an older one is its prefix.
#pragma once

#include <winsock2.h>

#include <windows.h>

#include <in6addr.h>
#include <ras.h>

#include <cstddef>
#include <initializer_list>

namespace rasemu {

#pragma pack(push, 4)

// RASCONNA: 0x0400, 0x0401, 0x0500, 0x0501 (the headers of this build), 0x0600.
#define RASEMU_CONN_0400                    \
  DWORD dwSize;                             \
  HRASCONN hrasconn;                        \
  CHAR szEntryName[RAS_MaxEntryName + 1];   \
  CHAR szDeviceType[RAS_MaxDeviceType + 1]; \
  CHAR szDeviceName[RAS_MaxDeviceName + 1];
#define RASEMU_CONN_0401                       \
  RASEMU_CONN_0400 CHAR szPhonebook[MAX_PATH]; \
  DWORD dwSubEntry;
#define RASEMU_CONN_0500 RASEMU_CONN_0401 GUID guidEntry;
#define RASEMU_CONN_0501          \
  RASEMU_CONN_0500 DWORD dwFlags; \
  LUID luid;
#define RASEMU_CONN_0600 RASEMU_CONN_0501 GUID guidCorrelationId;
struct Conn0400 {
  RASEMU_CONN_0400
};
struct Conn0401 {
  RASEMU_CONN_0401
};
struct Conn0500 {
  RASEMU_CONN_0500
};
struct Conn0501 {
  RASEMU_CONN_0501
};
struct Conn0600 {
  RASEMU_CONN_0600
};

// RASDIALPARAMSA: 0x0400, 0x0401 (to 0x0600), 0x0601, 0x0602 (the encrypted password).
#define RASEMU_DIAL_0400                            \
  DWORD dwSize;                                     \
  CHAR szEntryName[RAS_MaxEntryName + 1];           \
  CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];       \
  CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1]; \
  CHAR szUserName[UNLEN + 1];                       \
  CHAR szPassword[PWLEN + 1];                       \
  CHAR szDomain[DNLEN + 1];
#define RASEMU_DIAL_0401             \
  RASEMU_DIAL_0400 DWORD dwSubEntry; \
  ULONG_PTR dwCallbackId;
#define RASEMU_DIAL_0601 RASEMU_DIAL_0401 DWORD dwIfIndex;
#define RASEMU_DIAL_0602 RASEMU_DIAL_0601 LPSTR szEncPassword;
struct DialParams0400 {
  RASEMU_DIAL_0400
};
struct DialParams0401 {
  RASEMU_DIAL_0401
};
struct DialParams0601 {
  RASEMU_DIAL_0601
};
struct DialParams0602 {
  RASEMU_DIAL_0602
};

// RASCONNSTATUSA: 0x0400, 0x0401 (the phone number), 0x0601 (tunnel end points and sub-state).
struct TunnelEndPoint {
  DWORD dwType;
  union {
    in_addr ipv4;
    in6_addr ipv6;
  };
};
#define RASEMU_STATUS_0400                  \
  DWORD dwSize;                             \
  RASCONNSTATE rasconnstate;                \
  DWORD dwError;                            \
  CHAR szDeviceType[RAS_MaxDeviceType + 1]; \
  CHAR szDeviceName[RAS_MaxDeviceName + 1];
#define RASEMU_STATUS_0401 RASEMU_STATUS_0400 CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
#define RASEMU_STATUS_0601                         \
  RASEMU_STATUS_0401 TunnelEndPoint localEndPoint; \
  TunnelEndPoint remoteEndPoint;                   \
  DWORD rasconnsubstate;
struct Status0400 {
  RASEMU_STATUS_0400
};
struct Status0401 {
  RASEMU_STATUS_0401
};
struct Status0601 {
  RASEMU_STATUS_0601
};

// RASENTRYA: 0x0400, 0x0401, 0x0500, 0x0501 (the headers of this build), 0x0600, 0x0601, 0x0602,
// 0x0A00.
#define RASEMU_ENTRY_0400                          \
  DWORD dwSize;                                    \
  DWORD dwfOptions;                                \
  DWORD dwCountryID;                               \
  DWORD dwCountryCode;                             \
  CHAR szAreaCode[RAS_MaxAreaCode + 1];            \
  CHAR szLocalPhoneNumber[RAS_MaxPhoneNumber + 1]; \
  DWORD dwAlternateOffset;                         \
  RASIPADDR ipaddr;                                \
  RASIPADDR ipaddrDns;                             \
  RASIPADDR ipaddrDnsAlt;                          \
  RASIPADDR ipaddrWins;                            \
  RASIPADDR ipaddrWinsAlt;                         \
  DWORD dwFrameSize;                               \
  DWORD dwfNetProtocols;                           \
  DWORD dwFramingProtocol;                         \
  CHAR szScript[MAX_PATH];                         \
  CHAR szAutodialDll[MAX_PATH];                    \
  CHAR szAutodialFunc[MAX_PATH];                   \
  CHAR szDeviceType[RAS_MaxDeviceType + 1];        \
  CHAR szDeviceName[RAS_MaxDeviceName + 1];        \
  CHAR szX25PadType[RAS_MaxPadType + 1];           \
  CHAR szX25Address[RAS_MaxX25Address + 1];        \
  CHAR szX25Facilities[RAS_MaxFacilities + 1];     \
  CHAR szX25UserData[RAS_MaxUserData + 1];         \
  DWORD dwChannels;                                \
  DWORD dwReserved1;                               \
  DWORD dwReserved2;
#define RASEMU_ENTRY_0401               \
  RASEMU_ENTRY_0400 DWORD dwSubEntries; \
  DWORD dwDialMode;                     \
  DWORD dwDialExtraPercent;             \
  DWORD dwDialExtraSampleSeconds;       \
  DWORD dwHangUpExtraPercent;           \
  DWORD dwHangUpExtraSampleSeconds;     \
  DWORD dwIdleDisconnectSeconds;
#define RASEMU_ENTRY_0500         \
  RASEMU_ENTRY_0401 DWORD dwType; \
  DWORD dwEncryptionType;         \
  DWORD dwCustomAuthKey;          \
  GUID guidId;                    \
  CHAR szCustomDialDll[MAX_PATH]; \
  DWORD dwVpnStrategy;
#define RASEMU_ENTRY_0501                         \
  RASEMU_ENTRY_0500 DWORD dwfOptions2;            \
  DWORD dwfOptions3;                              \
  CHAR szDnsSuffix[RAS_MaxDnsSuffix];             \
  DWORD dwTcpWindowSize;                          \
  CHAR szPrerequisitePbk[MAX_PATH];               \
  CHAR szPrerequisiteEntry[RAS_MaxEntryName + 1]; \
  DWORD dwRedialCount;                            \
  DWORD dwRedialPause;
#define RASEMU_ENTRY_0600                 \
  RASEMU_ENTRY_0501 in6_addr ipv6addrDns; \
  in6_addr ipv6addrDnsAlt;                \
  DWORD dwIPv4InterfaceMetric;            \
  DWORD dwIPv6InterfaceMetric;
#define RASEMU_ENTRY_0601              \
  RASEMU_ENTRY_0600 in6_addr ipv6addr; \
  DWORD dwIPv6PrefixLength;            \
  DWORD dwNetworkOutageTime;
#define RASEMU_ENTRY_0602                       \
  RASEMU_ENTRY_0601 CHAR szIDi[kMaxIdSize + 1]; \
  CHAR szIDr[kMaxIdSize + 1];                   \
  BOOL fIsImsConfig;                            \
  DWORD IdiType;                                \
  DWORD IdrType;
#define RASEMU_ENTRY_0A00 RASEMU_ENTRY_0602 BOOL fDisableIKEv2Fragmentation;
constexpr std::size_t kMaxIdSize = 256;  // RAS_MaxIDSize
struct Entry0400 {
  RASEMU_ENTRY_0400
};
struct Entry0401 {
  RASEMU_ENTRY_0401
};
struct Entry0500 {
  RASEMU_ENTRY_0500
};
struct Entry0501 {
  RASEMU_ENTRY_0501
};
struct Entry0600 {
  RASEMU_ENTRY_0600
};
struct Entry0601 {
  RASEMU_ENTRY_0601
};
struct Entry0602 {
  RASEMU_ENTRY_0602
};
struct Entry0A00 {
  RASEMU_ENTRY_0A00
};

// RASPPPIPA: without the server address (WINNT35COMPATIBLE), 0x0400, 0x0500 (the options).
#define RASEMU_PPPIP_35 \
  DWORD dwSize;         \
  DWORD dwError;        \
  CHAR szIpAddress[RAS_MaxIpAddress + 1];
#define RASEMU_PPPIP_0400 RASEMU_PPPIP_35 CHAR szServerIpAddress[RAS_MaxIpAddress + 1];
#define RASEMU_PPPIP_0500            \
  RASEMU_PPPIP_0400 DWORD dwOptions; \
  DWORD dwServerOptions;
struct PppIp35 {
  RASEMU_PPPIP_35
};
struct PppIp0400 {
  RASEMU_PPPIP_0400
};
struct PppIp0500 {
  RASEMU_PPPIP_0500
};

#pragma pack(pop)

// The newest versions, which the stand-in fills and copies out as far as the caller's version goes.
using ConnLatest = Conn0600;
using DialParamsLatest = DialParams0602;
using StatusLatest = Status0601;
using EntryLatest = Entry0A00;
using PppIpLatest = PppIp0500;

// The versions of this build's headers are among them, at the same offsets.
static_assert(sizeof(Conn0501) == sizeof(RASCONNA), "RASCONNA of this build");
static_assert(offsetof(ConnLatest, luid) == offsetof(RASCONNA, luid), "RASCONNA of this build");
static_assert(sizeof(DialParams0401) == sizeof(RASDIALPARAMSA), "RASDIALPARAMSA of this build");
static_assert(sizeof(Status0401) == sizeof(RASCONNSTATUSA), "RASCONNSTATUSA of this build");
static_assert(sizeof(Entry0501) == sizeof(RASENTRYA), "RASENTRYA of this build");
static_assert(offsetof(EntryLatest, dwRedialPause) == offsetof(RASENTRYA, dwRedialPause), "RASENTRYA");
static_assert(sizeof(PppIp0500) == sizeof(RASPPPIPA), "RASPPPIPA of this build");
#if !defined(_WIN64)
// The sizes of the Windows XP generation, on the 32-bit build.
static_assert(sizeof(RASCONNA) == 704 && sizeof(RASDIALPARAMSA) == 1060 && sizeof(RASCONNSTATUSA) == 288 &&
                  sizeof(RASENTRYA) == 2884 && sizeof(RASPPPIPA) == 48,
              "Windows XP structure sizes");
#endif

inline bool IsOneOf(DWORD size, std::initializer_list<std::size_t> sizes) {
  for (std::size_t known : sizes) {
    if (size == known) return true;
  }
  return false;
}

inline bool KnownConnSize(DWORD size) {
  return IsOneOf(size,
                 {sizeof(Conn0400), sizeof(Conn0401), sizeof(Conn0500), sizeof(Conn0501), sizeof(Conn0600)});
}
inline bool KnownDialParamsSize(DWORD size) {
  return IsOneOf(
      size, {sizeof(DialParams0400), sizeof(DialParams0401), sizeof(DialParams0601), sizeof(DialParams0602)});
}
inline bool KnownStatusSize(DWORD size) {
  return IsOneOf(size, {sizeof(Status0400), sizeof(Status0401), sizeof(Status0601)});
}
inline bool KnownEntrySize(DWORD size) {
  return IsOneOf(size, {sizeof(Entry0400), sizeof(Entry0401), sizeof(Entry0500), sizeof(Entry0501),
                        sizeof(Entry0600), sizeof(Entry0601), sizeof(Entry0602), sizeof(Entry0A00)});
}
inline bool KnownPppIpSize(DWORD size) {
  return IsOneOf(size, {sizeof(PppIp35), sizeof(PppIp0400), sizeof(PppIp0500)});
}
// RASDEVINFOA and RAS_STATS have one version each.
inline bool KnownDeviceInfoSize(DWORD size) {
  return size == sizeof(RASDEVINFOA);
}
inline bool KnownStatisticsSize(DWORD size) {
  return size == sizeof(RAS_STATS);
}

}  // namespace rasemu
