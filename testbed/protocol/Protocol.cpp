#include "testbed/protocol/Protocol.h"

#include <cstdio>

namespace testbed {

namespace {

bool NeedsEscape(unsigned char c) {
  return c <= 0x20 || c == '%' || c == 0x7f;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EncodeField(std::string_view text) {
  if (text.empty()) return "-";
  if (text == "-") return "%2D";
  static const char kHex[] = "0123456789ABCDEF";
  std::string word;
  word.reserve(text.size());
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (NeedsEscape(u)) {
      word += '%';
      word += kHex[u >> 4];
      word += kHex[u & 15];
    } else {
      word += c;
    }
  }
  return word;
}

bool DecodeField(std::string_view word, std::string* text) {
  text->clear();
  if (word == "-") return true;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%') {
      *text += word[i];
      continue;
    }
    if (i + 2 >= word.size()) return false;
    const int high = HexValue(word[i + 1]);
    const int low = HexValue(word[i + 2]);
    if (high < 0 || low < 0) return false;
    *text += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t begin = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > begin) words.push_back(line.substr(begin, i - begin));
  }
  return words;
}

bool ParseNumber(std::string_view word, std::uint64_t max, std::uint64_t* value) {
  if (word.empty() || word.size() > 20) return false;
  std::uint64_t result = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (digit > max || result > (max - digit) / 10) return false;
    result = result * 10 + digit;
  }
  *value = result;
  return true;
}

bool ParseIpv4(std::string_view text, std::uint32_t* address) {
  std::uint32_t result = 0;
  int parts = 0;
  std::size_t begin = 0;
  while (parts < 4) {
    const std::size_t dot = text.find('.', begin);
    const std::string_view part =
        text.substr(begin, dot == std::string_view::npos ? std::string_view::npos : dot - begin);
    std::uint64_t value = 0;
    if (part.size() > 3 || !ParseNumber(part, 255, &value)) return false;
    result = (result << 8) | static_cast<std::uint32_t>(value);
    ++parts;
    if (dot == std::string_view::npos) break;
    if (parts == 4) return false;
    begin = dot + 1;
  }
  if (parts != 4) return false;
  *address = result;
  return true;
}

std::string FormatIpv4(std::uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", (address >> 24) & 255u, (address >> 16) & 255u,
                (address >> 8) & 255u, address & 255u);
  return text;
}

std::string FormatSessionWords(const SessionInfo& s) {
  char numbers[160];
  std::snprintf(numbers, sizeof(numbers), " %lld %llu %llu %llu %u ", static_cast<long long>(s.start),
                static_cast<unsigned long long>(s.durationMs),
                static_cast<unsigned long long>(s.bytesReceived),
                static_cast<unsigned long long>(s.bytesSent), s.bps);
  return std::to_string(s.id) + " " + EncodeField(s.user) + " " + EncodeField(s.address) + numbers +
         EncodeField(s.entry) + " " + EncodeField(s.deviceType) + " " + EncodeField(s.deviceName) + " " +
         EncodeField(s.phase) + " " + std::to_string(s.state) + " " + std::to_string(s.error);
}

bool ParseSessionWords(const std::vector<std::string_view>& words, std::size_t first, SessionInfo* s) {
  if (words.size() != first + 14) return false;
  const std::string_view* w = words.data() + first;
  std::uint64_t id = 0, start = 0, bps = 0;
  if (!ParseNumber(w[0], kLastSessionId, &id) || id < kFirstSessionId) return false;
  if (!DecodeField(w[1], &s->user) || !DecodeField(w[2], &s->address)) return false;
  if (!ParseNumber(w[3], INT64_MAX, &start) || !ParseNumber(w[4], UINT64_MAX, &s->durationMs) ||
      !ParseNumber(w[5], UINT64_MAX, &s->bytesReceived) || !ParseNumber(w[6], UINT64_MAX, &s->bytesSent) ||
      !ParseNumber(w[7], UINT32_MAX, &bps)) {
    return false;
  }
  if (!DecodeField(w[8], &s->entry) || !DecodeField(w[9], &s->deviceType) ||
      !DecodeField(w[10], &s->deviceName) || !DecodeField(w[11], &s->phase)) {
    return false;
  }
  std::uint64_t state = 0, error = 0;
  if (!ParseNumber(w[12], UINT32_MAX, &state) || !ParseNumber(w[13], UINT32_MAX, &error)) return false;
  s->state = static_cast<std::uint32_t>(state);
  s->error = static_cast<std::uint32_t>(error);
  s->id = static_cast<std::uint32_t>(id);
  s->start = static_cast<std::int64_t>(start);
  s->bps = static_cast<std::uint32_t>(bps);
  return true;
}

