// The datagrams exchanged with the provider's message server, laid out byte by byte.
//
// Every datagram is built into a fixed byte array, field by field, with its 32-bit kind written
// little-endian whatever the host, so the bytes on the wire never depend on structure padding or
// byte order. Reading a received datagram never looks past the bytes that arrived.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr unsigned short kMessageServerPort = 3360;

constexpr size_t kPresenceNoticeSize = 44;
constexpr size_t kKeepAliveSize = 44;
constexpr size_t kMessageRecordSize = 1312;

// Size of the user name field of a presence notice.
constexpr size_t kNoticeUserNameSize = 20;

// Kinds of the first 32-bit word.
constexpr uint32_t kKindOnlineNotice = 1;
constexpr uint32_t kKindOfflineNotice = 2;
constexpr uint32_t kKindKeepAlive = 10;
constexpr uint32_t kKindP2pTrash = 103;

using PresenceNotice = std::array<unsigned char, kPresenceNoticeSize>;
using KeepAliveDatagram = std::array<unsigned char, kKeepAliveSize>;

// A message from the server: the receive buffer's layout and the element of the received-message
// queue. The texts are always NUL-terminated within their fields once parsed.
struct MessageRecord {
  uint32_t kind;
  char title[24];
  uint32_t linkFlag;  // 1 when url holds a web address
  char url[256];
  char content[1024];
};
static_assert(sizeof(MessageRecord) == kMessageRecordSize, "the message record is 1312 bytes");
static_assert(offsetof(MessageRecord, title) == 4 && offsetof(MessageRecord, linkFlag) == 28 &&
                  offsetof(MessageRecord, url) == 32 && offsetof(MessageRecord, content) == 288,
              "the message record's fields lie at the server's offsets");

// How the receiver treats one result of a receive.
enum class DatagramClass {
  kReceiveError,  // a result of zero or less
  kP2pTrash,      // first 32-bit word is 103
  kOther,         // anything else, including datagrams too short to hold a kind
};

// Reads and writes a 32-bit little-endian word.
uint32_t ReadLittleEndian32(const unsigned char* bytes);
void WriteLittleEndian32(unsigned char* bytes, uint32_t value);

// The 44-byte presence notice: kind (1 online, 2 offline) at 0, the user name at 4 copied with at
// most 20 bytes, NUL-padded when shorter and not terminated when 20 bytes or longer; bytes 24 to 43
// are zero. A null user name is sent as an empty one.
PresenceNotice BuildPresenceNotice(uint32_t kind, const char* userName);

// The 44-byte keep-alive: kind 10 at 0, zero through 23, "A" at 24, zero after it.
KeepAliveDatagram BuildKeepAlive();

// Classifies what one receive returned: result is the receive's result (zero or less for a failed
// receive), data holds the result's count of received bytes. At most the first 4 bytes are read.
DatagramClass ClassifyDatagram(const unsigned char* data, long result);

// Parses a received datagram into a record. A datagram shorter than the record leaves the missing
// fields zero; a longer one is cut at 1312 bytes. Texts are cut at their field's last byte, so each
// is a terminated string. Returns false (record all zero) when the datagram cannot hold a kind
// (fewer than 4 bytes or a null pointer).
bool ParseMessageRecord(const unsigned char* data, size_t size, MessageRecord* record);
