// The provider's messages: what a message datagram must hold to be taken, the categories of its
// kinds, the texts kept for it in the message store, and the order they are listed in.
//
// A message datagram is exactly one 1312-byte message record (kind, title, link flag, web address,
// content). Anything else the server or a stranger sends is dropped whole: nothing of it is stored
// or shown. Portable: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The kinds of message datagram the client takes, and the category each is stored under.
constexpr uint32_t kKindNoticeMessage = 100;        // "通知"
constexpr uint32_t kKindAnnouncementMessage = 101;  // "公告"
constexpr uint32_t kKindOfferMessage = 102;         // "优惠"

// One message as the store keeps it: the six texts of an ITEM (GB2312). date is "YYYY-MM-DD" and
// time "HH:MM:SS", the local moment the client received it; url is empty when the message has no
// web address.
struct ProviderMessage {
  std::string category, title, date, time, url, content;
};

// Why a datagram was not taken.
enum class MessageDefect {
  kNone,
  kSize,      // not exactly 1312 bytes
  kKind,      // a kind that is no message (103 and the presence kinds among them)
  kTitle,     // no terminator within the field, empty, or not clean text
  kLinkFlag,  // neither 0 nor 1
  kLink,      // no terminator; with flag 1 not a web link, with flag 0 not empty
  kContent,   // no terminator within the field, empty, or not clean text
};

// The category text of a message kind; null for any other kind.
const char* MessageCategory(uint32_t kind);

// Reads a received datagram of size bytes into message (category, title, url and content; date and
// time are left as they are). Returns kNone when it is a message, else the first defect found, in
// the order of the fields; message is then unchanged. Texts are clean when they hold no control
// character (the content may hold CR, LF and TAB) and every byte from 0x81 up starts a complete
// double-byte character (lead 0x81-0xFE, trail 0x40-0xFE but 0x7F); 0x80 and 0xFF are refused.
MessageDefect ReadProviderMessage(const unsigned char* data, size_t size, ProviderMessage* message);

// True when address is a web link the shell may be given: "http://" or "https://" (any letter
// case), a host of letters, digits, '.', '-' and an optional ":port", then an optional path of
// printable ASCII without blanks, quotes, '<', '>', '\\', '^', '`', '{', '|' or '}'.
bool IsWebLink(const std::string& address);

// The date and time texts of a local moment: "YYYY-MM-DD" and "HH:MM:SS".
void FormatMessageMoment(int year, int month, int day, int hour, int minute, int second, std::string* date,
                         std::string* time);

// The positions of messages (in the store's order, oldest appended first) listed newest first: by
// date and time, later first; of two with the same moment, the one stored later first. Messages
// whose date or time is not of the store's format come last, the one stored later first.
std::vector<size_t> NewestFirst(const std::vector<ProviderMessage>& messages);

// text cut to at most maxBytes bytes (maxBytes > 3) on a character boundary, ending in "..." when
// it was cut; a text that fits comes back as it is.
std::string CutText(const std::string& text, size_t maxBytes);

// The content as a multi-line edit shows it: every line break CR LF.
std::string WithWindowsLineBreaks(const std::string& text);
