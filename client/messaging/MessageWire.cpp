#include "client/messaging/MessageWire.h"

#include <cstring>

uint32_t ReadLittleEndian32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLittleEndian32(unsigned char* bytes, uint32_t value) {
  bytes[0] = static_cast<unsigned char>(value);
  bytes[1] = static_cast<unsigned char>(value >> 8);
  bytes[2] = static_cast<unsigned char>(value >> 16);
  bytes[3] = static_cast<unsigned char>(value >> 24);
}

PresenceNotice BuildPresenceNotice(uint32_t kind, const char* userName) {
  PresenceNotice notice{};
  WriteLittleEndian32(notice.data(), kind);
  // The server reads a fixed 20-byte field: a name that fills it goes without terminator, and
  // the bytes of a name beyond it are not sent.
  if (userName != nullptr) {
    size_t length = strnlen(userName, kNoticeUserNameSize);
    memcpy(notice.data() + 4, userName, length);
  }
  return notice;
}

KeepAliveDatagram BuildKeepAlive() {
  KeepAliveDatagram datagram{};
  WriteLittleEndian32(datagram.data(), kKindKeepAlive);
  datagram[24] = 'A';
  return datagram;
}

DatagramClass ClassifyDatagram(const unsigned char* data, long result) {
  if (result <= 0) return DatagramClass::kReceiveError;
  if (data == nullptr || result < 4) return DatagramClass::kOther;
  return ReadLittleEndian32(data) == kKindP2pTrash ? DatagramClass::kP2pTrash : DatagramClass::kOther;
}

namespace {

// Copies one text field of the record and terminates it within the field, so that a server that
// fills the field to its end cannot make a reader run past it.
void CopyField(char* field, size_t fieldSize, const unsigned char* data, size_t size, size_t offset) {
  if (size <= offset) return;
  size_t available = size - offset;
  size_t length = available < fieldSize ? available : fieldSize;
  memcpy(field, data + offset, length);
  field[fieldSize - 1] = '\0';
}

}  // namespace

bool ParseMessageRecord(const unsigned char* data, size_t size, MessageRecord* record) {
  if (record == nullptr) return false;
  memset(record, 0, sizeof(*record));
  if (data == nullptr || size < 4) return false;
  if (size > kMessageRecordSize) size = kMessageRecordSize;
  record->kind = ReadLittleEndian32(data);
  CopyField(record->title, sizeof(record->title), data, size, offsetof(MessageRecord, title));
  if (size >= offsetof(MessageRecord, linkFlag) + 4) {
    record->linkFlag = ReadLittleEndian32(data + offsetof(MessageRecord, linkFlag));
  }
  CopyField(record->url, sizeof(record->url), data, size, offsetof(MessageRecord, url));
  CopyField(record->content, sizeof(record->content), data, size, offsetof(MessageRecord, content));
  return true;
}
