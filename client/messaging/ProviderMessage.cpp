#include "client/messaging/ProviderMessage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "client/messaging/MessageWire.h"

namespace {

constexpr size_t kTitleOffset = 4, kTitleSize = 24;
constexpr size_t kLinkFlagOffset = 28;
constexpr size_t kUrlOffset = 32, kUrlSize = 256;
constexpr size_t kContentOffset = 288, kContentSize = 1024;

bool IsLeadByte(unsigned char byte) {
  return byte >= 0x81 && byte <= 0xFE;
}

bool IsTrailByte(unsigned char byte) {
  return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// A terminated text field: false when the field holds no NUL.
bool ReadField(const unsigned char* data, size_t offset, size_t size, std::string* text) {
  const void* end = memchr(data + offset, '\0', size);
  if (end == nullptr) return false;
  text->assign(reinterpret_cast<const char*>(data + offset),
               static_cast<const unsigned char*>(end) - (data + offset));
  return true;
}

bool IsCleanText(const std::string& text, bool lineBreaks) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) {
      if (!lineBreaks || (byte != '\r' && byte != '\n' && byte != '\t')) return false;
    } else if (byte >= 0x80) {
      if (!IsLeadByte(byte) || i + 1 >= text.size() || !IsTrailByte(static_cast<unsigned char>(text[i + 1])))
        return false;
      ++i;
    }
  }
  return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const size_t length = strlen(prefix);
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == ':';
}

bool IsPathCharacter(char c) {
  return c > 0x20 && c < 0x7F && strchr("\"<>\\^`{|}", c) == nullptr;
}

// "YYYY-MM-DD HH:MM:SS" as the store writes it, digits where digits belong.
bool IsStoredMoment(const ProviderMessage& message) {
  static const char kDate[] = "9999-99-99";
  static const char kTime[] = "99:99:99";
  auto matches = [](const std::string& text, const char* pattern) {
    if (text.size() != strlen(pattern)) return false;
    for (size_t i = 0; i < text.size(); ++i) {
      const bool digit = text[i] >= '0' && text[i] <= '9';
      if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
  };
  return matches(message.date, kDate) && matches(message.time, kTime);
}

}  // namespace

const char* MessageCategory(uint32_t kind) {
  switch (kind) {
    case kKindNoticeMessage:
      return "通知";
    case kKindAnnouncementMessage:
      return "公告";
    case kKindOfferMessage:
      return "优惠";
    default:
      return nullptr;
  }
}

MessageDefect ReadProviderMessage(const unsigned char* data, size_t size, ProviderMessage* message) {
  if (data == nullptr || size != kMessageRecordSize) return MessageDefect::kSize;
  const char* category = MessageCategory(ReadLittleEndian32(data));
  if (category == nullptr) return MessageDefect::kKind;
  std::string title, url, content;
  if (!ReadField(data, kTitleOffset, kTitleSize, &title) || title.empty() || !IsCleanText(title, false))
    return MessageDefect::kTitle;
  const uint32_t linkFlag = ReadLittleEndian32(data + kLinkFlagOffset);
  if (linkFlag > 1) return MessageDefect::kLinkFlag;
  if (!ReadField(data, kUrlOffset, kUrlSize, &url)) return MessageDefect::kLink;
  if (linkFlag == 1 ? !IsWebLink(url) : !url.empty()) return MessageDefect::kLink;
  if (!ReadField(data, kContentOffset, kContentSize, &content) || content.empty() ||
      !IsCleanText(content, true))
    return MessageDefect::kContent;
  if (message != nullptr) {
    message->category = category;
    message->title = title;
    message->url = url;
    message->content = content;
  }
  return MessageDefect::kNone;
}

bool IsWebLink(const std::string& address) {
  size_t host = 0;
  if (StartsWithNoCase(address, "http://")) {
    host = 7;
  } else if (StartsWithNoCase(address, "https://")) {
    host = 8;
  } else {
    return false;
  }
  size_t path = host;
  while (path < address.size() && IsHostCharacter(address[path])) ++path;
  if (path == host || address[host] == ':' || address[host] == '.' || address[host] == '-') return false;
  if (path < address.size() && address[path] != '/' && address[path] != '?' && address[path] != '#')
    return false;
  for (size_t i = path; i < address.size(); ++i) {
    if (!IsPathCharacter(address[i])) return false;
  }
  return true;
}

void FormatMessageMoment(int year, int month, int day, int hour, int minute, int second, std::string* date,
                         std::string* time) {
  char text[32];
  snprintf(text, sizeof(text), "%04d-%02d-%02d", year, month, day);
  *date = text;
  snprintf(text, sizeof(text), "%02d:%02d:%02d", hour, minute, second);
  *time = text;
}

std::vector<size_t> NewestFirst(const std::vector<ProviderMessage>& messages) {
  std::vector<size_t> order(messages.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = messages.size() - 1 - i;
  // Starting from the store's order reversed, a stable sort by moment keeps the later-stored first
  // among equals.
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const bool aKnown = IsStoredMoment(messages[a]);
    const bool bKnown = IsStoredMoment(messages[b]);
    if (aKnown != bKnown) return aKnown;
    if (!aKnown) return false;
    if (messages[a].date != messages[b].date) return messages[a].date > messages[b].date;
    return messages[a].time > messages[b].time;
  });
  return order;
}

std::string CutText(const std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  const size_t room = maxBytes > 3 ? maxBytes - 3 : 0;
  size_t end = 0;
  while (end < text.size()) {
    const size_t width = IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
    if (end + width > room) break;
    end += width;
  }
  return text.substr(0, end) + "...";
}

std::string WithWindowsLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      out += "\r\n";
    } else if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) {
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  return out;
}
