// A second reader of the engine's text, written apart from the engine and as plainly as it can
// be: it parses the whole text into a tree of elements by the same rules (not-ended elements
// hand their children on, stray end tags and bad nodes are skipped) and reads tag names,
// attributes and texts from the tree. Nothing here is fast; every rule is a loop over the text.
//
// CompareReads walks a document through the engine's own cursor and checks every read against
// this reader: the elements of each level and where they stand, FindElement by each name, every
// attribute (in shuffled order, asked for twice, and by names that are absent), the element and
// child texts. The random tests and the fuzzer run it after every edit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "client/store/XmlDoc.h"
#include "tests/store/XmlDocProbe.h"

namespace xmlref {

inline bool Blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

inline bool Quote(char c) {
  return c == '"' || c == '\'';
}

inline bool OneOf(char c, const char* set) {
  for (; *set; ++set) {
    if (c == *set) return true;
  }
  return false;
}

// Bytes of the GBK character at t[i]: a lead byte 0x81-0xFE and a trail byte 0x40-0x7E or
// 0x80-0xFE before `end` make one character.
inline size_t CharBytes(const std::string& t, size_t i, size_t end) {
  unsigned char lead = static_cast<unsigned char>(t[i]);
  if (lead < 0x81 || lead > 0xFE || i + 1 >= end) return 1;
  unsigned char trail = static_cast<unsigned char>(t[i + 1]);
  return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE) ? 2 : 1;
}

// The first character c at or after i, stepping whole characters; `end` when there is none.
inline size_t FindChar(const std::string& t, size_t i, size_t end, char c) {
  while (i < end && t[i] != c) i += CharBytes(t, i, end);
  return i < end ? i : end;
}

// The first occurrence of seq at or after i that starts on a character, or npos.
inline size_t FindSeq(const std::string& t, size_t i, size_t end, const std::string& seq) {
  for (; i < end; i += CharBytes(t, i, end)) {
    if (end - i >= seq.size() && t.compare(i, seq.size(), seq) == 0) return i;
  }
  return std::string::npos;
}

inline size_t SkipBlanks(const std::string& t, size_t i, size_t end) {
  while (i < end && Blank(t[i])) ++i;
  return i;
}

// A name in the text matches a requested name when the requested one begins with it and goes
// on with nothing or one of " =/[]".
inline bool NameMatches(const std::string& name, const std::string& requested) {
  if (requested.size() < name.size() || requested.compare(0, name.size(), name) != 0) return false;
  return requested.size() == name.size() || OneOf(requested[name.size()], " =/[]");
}

// "&lt;" and the four others, and "&#ddd;" / "&#xhh;" of codes 1 to 255 with the ";" at most
// eight characters after the "&"; any other "&" stays.
inline std::string Unescape(const std::string& s) {
  static const char* const kNamed[][2] = {
      {"&lt;", "<"}, {"&amp;", "&"}, {"&gt;", ">"}, {"&apos;", "'"}, {"&quot;", "\""}};
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '&') {
      out += s[i++];
      continue;
    }
    if (i + 1 < s.size() && s[i + 1] == '#') {
      size_t j = i + 2;
      bool hex = j < s.size() && s[j] == 'x';
      if (hex) ++j;
      size_t first = j;
      unsigned long code = 0;
      for (; j < s.size() && j <= i + 7; ++j) {
        char c = s[j];
        int digit = c >= '0' && c <= '9'          ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
        if (digit < 0) break;
        code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
      }
      if (j > first && j < s.size() && s[j] == ';') {
        if (code >= 1 && code <= 255) {
          out += static_cast<char>(code);
          i = j + 1;
        } else {
          out += '&';
          ++i;
        }
        continue;
      }
    }
    bool named = false;
    for (const auto& entity : kNamed) {
      std::string e = entity[0];
      if (s.compare(i, e.size(), e) == 0) {
        out += entity[1];
        i += e.size();
        named = true;
        break;
      }
    }
    if (!named) out += s[i++];
  }
  return out;
}

