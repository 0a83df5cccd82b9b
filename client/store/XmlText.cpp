#include "client/store/XmlText.h"

#include <cstdint>
#include <cstring>

namespace xml {

namespace {

// Bytes that interrupt the run of ordinary characters inside a tag: "=" (a value may follow) and
// ">" (the tag may end). Scanning byte by byte is safe in GBK here, because no delimiter of the
// markup is a trail byte (see CharLength).
constexpr ByteTable kTagStops("=>");
constexpr ByteTable kScanNameStops("/>", true);
constexpr ByteTable kAttrNameStops("=>/?", true);
constexpr ByteTable kAttrValueStops(">", true);

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsSpace(static_cast<unsigned char>(*p))) ++p;
  return p;
}

const char* SkipUntil(const char* p, const char* end, const ByteTable& stops) {
  while (p < end && !stops[*p]) ++p;
  return p;
}

// Past the quoted run that starts at p (its closing quote included), or the end when it is not
// closed. Values are short, so a plain loop beats a library call here.
const char* SkipQuoted(const char* p, const char* end) {
  char quote = *p++;
  while (p < end && *p != quote) ++p;
  return p < end ? p + 1 : end;
}

// First occurrence of the two- or three-byte sequence at or after p, or null.
const char* FindSequence(const char* p, const char* end, const char* seq, size_t n) {
  while (end - p >= static_cast<ptrdiff_t>(n)) {
    const char* hit =
        static_cast<const char*>(std::memchr(p, seq[0], static_cast<size_t>(end - p) - (n - 1)));
    if (!hit) return nullptr;
    if (std::memcmp(hit, seq, n) == 0) return hit;
    p = hit + 1;
  }
  return nullptr;
}

// "]]>" searched character by character, since "]" can be the trail byte of a double-byte character.
const char* FindCDataEnd(const char* p, const char* end) {
  while (end - p >= 3) {
    if (p[0] == ']' && p[1] == ']' && p[2] == '>') return p;
    p += CharLength(p, end);
  }
  return nullptr;
}

// The end of a start tag's attributes: the first ">" outside a quoted value, or null. A quote opens
// a value only after "=" (whitespace between allowed); a second "=" right after one is an
// ordinary character.
const char* FindTagEnd(const char* p, const char* end) {
  for (;;) {
    p = SkipUntil(p, end, kTagStops);
    if (p == end) return nullptr;
    if (*p == '>') return p;
    p = SkipSpace(p + 1, end);
    if (p == end) return nullptr;
    if (IsQuote(*p)) {
      const char* close = static_cast<const char*>(std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1)));
      if (!close) return nullptr;
      p = close + 1;
    } else if (*p == '=') {
      ++p;
    }
  }
}

// The end of an error node: just past the next ">" outside a quoted value, or before the next "<"
// (also inside a value, so that one bad tag never swallows the markup after it), or the end.
const char* FindErrorEnd(const char* p, const char* end) {
  while (p < end) {
    char c = *p;
    if (c == '<') return p;
    if (c == '>') return p + 1;
    ++p;
    if (c != '=') continue;
    p = SkipSpace(p, end);
    if (p == end) break;
    if (IsQuote(*p)) {
      char quote = *p++;
      while (p < end && *p != quote && *p != '<') ++p;
      if (p < end && *p == quote) ++p;
    } else if (*p == '=') {
      ++p;
    }
  }
  return end;
}

// The end of a document type declaration: the first ">" that does not close a declaration
// nested in it. Inside a nested declaration either quote kind toggles a quoted run.
const char* FindDocTypeEnd(const char* p, const char* end) {
  bool nested = false;
  char quote = 0;
  for (; p < end; ++p) {
    char c = *p;
    if (!nested) {
      if (c == '>') return p;
      if (c == '<') nested = true;
    } else if (quote) {
      if (c == quote) quote = 0;
    } else if (IsQuote(c)) {
      quote = c;
    } else if (c == '>') {
      nested = false;
    }
  }
  return nullptr;
}

void Finish(Node& node, const char* text, const char* last) {
  node.length = static_cast<size_t>(last - text) - node.start;
}

void Unterminated(Node& node, const char* text, const char* end, const char* word) {
  node.type = kNodeError;
  node.error = kUnterminated;
  node.word = word;
  Finish(node, text, end);
}

void Incorrect(Node& node, const char* text, const char* p, const char* end, const char* word) {
  node.type = kNodeError;
  node.error = kIncorrect;
  node.word = word;
  Finish(node, text, FindErrorEnd(p + 1, end));
}

}  // namespace