std::uint64_t AccountCounts::Refusals() const {
  std::uint64_t total = 0;
  for (const auto& entry : refusals) total += entry.second;
  return total;
}

std::uint64_t AccountCounts::Refused(int code) const {
  const auto it = refusals.find(code);
  return it == refusals.end() ? 0 : it->second;
}

std::string FormatCountWords(const AccountCounts& c) {
  std::string words = EncodeField(c.user) + " " + std::to_string(c.dials) + " " +
                      std::to_string(c.Refusals()) + " " + std::to_string(c.aborted) + " " +
                      std::to_string(c.sessions) + " " + (c.online ? "1" : "0");
  for (const auto& entry : c.refusals) {
    words += " " + std::to_string(entry.first) + ":" + std::to_string(entry.second);
  }
  return words;
}

bool ParseCountWords(const std::vector<std::string_view>& words, std::size_t first, AccountCounts* c) {
  if (words.size() < first + 6) return false;
  const std::string_view* w = words.data() + first;
  AccountCounts parsed;
  std::uint64_t refusals = 0, online = 0;
  if (!DecodeField(w[0], &parsed.user) || !ParseNumber(w[1], UINT64_MAX, &parsed.dials) ||
      !ParseNumber(w[2], UINT64_MAX, &refusals) || !ParseNumber(w[3], UINT64_MAX, &parsed.aborted) ||
      !ParseNumber(w[4], UINT64_MAX, &parsed.sessions) || !ParseNumber(w[5], 1, &online)) {
    return false;
  }
  parsed.online = online == 1;
  for (std::size_t i = first + 6; i < words.size(); ++i) {
    const std::string_view word = words[i];
    const std::size_t colon = word.find(':');
    std::uint64_t code = 0, times = 0;
    if (colon == std::string_view::npos || !ParseNumber(word.substr(0, colon), 999999, &code) ||
        !ParseNumber(word.substr(colon + 1), UINT64_MAX, &times) || times == 0 ||
        parsed.refusals.count(static_cast<int>(code))) {
      return false;
    }
    parsed.refusals[static_cast<int>(code)] = times;
  }
  // The total must agree with the codes, or the line was not written by FormatCountWords.
  if (parsed.Refusals() != refusals) return false;
  *c = parsed;
  return true;
}

bool IsStatusLine(std::string_view line) {
  return line == "OK" || line.substr(0, 3) == "OK " || line.substr(0, 4) == "ERR ";
}

bool ParseStatus(std::string_view line, Status* status) {
  *status = Status();
  if (line == "OK") {
    status->ok = true;
    return true;
  }
  if (line.substr(0, 3) == "OK ") {
    status->ok = true;
    status->rest = std::string(line.substr(3));
    return true;
  }
  if (line.substr(0, 4) != "ERR ") return false;
  const std::string_view tail = line.substr(4);
  const std::size_t blank = tail.find(' ');
  std::uint64_t code = 0;
  if (!ParseNumber(tail.substr(0, blank), 999999, &code)) return false;
  status->code = static_cast<int>(code);
  if (blank != std::string_view::npos) status->rest = std::string(tail.substr(blank + 1));
  return true;
}

void CLineBuffer::Append(const char* data, std::size_t size) {
  if (m_overflow) return;
  m_data.append(data, size);
  // A partial line longer than any request, or a backlog of lines that nobody reads, means the
  // peer does not speak the protocol; holding on to it would only let it grow without limit.
  const std::size_t lastEnd = m_data.rfind('\n');
  const std::size_t partial = lastEnd == std::string::npos ? m_data.size() : m_data.size() - lastEnd - 1;
  if (partial > kMaxLineLength + 1 || m_data.size() > kMaxBacklog) {
    m_overflow = true;
    m_data.clear();
  }
}

bool CLineBuffer::NextLine(std::string* line) {
  if (m_overflow) return false;
  const std::size_t end = m_data.find('\n');
  if (end == std::string::npos) return false;
  std::size_t length = end;
  if (length > 0 && m_data[length - 1] == '\r') --length;
  if (length > kMaxLineLength) {
    m_overflow = true;
    m_data.clear();
    return false;
  }
  line->assign(m_data, 0, length);
  m_data.erase(0, end + 1);
  return true;
}

}  // namespace testbed
