// The line protocol between the access server and its clients (the RAS stand-in, rasdial through
// it, the ctl command and test programs). Portable: no Windows or POSIX header.
//
// Every request and every reply is one line ending in "\n" (a "\r" before it is ignored), at most
// kMaxLineLength bytes. Words are separated by blanks; a text word is escaped with EncodeField.
//
//   PING                                   -> OK
//   DIAL user password [entry [devtype [devname]]]
//                                          -> OK id address start   |  ERR code text
//   HANGUP id                              -> OK                    |  ERR 6 text
//   STAT id                                -> SESSION ... , OK      |  ERR 6 text
//   LIST                                   -> SESSION ... (each), OK count
//   WATCH                                  -> SESSION ... (each), OK count, then events for ever:
//                                             EVENT UP <session words>   /  EVENT DOWN id cause
//   DROP all|id|user                       -> OK count
//   FAIL code [times]                      -> OK           (code 0 clears)
//   DELAY ms                               -> OK
//   TRAFFIC down up                        -> OK           (bytes per second)
//   STOP                                   -> OK, then the server ends
//   LIFELINE                               -> OK; the server ends when this connection closes
//
// A SESSION line: SESSION id user address start duration_ms received sent bps entry devtype devname
// (received and sent from the subscriber's side; start in seconds since 1970, UTC).
// Malformed requests get "ERR 400 text"; dial refusals carry the remote-access error code.
#pragma once

#include <cstddef>
#include <cstdint>
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
};

// The words after "SESSION " or "EVENT UP ".
std::string FormatSessionWords(const SessionInfo& session);
// Parses those words (as split by SplitWords); false when any is missing or malformed.
bool ParseSessionWords(const std::vector<std::string_view>& words, std::size_t first, SessionInfo* session);

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