enum Kind { kText, kBlank, kStart, kEnd, kCData, kBad, kOther };

struct Node {
  Kind kind = kBad;
  size_t length = 0;
  size_t nameLength = 0;  // start and end tags: the name up to a blank, "/" or ">"
  bool empty = false;     // start tags written "/>"
};

// The end of a bad node that begins at `from` (the "<"): after the next ">", or before the next
// "<", quotes after "=" followed (but never past a "<").
inline size_t BadEnd(const std::string& t, size_t from, size_t end) {
  size_t i = from + 1;
  while (i < end) {
    char c = t[i];
    if (c == '<') return i;
    if (c == '>') return i + 1;
    ++i;
    if (c != '=') continue;
    i = SkipBlanks(t, i, end);
    if (i == end) break;
    if (Quote(t[i])) {
      char q = t[i++];
      while (i < end && t[i] != q && t[i] != '<') ++i;
      if (i < end && t[i] == q) ++i;
    } else if (t[i] == '=') {
      ++i;
    }
  }
  return end;
}

// The node at t[pos], within [pos, end).
inline Node Scan(const std::string& t, size_t pos, size_t end) {
  Node n;
  auto until = [&](size_t stop) {
    n.length = stop - pos;
    return n;
  };
  auto bad = [&] { return until(BadEnd(t, pos, end)); };
  auto cut = [&] { return until(end); };
  if (t[pos] != '<') {
    size_t q = SkipBlanks(t, pos, end);
    n.kind = q == end || t[q] == '<' ? kBlank : kText;
    return until(n.kind == kBlank ? q : FindChar(t, q, end, '<'));
  }
  if (pos + 1 >= end) return cut();
  char c = t[pos + 1];
  unsigned char u = static_cast<unsigned char>(c);
  if (c == '/') {
    size_t name = pos + 2;
    size_t stop = name;
    while (stop < end && !Blank(t[stop]) && t[stop] != '/' && t[stop] != '>') stop += CharBytes(t, stop, end);
    size_t gt = FindChar(t, stop, end, '>');
    if (gt == end) return cut();
    n.kind = kEnd;
    n.nameLength = stop - name;
    return until(gt + 1);
  }
  if ((c >= 'A' && c <= 'Z') || c == ':' || c == '_' || u >= 0x61) {
    size_t stop = pos + 1;
    while (stop < end && !Blank(t[stop]) && t[stop] != '/' && t[stop] != '>') stop += CharBytes(t, stop, end);
    n.nameLength = stop - (pos + 1);
    size_t i = stop;
    for (;;) {
      while (i < end && t[i] != '=' && t[i] != '>') i += CharBytes(t, i, end);
      if (i == end) return cut();
      if (t[i] == '>') break;
      i = SkipBlanks(t, i + 1, end);
      if (i == end) return cut();
      if (Quote(t[i])) {
        size_t close = FindChar(t, i + 1, end, t[i]);
        if (close == end) return cut();
        i = close + 1;
      } else if (t[i] == '=') {
        ++i;
      }
    }
    n.kind = kStart;
    n.empty = t[i - 1] == '/' && (i - 1 == stop || Blank(t[i - 2]) || Quote(t[i - 2]));
    return until(i + 1);
  }
  if (c == '?') {
    size_t close = FindSeq(t, pos + 2, end, "?>");
    if (close == std::string::npos) return cut();
    n.kind = kOther;
    return until(close + 2);
  }
  if (c != '!') return bad();
  if (pos + 2 >= end) return cut();
  char k = t[pos + 2];
  if (k == '-' || k == '[') {
    if (pos + 3 >= end) return cut();
    if (t[pos + 3] != (k == '-' ? '-' : 'C')) return bad();
    size_t close = FindSeq(t, pos + 4, end, k == '-' ? "-->" : "]]>");
    if (close == std::string::npos) return cut();
    n.kind = k == '-' ? kOther : kCData;
    return until(close + 3);
  }
  if (k == 'D') {
    bool nested = false;
    char quote = 0;
    for (size_t i = pos + 2; i < end; ++i) {
      char d = t[i];
      if (!nested) {
        if (d == '>') {
          n.kind = kOther;
          return until(i + 1);
        }
        nested = d == '<';
      } else if (quote) {
        if (d == quote) quote = 0;
      } else if (Quote(d)) {
        quote = d;
      } else if (d == '>') {
        nested = false;
      }
    }
    return cut();
  }
  if (k == 'E' || k == 'A' || k == 'N') {
    size_t gt = FindChar(t, pos + 3, end, '>');
    if (gt == end) return cut();
    n.kind = kOther;
    return until(gt + 1);
  }
  return bad();
}