Node ScanNode(const char* text, size_t pos, size_t endOffset) {
  Node node;
  node.start = pos;
  if (pos >= endOffset) return node;
  const char* p = text + pos;
  const char* end = text + endOffset;

  if (*p != '<') {
    const char* q = SkipSpace(p, end);
    if (q == end || *q == '<') {
      node.type = kNodeWhitespace;
      Finish(node, text, q);
    } else {
      const char* lt = static_cast<const char*>(std::memchr(q, '<', static_cast<size_t>(end - q)));
      node.type = kNodeText;
      Finish(node, text, lt ? lt : end);
    }
    return node;
  }

  if (end - p < 2) {
    Unterminated(node, text, end, "tag");
    return node;
  }
  char c = p[1];
  if (c == '/') {
    const char* nameEnd = SkipUntil(p + 2, end, kScanNameStops);
    node.nameLength = static_cast<size_t>(nameEnd - (p + 2));
    const char* gt = static_cast<const char*>(std::memchr(nameEnd, '>', static_cast<size_t>(end - nameEnd)));
    if (!gt) {
      Unterminated(node, text, end, "Element end tag");
    } else {
      node.type = kNodeEndTag;
      Finish(node, text, gt + 1);
    }
    return node;
  }
  if (IsStartTagChar(c)) {
    const char* nameEnd = SkipUntil(p + 1, end, kScanNameStops);
    node.nameLength = static_cast<size_t>(nameEnd - (p + 1));
    const char* gt = FindTagEnd(nameEnd, end);
    if (!gt) {
      Unterminated(node, text, end, "Element tag");
      return node;
    }
    node.type = kNodeElement;
    // "/>" makes the element empty only when the "/" cannot belong to an unquoted value.
    const char* slash = gt - 1;
    node.empty = *slash == '/' &&
                 (slash == nameEnd || IsSpace(static_cast<unsigned char>(slash[-1])) || IsQuote(slash[-1]));
    Finish(node, text, gt + 1);
    return node;
  }
  if (c == '?') {
    const char* close = FindSequence(p + 2, end, "?>", 2);
    if (!close) {
      Unterminated(node, text, end, "Processing instruction");
    } else {
      node.type = kNodeProcessing;
      Finish(node, text, close + 2);
    }
    return node;
  }
  if (c != '!') {
    Incorrect(node, text, p, end, "tag name character");
    return node;
  }
  if (end - p < 3) {
    Unterminated(node, text, end, "tag");
    return node;
  }
  char kind = p[2];
  if (kind == '-' || kind == '[') {
    if (end - p < 4) {
      Unterminated(node, text, end, "tag");
    } else if (kind == '-' && p[3] != '-') {
      Incorrect(node, text, p, end, "comment tag");
    } else if (kind == '[' && p[3] != 'C') {
      Incorrect(node, text, p, end, "tag");
    } else if (kind == '-') {
      const char* close = FindSequence(p + 4, end, "-->", 3);
      if (!close) {
        Unterminated(node, text, end, "Comment");
      } else {
        node.type = kNodeComment;
        Finish(node, text, close + 3);
      }
    } else {
      const char* close = FindCDataEnd(p + 4, end);
      if (!close) {
        Unterminated(node, text, end, "CDATA Section");
      } else {
        node.type = kNodeCData;
        Finish(node, text, close + 3);
      }
    }
    return node;
  }
  if (kind == 'D') {
    const char* close = FindDocTypeEnd(p + 2, end);
    if (!close) {
      Unterminated(node, text, end, "Doctype");
    } else {
      node.type = kNodeDocType;
      Finish(node, text, close + 1);
    }
    return node;
  }
  if (kind == 'E' || kind == 'A' || kind == 'N') {
    const char* gt = static_cast<const char*>(std::memchr(p + 3, '>', static_cast<size_t>(end - p - 3)));
    if (!gt) {
      Unterminated(node, text, end, "tag");
    } else {
      node.type = kNodeDocType;
      Finish(node, text, gt + 1);
    }
    return node;
  }
  Incorrect(node, text, p, end, "! tag");
  return node;
}

std::string NodeErrorText(const Node& node) {
  std::string offset = std::to_string(static_cast<long long>(node.start));
  if (node.error == kIncorrect) return std::string("Incorrect ") + node.word + " at offset " + offset;
  return std::string(node.word) + " at offset " + offset + " unterminated";
}

