// The line protocol between the access server and its clients (the RAS stand-in, rasdial through
// it, the ctl command and test programs). Portable: no Windows or POSIX header.
//
// Every request and every reply is one line ending in "\n" (a "\r" before it is ignored), at most
// kMaxLineLength bytes. Words are separated by blanks; a text word is escaped with EncodeField.
//
// The server keeps the machine's remote-access lines: a line is listed from the moment its dial
// starts until its tear-down is over, and its id is the stand-in's connection handle.
//
//   PING                                   -> OK
//   DIAL user password entry devtype devname framing [teardown_ms]
//                                          -> LINE id (at once), then OK id address start
//                                             | ERR code text (the dial failed; the line stays)
//                                          -> ERR 756|633|602 text (the entry is dialling, tearing
//                                             down, or held by a line not hung up; no line)
//                                          -> OK id address start (the entry is connected: its line)
//   HANGUP id [teardown_ms]                -> OK                    |  ERR 6 text
//   STAT id                                -> SESSION ... , OK      |  ERR 6 text
//   LIST                                   -> SESSION ... (each line), OK count
//   WATCH                                  -> SESSION ... (each), OK count, then events for ever:
//                                             EVENT UP <session words>   (a line connected)
//                                             EVENT DOWN id cause        (a connected line ended)
//                                             EVENT END id cause         (a dial ended unconnected)
//   COUNTS [user]                          -> COUNT ... (each account), OK count
//   DROP all|id|user                       -> OK count          (connected lines only)
//   FAIL code [times]                      -> OK           (code 0 clears)
//   DELAY ms                               -> OK
//   TRAFFIC down up                        -> OK           (bytes per second)
//   RESET                                  -> OK           (no line, no count, no failure, no delay)
//   STOP                                   -> OK, then the server ends
//   LIFELINE                               -> OK; the server ends when this connection closes
//
// A SESSION line: SESSION id user address start duration_ms received sent bps entry devtype devname
// phase state error (received and sent from the subscriber's side; start in seconds since 1970,
// UTC; phase one of the kPhase names; state a remote-access connection state, error the line's
// remote-access error or 0).
// A COUNT line: COUNT user dials refusals aborted sessions online [code:times ...].
// Malformed requests get "ERR 400 text"; dial refusals carry the remote-access error code.
//
// The connection that sent a DIAL holds the line's handle: while it stays open, a line that ended
// without being hung up (a failed dial, a dropped line after its tear-down) stays held; when it
// closes, a dial in progress is hung up and a held line is let go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace testbed {

constexpr int kDefaultPort = 3390;
constexpr std::size_t kMaxLineLength = 4096;
constexpr std::size_t kMaxBacklog = 64 * kMaxLineLength;
constexpr int kProtocolError = 400;

// Session ids are also the stand-in's connection handles, so they stay inside this range; handles
// of failed dials, which the server never sees, lie above it.
constexpr std::uint32_t kFirstSessionId = 0x00010000u;
constexpr std::uint32_t kLastSessionId = 0x3fffffffu;

// Phases of a line.
constexpr char kPhaseDialing[] = "dialing";      // the dial runs; listed
constexpr char kPhaseConnected[] = "connected";  // a session of the provider; listed
constexpr char kPhaseFailed[] = "failed";        // the dial failed, not hung up yet; listed
constexpr char kPhaseClosing[] = "closing";      // tearing down after a hang-up or a drop; listed
constexpr char kPhaseHeld[] = "held";            // ended and torn down, its handle not hung up yet

// Remote-access connection states (the values of RASCONNSTATE) that a line passes through.
constexpr std::uint32_t kStateOpenPort = 0;
constexpr std::uint32_t kStatePortOpened = 1;
constexpr std::uint32_t kStateConnectDevice = 2;
constexpr std::uint32_t kStateDeviceConnected = 3;
constexpr std::uint32_t kStateAllDevicesConnected = 4;
constexpr std::uint32_t kStateAuthenticate = 5;
constexpr std::uint32_t kStateAuthNotify = 6;
constexpr std::uint32_t kStateAuthProject = 10;
constexpr std::uint32_t kStateAuthenticated = 14;
constexpr std::uint32_t kStateProjected = 18;
constexpr std::uint32_t kStateConnected = 0x2000;
constexpr std::uint32_t kStateDisconnected = 0x2001;