struct Element {
  size_t start = 0;
  size_t tagLength = 0;
  size_t length = 0;  // start tag through end tag
  size_t endTagLength = 0;
  bool empty = false;
  std::string scanName;  // as end tags are matched against it
  int parent = -1;       // -1: the document
  std::vector<int> children;
};

struct Tree {
  std::string text;
  std::vector<Element> elements;
  std::vector<int> top;  // the document's own elements

  std::vector<int>& ChildrenOf(int e) { return e < 0 ? top : elements[static_cast<size_t>(e)].children; }
  const std::vector<int>& ChildrenOf(int e) const {
    return e < 0 ? top : elements[static_cast<size_t>(e)].children;
  }
};

// Closes the open elements above `keep` as not ended, innermost first: each keeps only its start
// tag, and its children follow it under its parent.
inline void CloseOpen(Tree& tree, std::vector<int>& open, size_t keep) {
  while (open.size() > keep) {
    int e = open.back();
    open.pop_back();
    Element& el = tree.elements[static_cast<size_t>(e)];
    el.length = el.tagLength;
    el.endTagLength = 0;
    std::vector<int> moved;
    moved.swap(el.children);
    for (int child : moved) tree.elements[static_cast<size_t>(child)].parent = el.parent;
    std::vector<int>& siblings = tree.ChildrenOf(el.parent);
    siblings.insert(siblings.end(), moved.begin(), moved.end());
  }
}

inline Tree Parse(const std::string& text) {
  Tree tree;
  tree.text = text;
  std::vector<int> open;
  size_t pos = 0;
  while (pos < text.size()) {
    Node n = Scan(text, pos, text.size());
    if (n.kind == kStart && n.length < (1u << 22)) {
      Element el;
      el.start = pos;
      el.tagLength = el.length = n.length;
      el.empty = n.empty;
      el.scanName = text.substr(pos + 1, n.nameLength);
      el.parent = open.empty() ? -1 : open.back();
      int e = static_cast<int>(tree.elements.size());
      tree.elements.push_back(el);
      tree.ChildrenOf(el.parent).push_back(e);
      if (!n.empty) open.push_back(e);
    } else if (n.kind == kEnd && n.length < 1024) {
      std::string name = text.substr(pos + 2, n.nameLength);
      for (size_t i = open.size(); i-- > 0;) {
        if (!NameMatches(name, tree.elements[static_cast<size_t>(open[i])].scanName)) continue;
        CloseOpen(tree, open, i + 1);
        Element& el = tree.elements[static_cast<size_t>(open[i])];
        el.length = pos + n.length - el.start;
        el.endTagLength = n.length;
        open.pop_back();
        break;
      }
    }
    pos += n.length;
  }
  CloseOpen(tree, open, 0);
  return tree;
}

// The element name: after "<" and any blanks, up to a blank or one of < > = \ / ? !.
inline std::string TagName(const Tree& tree, const Element& el) {
  const std::string& t = tree.text;
  size_t end = el.start + el.tagLength;
  size_t i = SkipBlanks(t, el.start + 1, end);
  size_t stop = i;
  while (stop < end && !Blank(t[stop]) && !OneOf(t[stop], "<>=\\/?!")) stop += CharBytes(t, stop, end);
  return t.substr(i, stop - i);
}