bool TagNameMatches(const char* tag, const char* end, const char* requested, size_t requestedLength) {
  const char* name = SkipSpace(tag, end);
  // A name never begins with a byte that ends it, so a different first byte settles it.
  if (name < end && *name != *requested && !kTagNameStops[*name]) return false;
  return NameMatches(name, static_cast<size_t>(TagNameEnd(name, end) - name), requested, requestedLength);
}

const char* TagNameEnd(const char* name, const char* end) {
  const char* p = name;
  while (p < end && !kTagNameStops[*p]) p += CharLength(p, end);
  return p;
}

size_t AttributesBegin(const char* text, size_t nameStart, size_t endOffset) {
  const char* end = text + endOffset;
  return static_cast<size_t>(TagNameEnd(SkipSpace(text + nameStart, end), end) - text);
}

bool NextAttribute(const char* text, size_t* pos, size_t endOffset, Attribute* attr) {
  // The tag's own text ends on its ">", the "/" of "/>" or the "?" of "?>": none of them is
  // whitespace or part of a name, so these scans stop there without a bound check.
  const char* end = text + endOffset;
  const char* p = text + *pos;
  while (IsSpace(static_cast<unsigned char>(*p))) ++p;
  if (p >= end || *p == '/' || *p == '>' || *p == '?') return false;
  const char* nameBegin = p;
  if (IsQuote(*p)) {
    p = SkipQuoted(p, end);
  } else {
    while (!kAttrNameStops[*p]) ++p;
  }
  const char* nameEnd = p;
  const char* token = nameBegin;
  const char* value = nameBegin;
  const char* valueEnd = nameEnd;
  bool hasValue = false;
  const char* afterName = p;
  while (IsSpace(static_cast<unsigned char>(*afterName))) ++afterName;
  if (afterName < end && *afterName == '=') {
    hasValue = true;
    token = afterName + 1;
    while (IsSpace(static_cast<unsigned char>(*token))) ++token;
    if (token < end && IsQuote(*token)) {
      value = token + 1;
      valueEnd = FindByte(value, end, *token);
      p = valueEnd < end ? valueEnd + 1 : end;
    } else {
      p = SkipUntil(token, end, kAttrValueStops);
      value = token;
      valueEnd = p;
    }
  }
  // An attribute without "=" has its own name as value.
  attr->nameBegin = static_cast<size_t>(nameBegin - text);
  attr->nameEnd = static_cast<size_t>(nameEnd - text);
  attr->hasValue = hasValue;
  attr->tokenBegin = static_cast<size_t>(token - text);
  attr->tokenEnd = static_cast<size_t>(p - text);
  attr->valueBegin = static_cast<size_t>(value - text);
  attr->valueEnd = static_cast<size_t>(valueEnd - text);
  *pos = static_cast<size_t>(p - text);
  return true;
}

bool FindAttribute(const char* text, size_t nameStart, size_t endOffset, const char* requested,
                   size_t requestedLength, Attribute* found, size_t* appendAt) {
  size_t pos = AttributesBegin(text, nameStart, endOffset);
  bool matched = false;
  while (!matched && NextAttribute(text, &pos, endOffset, found)) {
    matched =
        NameMatches(text + found->nameBegin, found->nameEnd - found->nameBegin, requested, requestedLength);
  }
  *appendAt = pos;
  return matched;
}

void AppendEscaped(std::string& out, const char* s, size_t length, bool attribute) {
  const char* end = s + length;
  const char* run = s;
  for (const char* p = s; p < end; ++p) {
    const char* entity;
    switch (*p) {
      case '<':
        entity = "&lt;";
        break;
      case '&':
        entity = "&amp;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '\'':
        if (!attribute) continue;
        entity = "&apos;";
        break;
      case '"':
        if (!attribute) continue;
        entity = "&quot;";
        break;
      default:
        continue;
    }
    out.append(run, p);
    out.append(entity);
    run = p + 1;
  }
  out.append(run, end);
}

namespace {

// A character reference "&#ddd;" or "&#xhh;" at amp: its code, or 0 when there is none. At most
// seven characters stand between the "&" and the ";".
unsigned ReadCharacterReference(const char* amp, const char* end, const char** after) {
  const char* p = amp + 1;
  if (p == end || *p != '#') return 0;
  ++p;
  bool hex = p < end && *p == 'x';
  if (hex) ++p;
  const char* digits = p;
  const char* limit = end - amp > 8 ? amp + 8 : end;
  unsigned code = 0;
  for (; p < limit; ++p) {
    char c = *p;
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    code = code * (hex ? 16 : 10) + digit;
  }
  if (p == digits || p == end || *p != ';') return 0;
  *after = p + 1;
  return code;
}

}  // namespace

