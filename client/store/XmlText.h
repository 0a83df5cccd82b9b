// Text-level pieces of the XML engine: the node scanner, name and attribute reading, escaping,
// and the byte-valued UTF-8 conversion of the files. Portable, no state.
//
// Texts are byte strings in the GB2312 (GBK) code page and are given as a base pointer with an
// end offset; nothing here reads at or beyond the end, and nothing needs a terminating NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace xml {

inline bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Whether "<" followed by this byte opens a start tag: a letter, ":", "_", or any byte from "a"
// (0x61) up, which takes in every byte of 0x80 and above.
inline bool IsStartTagChar(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  return (c >= 'A' && c <= 'Z') || c == ':' || c == '_' || c >= 0x61;
}

// Bytes of the character at p (1 or 2): a GBK lead byte (0x81-0xFE) followed by a trail byte
// (0x40-0x7E, 0x80-0xFE) is one character. No delimiter of the markup (below 0x40) can be a trail
// byte, so a lone lead byte never swallows a "<", ">", quote or "=".
inline size_t CharLength(const char* p, const char* end) {
  unsigned char c = static_cast<unsigned char>(*p);
  if (c >= 0x81 && c <= 0xFE && end - p > 1) {
    unsigned char d = static_cast<unsigned char>(p[1]);
    if ((d >= 0x40 && d <= 0x7E) || (d >= 0x80 && d <= 0xFE)) return 2;
  }
  return 1;
}

enum NodeType {
  kNodeEndTag = 0,
  kNodeElement = 1,
  kNodeText = 2,
  kNodeWhitespace = 4,
  kNodeCData = 8,
  kNodeProcessing = 16,
  kNodeComment = 32,
  kNodeDocType = 64,
  kNodeError = -1,
  kNodeEndOfText = -2,
};

enum NodeError { kNoError, kIncorrect, kUnterminated };

struct Node {
  int type = kNodeEndOfText;
  size_t start = 0;
  size_t length = 0;
  // Start and end tags: the name as the scanner reads it (up to whitespace, "/" or ">"), which
  // begins one byte after "<" (start tag) or two bytes after it (end tag).
  size_t nameLength = 0;
  // Start tags written as empty elements ("/>").
  bool empty = false;
  // Error nodes: which message, with which word. An unterminated node runs to the end.
  NodeError error = kNoError;
  const char* word = nullptr;
};

// Scans the node that starts at text[pos], pos < end.
Node ScanNode(const char* text, size_t pos, size_t end);

// The message of an error node: "Incorrect %s at offset %d" or "%s at offset %d unterminated".
std::string NodeErrorText(const Node& node);

// Whether a requested name may go on with this byte after the part that matches a name.
inline bool FollowsMatchedName(char c) {
  return c == ' ' || c == '=' || c == '/' || c == '[' || c == ']';
}

// Whether the name text[0..length) matches the requested name: the requested name's first
// `length` bytes equal it and its next byte is its end or one of space, "=", "/", "[", "]".
inline bool NameMatches(const char* name, size_t length, const char* requested, size_t requestedLength) {
  if (requestedLength < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (name[i] != requested[i]) return false;
  }
  return requestedLength == length || FollowsMatchedName(requested[length]);
}

// A set of bytes, for scans that stop at any of them.
struct ByteTable {
  bool stop[256];
  constexpr ByteTable(const char* bytes) : stop() {
    for (const char* p = bytes; *p; ++p) stop[static_cast<unsigned char>(*p)] = true;
  }
  constexpr ByteTable(const char* bytes, bool space) : ByteTable(bytes) {
    if (space) {
      for (unsigned char c : {' ', '\t', '\n', '\r'}) stop[c] = true;
    }
  }
  bool operator[](char c) const { return stop[static_cast<unsigned char>(c)]; }
};

// The bytes that end an element name: whitespace, "<", ">", "=", backslash, "/", "?", "!".
inline constexpr ByteTable kTagNameStops("<>=\\/?!", true);

inline bool EndsTagName(char c) {
  return kTagNameStops[c];
}

// Whether the element name that begins after whitespace at `tag` (before `end`) matches the
// requested name (NameMatches); requestedLength is above 0.
bool TagNameMatches(const char* tag, const char* end, const char* requested, size_t requestedLength);

// End of the element name that begins at `name` (whitespace skipped by the caller): the first of
// whitespace, "<", ">", "=", backslash, "/", "?", "!".
const char* TagNameEnd(const char* name, const char* end);

// One attribute of a start tag, as offsets into the text (filled in by NextAttribute).
struct Attribute {
  size_t nameBegin, nameEnd;
  bool hasValue;                // written with "="
  size_t tokenBegin, tokenEnd;  // the value as written, quotes included
  size_t valueBegin, valueEnd;  // the value inside its quotes
};

// The first byte `c` in [p, end), or end. Attribute values are short, so a call to memchr costs
// more than it saves; eight bytes are tested at a time instead.
inline const char* FindByte(const char* p, const char* end, char c) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  const uint64_t ones = 0x0101010101010101ull;
  const uint64_t highs = 0x8080808080808080ull;
  const uint64_t pattern = ones * static_cast<unsigned char>(c);
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof(word));
    uint64_t x = word ^ pattern;
    // The lowest byte flagged is the first match; flags above it may be false.
    uint64_t hits = (x - ones) & ~x & highs;
    if (hits) return p + (__builtin_ctzll(hits) >> 3);
    p += 8;
  }
#endif
  while (p < end && *p != c) ++p;
  return p;
}

// Where the attributes of a tag begin: after its name, which begins at text[nameStart] or after
// whitespace there. The tag's attributes end at text[end]: its closing ">", the "/" of "/>" or
// the "?" of "?>".
size_t AttributesBegin(const char* text, size_t nameStart, size_t end);
// Reads the attribute at text[*pos] (whitespace before it skipped) and moves *pos past it. False,
// with *pos unchanged, when the tag has no more attributes.
bool NextAttribute(const char* text, size_t* pos, size_t end, Attribute* attr);

// The first attribute of that tag whose name matches `requested` (NameMatches). *appendAt
// receives the position after the last attribute read: where a new attribute goes.
bool FindAttribute(const char* text, size_t nameStart, size_t end, const char* requested,
                   size_t requestedLength, Attribute* found, size_t* appendAt);

// Appends s[0..length) with "<", "&", ">" (and for attribute values also the apostrophe and the
// double quote) replaced by their entities.
void AppendEscaped(std::string& out, const char* s, size_t length, bool attribute);
// s[0..length) unescaped, as AppendUnescaped gives it.
std::string Unescaped(const char* s, size_t length);
// Appends s[0..length) with the five entities and the character references of codes 1 to 255
// replaced; any other "&" stays as it is.
void AppendUnescaped(std::string& out, const char* s, size_t length);

// The text content of text[begin..end): unescaped text nodes and CDATA sections as they stand;
// whitespace-only nodes, comments and other markup dropped.
std::string ContentText(const char* text, size_t begin, size_t end);

// Whether a text goes through the UTF-8 conversion: its declared encoding (the "encoding" of a
// leading "<?...?>") is empty or begins with "UTF-8", in any case.
bool UsesUtf8(const char* text, size_t length);
// Each byte as the character of that code, written as UTF-8.
std::string BytesToUtf8(const char* text, size_t length);
// Each UTF-8 sequence back to the byte of its code; "?" for codes above 0xFF and for malformed
// sequences.
std::string Utf8ToBytes(const char* text, size_t length);

}  // namespace xml