struct Attribute {
  std::string name;
  std::string value;  // as written
};

// The attributes of the start tag, read inside it only (before its ">" or "/>"): after the name,
// a token is a quoted run or a run up to a blank or one of = > / ?; a name followed by "=" takes
// the next token (quoted, or up to a blank or ">") as its value; one without takes itself.
inline std::vector<Attribute> Attributes(const Tree& tree, const Element& el) {
  const std::string& t = tree.text;
  size_t end = el.start + el.tagLength - (el.empty ? 2 : 1);
  size_t i = SkipBlanks(t, el.start + 1, end);
  while (i < end && !Blank(t[i]) && !OneOf(t[i], "<>=\\/?!")) i += CharBytes(t, i, end);
  std::vector<Attribute> list;
  for (;;) {
    i = SkipBlanks(t, i, end);
    if (i >= end || OneOf(t[i], "/>?")) break;
    size_t nameBegin = i;
    if (Quote(t[i])) {
      size_t close = FindChar(t, i + 1, end, t[i]);
      i = close < end ? close + 1 : end;
    } else {
      while (i < end && !Blank(t[i]) && !OneOf(t[i], "=>/?")) i += CharBytes(t, i, end);
    }
    Attribute a;
    a.name = t.substr(nameBegin, i - nameBegin);
    a.value = a.name;
    size_t eq = SkipBlanks(t, i, end);
    if (eq < end && t[eq] == '=') {
      size_t v = SkipBlanks(t, eq + 1, end);
      if (v < end && Quote(t[v])) {
        size_t close = FindChar(t, v + 1, end, t[v]);
        a.value = t.substr(v + 1, close - v - 1);
        i = close < end ? close + 1 : end;
      } else {
        size_t stop = v;
        while (stop < end && !Blank(t[stop]) && t[stop] != '>') stop += CharBytes(t, stop, end);
        a.value = t.substr(v, stop - v);
        i = stop;
      }
    }
    list.push_back(a);
  }
  return list;
}

// The value of the first attribute of that name, decoded; false when there is none.
inline bool AttributeValue(const std::vector<Attribute>& attributes, const std::string& name,
                           std::string* value) {
  for (const Attribute& a : attributes) {
    if (NameMatches(a.name, name)) {
      *value = Unescape(a.value);
      return true;
    }
  }
  value->clear();
  return false;
}

// The text of an element without child elements: its content's text nodes decoded and its
// CDATA sections as they stand; empty when it has children or no end tag.
inline std::string Text(const Tree& tree, const Element& el) {
  if (!el.children.empty() || el.endTagLength == 0) return std::string();
  const std::string& t = tree.text;
  size_t begin = el.start + el.tagLength;
  size_t end = el.start + el.length - el.endTagLength;
  std::string content = t.substr(begin, end - begin);
  if (content.find('<') == std::string::npos) return Unescape(content);
  std::string out;
  for (size_t pos = begin; pos < end;) {
    Node n = Scan(t, pos, end);
    if (n.kind == kText) out += Unescape(t.substr(pos, n.length));
    if (n.kind == kCData) {
      size_t close = pos + n.length - 3;
      size_t inside = std::min(pos + 9, close);
      out += t.substr(inside, close - inside);
    }
    pos += n.length;
  }
  return out;
}