// Tear-down time of a line when its request names none, and the longest one accepted.
constexpr std::uint64_t kDefaultTeardownMs = 1000;
constexpr std::uint64_t kMaxTeardownMs = 600000;

// Escapes a text so that it is one word: bytes up to the blank, "%" and DEL become %XX, and the
// empty text becomes "-" (a lone "-" is written %2D).
std::string EncodeField(std::string_view text);

// Reverses EncodeField. Returns false for a broken escape; *text is then unspecified.
bool DecodeField(std::string_view word, std::string* text);

// Splits a line at runs of blanks and tabs; no empty words.
std::vector<std::string_view> SplitWords(std::string_view line);

// Parses decimal digits only (no sign, no blanks) into a value no greater than max.
bool ParseNumber(std::string_view word, std::uint64_t max, std::uint64_t* value);

// Dotted IPv4 text <-> host-order value. Parse accepts exactly four decimal parts of 0..255.
bool ParseIpv4(std::string_view text, std::uint32_t* address);
std::string FormatIpv4(std::uint32_t address);

struct SessionInfo {
  std::uint32_t id = 0;
  std::string user;
  std::string address;
  std::int64_t start = 0;
  std::uint64_t durationMs = 0;
  std::uint64_t bytesReceived = 0;
  std::uint64_t bytesSent = 0;
  std::uint32_t bps = 0;
  std::string entry;
  std::string deviceType;
  std::string deviceName;
  std::string phase = kPhaseConnected;
  std::uint32_t state = kStateConnected;
  std::uint32_t error = 0;
};

// The words after "SESSION " or "EVENT UP ".
std::string FormatSessionWords(const SessionInfo& session);
// Parses those words (as split by SplitWords); false when any is missing or malformed.
bool ParseSessionWords(const std::vector<std::string_view>& words, std::size_t first, SessionInfo* session);

// What the server counted for one account since it started (or since RESET).
struct AccountCounts {
  std::string user;
  std::uint64_t dials = 0;                // DIAL requests, whatever became of them
  std::uint64_t aborted = 0;              // dials hung up (or abandoned) before they ended
  std::uint64_t sessions = 0;             // dials that connected
  bool online = false;                    // a line of the account is connected now
  std::map<int, std::uint64_t> refusals;  // dials that failed, by remote-access error code

  std::uint64_t Refusals() const;
  std::uint64_t Refused(int code) const;
};

// The words after "COUNT ".
std::string FormatCountWords(const AccountCounts& counts);
// Parses those words; false when any is missing or malformed.
bool ParseCountWords(const std::vector<std::string_view>& words, std::size_t first, AccountCounts* counts);

// Status line of a reply: "OK ..." or "ERR code text".
struct Status {
  bool ok = false;
  int code = 0;      // the error code of ERR
  std::string rest;  // what follows OK, or the text of ERR
};
bool ParseStatus(std::string_view line, Status* status);
bool IsStatusLine(std::string_view line);

// Collects bytes from a stream and hands out complete lines.
class CLineBuffer {
 public:
  void Append(const char* data, std::size_t size);
  // Takes the next complete line (without "\r\n"). Returns false when none is complete yet.
  bool NextLine(std::string* line);
  // True once a line grew longer than kMaxLineLength or more than kMaxBacklog bytes waited
  // unread: the peer is not speaking the protocol, and the buffer has dropped what it held.
  bool Overflowed() const { return m_overflow; }
  bool Empty() const { return m_data.empty(); }

 private:
  std::string m_data;
  bool m_overflow = false;
};

}  // namespace testbed