std::string Unescaped(const char* s, size_t length) {
  if (!std::memchr(s, '&', length)) return std::string(s, length);
  std::string out;
  AppendUnescaped(out, s, length);
  return out;
}

void AppendUnescaped(std::string& out, const char* s, size_t length) {
  static const struct {
    const char* entity;
    size_t length;
    char c;
  } kEntities[] = {
      {"&lt;", 4, '<'}, {"&amp;", 5, '&'}, {"&gt;", 4, '>'}, {"&apos;", 6, '\''}, {"&quot;", 6, '"'}};
  const char* end = s + length;
  const char* p = s;
  while (p < end) {
    const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
    if (!amp) break;
    out.append(p, amp);
    const char* after = nullptr;
    unsigned code = ReadCharacterReference(amp, end, &after);
    if (code >= 1 && code <= 255) {
      out.push_back(static_cast<char>(code));
      p = after;
      continue;
    }
    p = amp + 1;
    if (after) {
      out.push_back('&');
      continue;
    }
    char replacement = '&';
    for (const auto& e : kEntities) {
      if (static_cast<size_t>(end - amp) >= e.length && std::memcmp(amp, e.entity, e.length) == 0) {
        replacement = e.c;
        p = amp + e.length;
        break;
      }
    }
    out.push_back(replacement);
  }
  out.append(p, end);
}

std::string ContentText(const char* text, size_t begin, size_t end) {
  std::string out;
  if (!std::memchr(text + begin, '<', end - begin)) {
    AppendUnescaped(out, text + begin, end - begin);
    return out;
  }
  for (size_t pos = begin; pos < end;) {
    Node node = ScanNode(text, pos, end);
    if (node.type == kNodeText) {
      AppendUnescaped(out, text + node.start, node.length);
    } else if (node.type == kNodeCData) {
      // "<![C" opens the section; its contents begin after "<![CDATA[" when that fits before "]]>".
      size_t close = node.start + node.length - 3;
      size_t inside = node.start + 9 < close ? node.start + 9 : close;
      out.append(text + inside, close - inside);
    }
    pos += node.length;
  }
  return out;
}

bool UsesUtf8(const char* text, size_t length) {
  const char* end = text + length;
  const char* lt = static_cast<const char*>(std::memchr(text, '<', length));
  if (!lt || end - lt < 2 || lt[1] != '?') return true;
  const char* close = FindSequence(lt + 2, end, "?>", 2);
  if (!close) return true;
  Attribute encoding;
  size_t appendAt;
  if (!FindAttribute(text, static_cast<size_t>(lt + 2 - text), static_cast<size_t>(close - text), "encoding",
                     8, &encoding, &appendAt)) {
    return true;
  }
  std::string value;
  AppendUnescaped(value, text + encoding.valueBegin, encoding.valueEnd - encoding.valueBegin);
  if (value.empty()) return true;
  static const char kUtf8[] = "UTF-8";
  if (value.size() < 5) return false;
  for (int i = 0; i < 5; ++i) {
    char c = value[static_cast<size_t>(i)];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kUtf8[i]) return false;
  }
  return true;
}

std::string BytesToUtf8(const char* text, size_t length) {
  std::string out;
  out.reserve(length + length / 8);
  for (const char* p = text; p < text + length; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string Utf8ToBytes(const char* text, size_t length) {
  std::string out;
  out.reserve(length);
  size_t i = 0;
  while (i < length) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<char>(lead));
      ++i;
      continue;
    }
    // The number of continuation bytes comes from bits 5, 4 and 3 of the lead byte.
    size_t count = !(lead & 0x20) ? 1 : !(lead & 0x10) ? 2 : !(lead & 0x08) ? 3 : 0;
    if (count == 0) {
      out.push_back('?');
      ++i;
      continue;
    }
    unsigned long code = lead & (0x3Fu >> count);
    size_t taken = 1;
    while (taken <= count && i + taken < length && (static_cast<unsigned char>(text[i + taken]) & 0x80)) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + taken]) & 0x3Fu);
      ++taken;
    }
    // A sequence cut short yields "?" and scanning resumes at the byte that broke it, so a
    // malformed sequence never swallows the markup after it.
    out.push_back(taken <= count || code > 0xFF ? '?' : static_cast<char>(code));
    i += taken;
  }
  return out;
}

}  // namespace xml