// The checks of one element as the current element (or as the child): every attribute name it
// has, each asked for twice in shuffled order, names it does not have, and its text.
inline std::string CompareElement(const CXmlDoc& doc, bool child, const Tree& tree, const Element& el,
                                  std::mt19937& rng) {
  std::vector<Attribute> attributes = Attributes(tree, el);
  std::vector<std::string> names;
  for (const Attribute& a : attributes) {
    names.push_back(a.name);
    names.push_back(a.name);
    names.push_back(a.name + "=");
  }
  names.push_back("");
  names.push_back("zz");
  names.push_back("a");
  std::shuffle(names.begin(), names.end(), rng);
  std::string at = " at offset " + std::to_string(el.start);
  for (const std::string& name : names) {
    std::string expected;
    bool exists = AttributeValue(attributes, name, &expected);
    std::string byValue = child ? doc.GetChildAttribute(name.c_str()) : doc.GetAttribute(name.c_str());
    std::string kept = "stale";
    bool found = child ? doc.GetChildAttribute(name.c_str(), kept) : doc.GetAttribute(name.c_str(), kept);
    if (byValue != expected || kept != expected || found != exists) {
      return "attribute '" + name + "'" + at + ": engine '" + byValue + "'/'" + kept + "', reference '" +
             expected + "'" + (exists ? "" : " (none)");
    }
  }
  std::string text = child ? doc.GetChildElementText() : doc.GetElementText();
  if (text != Text(tree, el))
    return "text" + at + ": engine '" + text + "', reference '" + Text(tree, el) + "'";
  return std::string();
}

// The level under `parent` (the engine's cursor stands in it, rewound), then each element's level.
// Afterwards the last element of the level is the current one.
inline std::string CompareLevel(CXmlDoc& doc, const Tree& tree, int parent, std::mt19937& rng) {
  const std::vector<int>& children = tree.ChildrenOf(parent);
  std::vector<std::string> tagNames;
  for (int e : children) tagNames.push_back(TagName(tree, tree.elements[static_cast<size_t>(e)]));
  // FindElement by each name of the level, and by names that match none or several.
  std::vector<std::string> names = tagNames;
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  names.push_back("zz");
  names.push_back("a b");
  for (const std::string& name : names) {
    doc.RewindLevel();
    for (size_t i = 0; i < children.size(); ++i) {
      const Element& el = tree.elements[static_cast<size_t>(children[i])];
      if (!NameMatches(tagNames[i], name)) continue;
      if (!doc.FindElement(name.c_str()) ||
          static_cast<size_t>(CXmlDocProbe::CurrentStart(doc)) != el.start) {
        return "FindElement('" + name + "') misses the element at offset " + std::to_string(el.start);
      }
    }
    if (doc.FindElement(name.c_str())) return "FindElement('" + name + "') finds one too many";
  }
  doc.RewindLevel();
  for (int e : children) {
    const Element& el = tree.elements[static_cast<size_t>(e)];
    if (!doc.FindElement()) return "element at offset " + std::to_string(el.start) + " not found";
    if (static_cast<size_t>(CXmlDocProbe::CurrentStart(doc)) != el.start) {
      return "element at offset " + std::to_string(CXmlDocProbe::CurrentStart(doc)) +
             " where the reference has " + std::to_string(el.start);
    }
    std::string problem = CompareElement(doc, false, tree, el, rng);
    if (!problem.empty()) return problem;
    if (!el.children.empty()) {
      if (!doc.EnterElement()) return "cannot enter the element at offset " + std::to_string(el.start);
      problem = CompareLevel(doc, tree, e, rng);
      if (!problem.empty()) return problem;
      doc.LeaveElement();
      // Leaving makes the last element of the inner level the child element.
      problem = CompareElement(doc, true, tree, tree.elements[static_cast<size_t>(el.children.back())], rng);
      if (!problem.empty()) return "child " + problem;
    }
  }
  if (doc.FindElement()) return "an element after the last of its level";
  return std::string();
}

// Empty when every read of the engine agrees with the reference reader of its text; else the
// first disagreement. The cursor is as it was afterwards.
inline std::string CompareReads(CXmlDoc& doc, uint32_t seed) {
  std::mt19937 rng(seed);
  CXmlDocProbe::Cursor saved = CXmlDocProbe::SaveCursor(doc);
  Tree tree = Parse(CXmlDocProbe::Text(doc));
  while (doc.LeaveElement()) {
  }
  doc.RewindLevel();
  std::string problem = CompareLevel(doc, tree, -1, rng);
  CXmlDocProbe::RestoreCursor(doc, saved);
  return problem;
}

}  // namespace xmlref
