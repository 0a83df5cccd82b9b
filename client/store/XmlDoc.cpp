#include "client/store/XmlDoc.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "client/store/FileReplace.h"
#include "client/store/XmlText.h"

namespace {

// Offsets and lengths are 32-bit fields of the index.
constexpr size_t kMaxTextLength = INT_MAX;

std::string SystemErrorText(int error) {
  const char* message = std::strerror(error);
  std::string text = message ? message : "";
  size_t cut = text.find_first_of("\r\n");
  if (cut != std::string::npos) text.resize(cut);
  return text;
}

std::string BytesText(size_t count) {
  return std::to_string(static_cast<unsigned long long>(count)) + " bytes";
}

// Room kept in front of a large text, so that the first edits near its start (a new record goes
// in front of all others) move a few bytes instead of the whole text.
size_t FrontRoom(size_t size) {
  if (size < 4096) return 0;
  return size / 64 < 65536 ? size / 64 : 65536;
}

std::string Offset(size_t offset) {
  return std::to_string(static_cast<unsigned long long>(offset));
}

// A name the engine writes must be read back as the same element: the scanner takes it as a start
// tag, its name ends where the written name ends, and its end tag fits the index.
bool IsWritableElementName(const char* name) {
  if (!name || !xml::IsStartTagChar(name[0])) return false;
  size_t length = 0;
  for (const char* p = name; *p; ++p, ++length) {
    if (xml::IsSpace(static_cast<unsigned char>(*p)) || std::strchr("\"'<>/=?!\\", *p)) return false;
  }
  return length + 3 < XmlRecord::kEndTagLimit;
}

bool IsWritableAttributeName(const char* name) {
  if (!name || !*name) return false;
  for (const char* p = name; *p; ++p) {
    if (xml::IsSpace(static_cast<unsigned char>(*p)) || std::strchr("\"'<>/=?", *p)) return false;
  }
  return true;
}

// Whether a[0..n) equals b[0..n). The names and the bytes before a value are short, so up to 16
// of them are compared as two overlapping words without a call.
inline bool SameBytes(const char* a, const char* b, size_t n) {
  if (n >= 8) {
    if (n > 16) return std::memcmp(a, b, n) == 0;
    uint64_t a0, b0, a1, b1;
    std::memcpy(&a0, a, 8);
    std::memcpy(&b0, b, 8);
    std::memcpy(&a1, a + n - 8, 8);
    std::memcpy(&b1, b + n - 8, 8);
    return a0 == b0 && a1 == b1;
  }
  if (n >= 4) {
    uint32_t a0, b0, a1, b1;
    std::memcpy(&a0, a, 4);
    std::memcpy(&b0, b, 4);
    std::memcpy(&a1, a + n - 4, 4);
    std::memcpy(&b1, b + n - 4, 4);
    return a0 == b0 && a1 == b1;
  }
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

// The indexing parse of one text (under record 0). Open start tags are kept on a stack; end tags
// close the innermost open element of their name, and whatever stays open inside it is closed as
// not ended, its children moving up to follow it.
class CXmlDoc::Parser {
 public:
  Parser(CXmlDoc& doc, std::string& error)
      : m_doc(doc), m_index(doc.m_index), m_text(doc.Text()), m_size(doc.TextSize()), m_error(error) {
    m_open.reserve(6);
  }

  void Run() {
    size_t pos = 0;
    while (pos < m_size) {
      if (m_text[pos] != '<') {
        // Text creates no record: go straight to the next tag.
        const void* lt = std::memchr(m_text + pos, '<', m_size - pos);
        if (!lt) break;
        pos = static_cast<size_t>(static_cast<const char*>(lt) - m_text);
      }
      xml::Node node = xml::ScanNode(m_text, pos, m_size);
      switch (node.type) {
        case xml::kNodeElement:
          if (node.length >= XmlRecord::kStartTagLimit) {
            BadNode([&] { return "Incorrect start tag length at offset " + Offset(pos); });
          } else {
            StartTag(node);
          }
          break;
        case xml::kNodeEndTag:
          if (node.length >= XmlRecord::kEndTagLimit) {
            BadNode([&] { return "Incorrect end tag length at offset " + Offset(pos); });
          } else {
            EndTag(node);
          }
          break;
        case xml::kNodeError:
          BadNode([&] { return xml::NodeErrorText(node); });
          if (node.error == xml::kUnterminated) m_doc.m_openTail = static_cast<long long>(pos);
          break;
        default:
          break;
      }
      pos += node.length;
    }
    if (!m_open.empty()) CloseOpen(0, 0, nullptr);
  }

 private:
  struct Open {
    int rec;
    size_t nameLength;
  };

  const char* NameOf(const Open& open) const { return m_text + m_index[open.rec].start + 1; }
  int Innermost() const { return m_open.empty() ? 0 : m_open.back().rec; }

  // Only the first error of a parse is kept; its text is built only when it is kept.
  template <class F>
  void Fail(F message) {
    if (m_error.empty()) m_error = message();
  }

  template <class F>
  void BadNode(F message) {
    m_index[0].Set(XmlRecord::kIllFormed);
    m_index[Innermost()].Set(XmlRecord::kBadContent);
    Fail(message);
  }

  void StartTag(const xml::Node& node) {
    int parent = Innermost();
    int rec = m_index.Add();
    XmlRecord& r = m_index[rec];
    r.start = static_cast<int32_t>(node.start);
    r.length = static_cast<int32_t>(node.length);
    r.SetTagLengths(static_cast<uint32_t>(node.length), 0);
    r.levelFlags = 0;
    r.SetLevel(static_cast<int>(m_open.size() < 0x10000 ? m_open.size() : 0xFFFF));
    r.parent = parent;
    r.firstChild = 0;
    m_doc.LinkLast(rec, parent);
    if (node.empty) return;
    m_open.push_back(Open{rec, node.nameLength});
    if (m_counting) Count(m_open.back(), 1);
  }

  void EndTag(const xml::Node& node) {
    const char* name = m_text + node.start + 2;
    size_t length = node.nameLength;
    size_t match = m_open.size();
    if (!m_open.empty()) {
      const Open& top = m_open.back();
      if (xml::NameMatches(name, length, NameOf(top), top.nameLength)) {
        match = m_open.size() - 1;
      } else {
        if (!m_counting) {
          m_counting = true;
          for (const Open& open : m_open) Count(open, 1);
        }
        if (m_names.count(Hash(name, length)) != 0) {
          for (size_t i = m_open.size() - 1; i-- > 0;) {
            if (xml::NameMatches(name, length, NameOf(m_open[i]), m_open[i].nameLength)) {
              match = i;
              break;
            }
          }
        }
      }
    }
    if (match == m_open.size()) {
      m_index[0].Set(XmlRecord::kIllFormed);
      m_index[Innermost()].Set(XmlRecord::kBadContent);
      Fail([&] {
        return "No start tag for end tag '" + std::string(name, length) + "' at offset " + Offset(node.start);
      });
      return;
    }
    if (match + 1 < m_open.size()) CloseOpen(match + 1, m_open[match].rec, &node);
    XmlRecord& r = m_index[m_open.back().rec];
    r.length = static_cast<int32_t>(node.start + node.length) - r.start;
    r.SetTagLengths(r.StartTagLength(), static_cast<uint32_t>(node.length));
    if (m_counting) Count(m_open.back(), -1);
    m_open.pop_back();
  }

  // Closes m_open[from..] as not ended under `parent`: each keeps only its start tag, and its
  // children follow it as siblings. All of them end up, in document order, as children of `parent`,
  // so the chain is built in one pass: each closed element links on to its first child, and the
  // last element of the chain becomes the parent's last child.
  void CloseOpen(size_t from, int parent, const xml::Node* endTag) {
    const Open& inner = m_open.back();
    Fail([&] {
      std::string innerName(NameOf(inner), inner.nameLength);
      std::string innerStart = Offset(static_cast<size_t>(m_index[inner.rec].start));
      if (!endTag) return "Element '" + innerName + "' at offset " + innerStart + " not ended";
      return "End tag '" + std::string(m_text + endTag->start + 2, endTag->nameLength) + "' at offset " +
             Offset(endTag->start + 1) + " does not match start tag '" + innerName + "' at offset " +
             innerStart;
    });
    m_index[0].Set(XmlRecord::kIllFormed);
    int level = m_doc.LevelUnder(parent);
    bool bad = false;
    int tail = 0;
    for (size_t i = from; i < m_open.size(); ++i) {
      int rec = m_open[i].rec;
      int nextOpen = i + 1 < m_open.size() ? m_open[i + 1].rec : 0;
      XmlRecord& r = m_index[rec];
      if (r.Has(XmlRecord::kBadContent)) {
        bad = true;
        r.Clear(XmlRecord::kBadContent);
      }
      r.Set(XmlRecord::kNotEnded);
      r.length = static_cast<int32_t>(r.StartTagLength());
      r.SetTagLengths(r.StartTagLength(), 0);
      r.parent = parent;
      r.SetLevel(level);
      tail = rec;
      if (r.firstChild) {
        int child = r.firstChild;
        XmlRecord& first = m_index[child];
        tail = first.prev;
        first.Clear(XmlRecord::kFirstChild);
        first.prev = rec;
        r.next = child;
        r.firstChild = 0;
        for (int x = child; x; x = m_index[x].next) {
          m_index[x].parent = parent;
          // The next open element is relevelled in its own turn, with its children.
          if (x != nextOpen) Relevel(x, level);
        }
      }
      if (m_counting) Count(m_open[i], -1);
    }
    m_index[m_index[parent].firstChild].prev = tail;
    if (bad) m_index[parent].Set(XmlRecord::kBadContent);
    m_open.resize(from);
  }

  // Sets the level of `root` and of everything below it. Each closed element moves up at most
  // once, so this stays linear over a parse.
  void Relevel(int root, int level) {
    XmlRecord& r = m_index[root];
    int before = r.Level();
    r.SetLevel(level);
    if (r.Level() == before) return;
    int x = r.firstChild;
    while (x) {
      XmlRecord& xr = m_index[x];
      xr.SetLevel(m_index[xr.parent].Level() + 1);
      if (xr.firstChild) {
        x = xr.firstChild;
        continue;
      }
      while (x != root && !m_index[x].next) x = m_index[x].parent;
      if (x == root) break;
      x = m_index[x].next;
    }
  }

  // An end tag may close an outer element of its name, which needs a search of the open
  // elements. Once an end tag has missed the innermost one, the names of the open elements are
  // counted by hash, so that a stray end tag costs no search however deep the nesting. An end tag
  // name matches an open name that is equal to it or continues with "=", "[" or "]" after it, so
  // each open name counts under those prefixes too.
  static uint64_t Mix(uint64_t h, size_t length) {
    h ^= length * 0x9E3779B97F4A7C15ull;
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
  }
  static uint64_t Hash(const char* name, size_t length) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < length; ++i) h = (h ^ static_cast<unsigned char>(name[i])) * 0x100000001B3ull;
    return Mix(h, length);
  }
  void Count(const Open& open, int delta) {
    const char* name = NameOf(open);
    uint64_t h = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < open.nameLength; ++i) {
      char c = name[i];
      if (i > 0 && (c == '=' || c == '[' || c == ']')) CountKey(Mix(h, i), delta);
      h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    }
    CountKey(Mix(h, open.nameLength), delta);
  }
  void CountKey(uint64_t key, int delta) {
    int& n = m_names[key];
    n += delta;
    if (n == 0) m_names.erase(key);
  }

  CXmlDoc& m_doc;
  CXmlIndex& m_index;
  const char* m_text;
  size_t m_size;
  std::string& m_error;
  std::vector<Open> m_open;
  bool m_counting = false;
  std::unordered_map<uint64_t, int> m_names;
};

CXmlDoc::CXmlDoc() {
  SetDocText(nullptr);
}

CXmlDoc::~CXmlDoc() = default;

bool CXmlDoc::SetDocText(const char* text) {
  size_t length = text ? std::strlen(text) : 0;
  if (length > kMaxTextLength) {
    m_storage.clear();
    m_front = 0;
    IndexText(std::string());
    m_error = "Incorrect document length at offset " + Offset(kMaxTextLength);
    return false;
  }
  // A new string, not the old one refilled: the text may be this document's own.
  size_t front = FrontRoom(length);
  std::string storage;
  storage.reserve(front + length);
  storage.assign(front, '\0');
  storage.append(text ? text : "", length);
  m_storage.swap(storage);
  m_front = front;
  return IndexText(std::string());
}

bool CXmlDoc::IndexText(const std::string& kept) {
  DropReadCache();
  m_parent = m_current = m_child = 0;
  m_released = 0;
  m_openTail = -1;
  m_index.Reset(TextSize() / 64 + 8);
  std::string error;
  if (TextSize() == 0) {
    error = "Empty document";
  } else {
    Parser(*this, error).Run();
    XmlRecord& doc = m_index[0];
    doc.length = static_cast<int32_t>(TextSize());
    if (!doc.firstChild) {
      error = "No root element";
    } else if (m_index[doc.firstChild].next) {
      error = "Root element has sibling";
    }
  }
  m_index.Trim();
  if (kept.empty()) {
    m_error = error;
  } else {
    m_error = error.empty() ? kept : kept + ", " + error;
  }
  const XmlRecord& doc = m_index[0];
  return !doc.Has(XmlRecord::kIllFormed) && doc.firstChild && !m_index[doc.firstChild].next;
}

int CXmlDoc::LevelUnder(int parent) const {
  if (!parent) return 0;
  int level = m_index[parent].Level() + 1;
  return level > XmlRecord::kLevelMask ? XmlRecord::kLevelMask : level;
}

bool CXmlDoc::LoadFile(const char* path) {
  if (!path || !*path) {
    m_error = SystemErrorText(ENOENT);
    return false;
  }
  RecoverInterruptedSave(path);
  return ReadFile(path);
}

bool CXmlDoc::ReadFile(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) {
    m_error = SystemErrorText(errno);
    return false;
  }
  size_t expected = 0;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file);
    if (size > 0 && static_cast<unsigned long>(size) <= kMaxTextLength) expected = static_cast<size_t>(size);
    std::rewind(file);
  }
  size_t front = FrontRoom(expected);
  std::string bytes;
  bytes.reserve(front + expected + 1);
  bytes.assign(front, '\0');
  // The whole file in one read when its size is known; one byte more shows the end.
  size_t want = expected + 1;
  int error = 0;
  for (;;) {
    size_t had = bytes.size();
    if (had - front > kMaxTextLength) {
      error = EFBIG;
      break;
    }
    bytes.resize(had + want);
    size_t got = std::fread(&bytes[had], 1, want, file);
    bytes.resize(had + got);
    if (got < want) {
      if (std::ferror(file)) error = errno ? errno : EIO;
      break;
    }
    want = 1 << 16;
  }
  std::fclose(file);
  if (error) {
    m_error = SystemErrorText(error);
    return false;
  }
  size_t fileSize = bytes.size() - front;
  if (xml::UsesUtf8(bytes.data() + front, fileSize)) {
    bytes = xml::Utf8ToBytes(bytes.data() + front, fileSize);
    front = 0;
  }
  // The text ends at its first NUL byte, as a text given to SetDocText does.
  const void* nul = std::memchr(bytes.data() + front, '\0', bytes.size() - front);
  if (nul) bytes.resize(static_cast<size_t>(static_cast<const char*>(nul) - bytes.data()));
  m_storage.swap(bytes);
  m_front = front;
  return IndexText(BytesText(fileSize));
}

namespace {

// Names of the engine's own beside a file, so that no file of the user's ("config.xml.bak") is
// ever touched: the new text while it is written, and the old file that earlier versions set
// aside while they swapped the two.
const char kNewSuffix[] = ".new~";
const char kOldSuffix[] = ".old~";

// Held while a save's new file exists and while leftovers are cleared away, so that a load never
// takes the file another document is saving for a leftover.
std::mutex& SaveLock() {
  static std::mutex lock;
  return lock;
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

void CXmlDoc::RecoverInterruptedSave(const char* path) {
  if (!path || !*path) return;
  std::lock_guard<std::mutex> hold(SaveLock());
  std::string target = path;
  std::string fresh = target + kNewSuffix;
  std::string old = target + kOldSuffix;
  if (!Exists(target)) {
    // The newest complete text wins: a new file that parses, else the old file set aside, else
    // whatever the new file holds, which the caller then treats as damaged.
    CXmlDoc check;
    if (Exists(fresh) && check.ReadFile(fresh.c_str())) {
      ReplaceFileWith(fresh.c_str(), target.c_str());
    } else if (Exists(old)) {
      ReplaceFileWith(old.c_str(), target.c_str());
    } else if (Exists(fresh)) {
      ReplaceFileWith(fresh.c_str(), target.c_str());
    }
  }
  if (Exists(target)) {
    std::remove(fresh.c_str());
    std::remove(old.c_str());
  }
}

bool CXmlDoc::SaveFile(const char* path) {
  if (!path || !*path) {
    m_error = SystemErrorText(ENOENT);
    return false;
  }
  const char* out = Text();
  size_t outSize = TextSize();
  std::string converted;
  if (xml::UsesUtf8(out, outSize)) {
    converted = xml::BytesToUtf8(out, outSize);
    out = converted.data();
    outSize = converted.size();
  }
  // A target that exists but cannot be written (read-only, locked, a folder) fails as it would if
  // it were opened for writing directly.
  std::FILE* probe = std::fopen(path, "r+b");
  if (probe) {
    std::fclose(probe);
  } else if (errno != ENOENT) {
    m_error = SystemErrorText(errno);
    return false;
  }
  // The new text goes into a file of its own, onto the disk, and then takes the old file's place
  // in one step: a crash at any moment leaves the old file or the new one.
  std::lock_guard<std::mutex> hold(SaveLock());
  std::string temp = std::string(path) + kNewSuffix;
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) {
    m_error = SystemErrorText(errno);
    return false;
  }
  int error = 0;
  errno = 0;
  if (outSize && std::fwrite(out, 1, outSize, file) != outSize) error = errno ? errno : EIO;
  if (!CommitToDisk(file) && !error) error = errno ? errno : EIO;
  if (std::fclose(file) != 0 && !error) error = errno ? errno : EIO;
  if (!error) error = ReplaceFileWith(temp.c_str(), path);
  if (error) {
    std::remove(temp.c_str());
    m_error = SystemErrorText(error);
    return false;
  }
  m_error = BytesText(outSize);
  return true;
}

const std::string& CXmlDoc::GetDocText() const {
  if (m_front) {
    DropReadCache();
    m_storage.erase(0, m_front);
    m_front = 0;
  }
  return m_storage;
}

void CXmlDoc::RewindLevel() {
  m_current = 0;
  m_child = 0;
}

bool CXmlDoc::FindNext(int x, const char* name, size_t nameLength, int* found) const {
  if (nameLength == 0) {
    *found = x;
    return x != 0;
  }
  const char* text = Text();
  for (; x; x = m_index[x].next) {
    const XmlRecord& r = m_index[x];
    const char* tag = text + r.start + 1;
    size_t tagLength = r.StartTagLength() - 1;
    // A tag whose first bytes are the name, followed by a byte that ends a name, has that name
    // when no byte of the name itself ends one. The backslash is left to the full rule, since it
    // can be the second byte of a double-byte character.
    if (nameLength < tagLength && tag[nameLength] != '\\' && xml::EndsTagName(tag[nameLength])) {
      if (SameBytes(tag, name, nameLength)) {
        bool stop = false;
        for (size_t i = 0; i < nameLength; ++i) stop |= xml::EndsTagName(name[i]);
        if (!stop) break;
      } else if (tag[0] != name[0]) {
        // A name never begins with a byte that ends one.
        continue;
      }
    }
    if (xml::TagNameMatches(tag, tag + tagLength, name, nameLength)) break;
  }
  *found = x;
  return x != 0;
}

bool CXmlDoc::FindElementOf(const char* name, size_t nameLength) {
  int first = m_current ? m_index[m_current].next : m_index[m_parent].firstChild;
  int found;
  if (!FindNext(first, name, nameLength, &found)) return false;
  m_current = found;
  m_child = 0;
  return true;
}

bool CXmlDoc::FindChildElementOf(const char* name, size_t nameLength) {
  if (!m_current && !FindElementOf(nullptr, 0)) return false;
  int first = m_child ? m_index[m_child].next : m_index[m_current].firstChild;
  int found;
  if (!FindNext(first, name, nameLength, &found)) return false;
  m_child = found;
  return true;
}

bool CXmlDoc::EnterElement() {
  if (!m_current) return false;
  m_parent = m_current;
  m_current = m_child;
  m_child = 0;
  return true;
}

bool CXmlDoc::LeaveElement() {
  if (!m_parent) return false;
  m_child = m_current;
  m_current = m_parent;
  m_parent = m_index[m_parent].parent;
  return true;
}

// Every start tag that is neither ended by an end tag nor marked not ended was written as an empty
// element, "/>" included: the parser pushes all others, and the edits keep it so.
bool CXmlDoc::IsEmptyTag(const XmlRecord& r) const {
  return r.EndTagLength() == 0 && !r.Has(XmlRecord::kNotEnded);
}

size_t CXmlDoc::ScanNameLength(const XmlRecord& r) const {
  const char* begin = Text() + r.start + 1;
  const char* end = Text() + r.start + r.StartTagLength();
  const char* p = begin;
  while (p < end && !xml::IsSpace(static_cast<unsigned char>(*p)) && *p != '/' && *p != '>') ++p;
  return static_cast<size_t>(p - begin);
}

void CXmlDoc::DropReadCache() const {
  m_cachedRec = 0;
  m_layoutCount = 0;
  m_steps.clear();
  m_matched = 0;
  m_scannedCount = 0;
  ForgetNames();
}

void CXmlDoc::ForgetNames() const {
  for (NameMemo& memo : m_nameMemos) memo.name = nullptr;
}

void CXmlDoc::StartReading(int rec) const {
  if (m_cachedRec && (m_scannedCount || m_matched < m_layoutCount)) {
    // The layout keeps what the element repeated and learns what was scanned after it.
    if (m_layout.size() < m_matched + m_scannedCount) m_layout.resize(m_matched + m_scannedCount);
    std::copy(m_scanned.begin(), m_scanned.begin() + static_cast<ptrdiff_t>(m_scannedCount),
              m_layout.begin() + static_cast<ptrdiff_t>(m_matched));
    m_layoutCount = m_matched + m_scannedCount;
    // The steps of reading by the layout's quotes: each value in double quotes, up to the first
    // that is not, with the number of the quote that closes it among the tag's double quotes.
    const char* text = Text();
    m_steps.clear();
    size_t quotes = 0;
    for (size_t k = 0; k < m_layoutCount; ++k) {
      const AttributePlace& a = m_layout[k];
      size_t prefix = a.value[0] - a.from;
      if (a.quote != '"' || prefix > 0xFFFF) break;
      quotes += static_cast<size_t>(std::count(text + a.from, text + a.value[0], '"'));
      if (quotes >= kMappedBytes) break;
      m_steps.push_back(LayoutStep{a.from, static_cast<uint16_t>(prefix), static_cast<uint16_t>(quotes)});
      ++quotes;
    }
    if (m_values.size() < 2 * m_layoutCount) m_values.resize(2 * m_layoutCount);
    ForgetNames();
  }
  // The attributes are read inside the tag only: never past its closing ">" or "/>".
  const XmlRecord& r = m_index[rec];
  size_t start = static_cast<size_t>(r.start);
  m_readEnd = start + r.StartTagLength() - (IsEmptyTag(r) ? 2 : 1);
  m_readFrom = start + 1;
  m_matched = 0;
  m_scannedCount = 0;
  m_readAll = false;
  m_plainBefore = 0;
  m_cachedRec = rec;
  if (m_layoutCount) ReadByLayout();
}

namespace {

#ifdef __SSE2__
// One bit for each double quote among the 64 bytes of word w of the tag, none at or beyond its
// end; the ampersands found are added to *ampersands (bytes past the end may add one that is not
// there, which only costs a search).
inline uint64_t QuoteBits(const char* tag, size_t w, size_t length, __m128i* ampersands) {
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i ampersand = _mm_set1_epi8('&');
  uint64_t bits = 0;
  for (int c = 0; c < 4; ++c) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tag + (w << 6) + 16 * c));
    bits |= static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote))))
            << (16 * c);
    *ampersands = _mm_or_si128(*ampersands, _mm_cmpeq_epi8(bytes, ampersand));
  }
  if ((w + 1) << 6 > length) bits &= (1ull << (length & 63)) - 1;
  return bits;
}
#endif

}  // namespace

void CXmlDoc::ReadByLayout() const {
  const char* text = Text();
  const size_t base = m_readFrom;
  const size_t length = m_readEnd - base;
  // Offsets from here on count from the tag name.
  const char* tag = text + base;
  const AttributePlace* layout = m_layout.data();
  uint32_t* values = m_values.data();
  size_t k = 0;
  size_t from = 0;
#ifdef __SSE2__
  // In a short enough tag the double quotes are found as bits, 64 bytes at a time, as far as the
  // layout reaches. Where the bytes before a value repeat the layout's, so do the quotes among
  // them, and the quote that closes the value has the same number among the tag's quotes as in
  // the layout. Each attribute is then checked apart from the others, which keeps the processor
  // busy.
  if (!m_steps.empty() && length <= kMappedBytes && base + ((length + 63) & ~size_t(63)) <= TextSize()) {
    __m128i ampersands = _mm_setzero_si128();
    uint16_t quotes[kMappedBytes];
    size_t count = 0;
    size_t mapped = 0;
    const LayoutStep* steps = m_steps.data();
    const size_t stepCount = m_steps.size();
    const size_t needed = steps[stepCount - 1].closeQuote + 1u;
    for (; mapped < length && count < needed; mapped += 64) {
      for (uint64_t bits = QuoteBits(tag, mapped >> 6, length, &ampersands); bits; bits &= bits - 1) {
        quotes[count++] = static_cast<uint16_t>(mapped + static_cast<size_t>(__builtin_ctzll(bits)));
      }
    }
    if (_mm_movemask_epi8(ampersands) == 0) m_plainBefore = base + (mapped < length ? mapped : length);
    for (; k < stepCount; ++k) {
      const LayoutStep& step = steps[k];
      if (step.closeQuote >= count) break;
      size_t valueBegin = from + step.prefixLength;
      if (valueBegin > length || !SameBytes(tag + from, text + step.prefixAt, step.prefixLength)) break;
      size_t valueEnd = quotes[step.closeQuote];
      values[2 * k] = static_cast<uint32_t>(base + valueBegin);
      values[2 * k + 1] = static_cast<uint32_t>(base + valueEnd);
      from = valueEnd + 1;
    }
  } else
#endif
  {
    // The scan of the layout's attribute read exactly the bytes from its start through the
    // quote that opens its value; where this tag holds the same bytes, the scan finds the same.
    for (; k < m_layoutCount; ++k) {
      const AttributePlace& model = layout[k];
      size_t prefix = model.value[0] - model.from;
      if (!model.quote || from + prefix > length || !SameBytes(tag + from, text + model.from, prefix)) break;
      size_t at = from + prefix;
      size_t valueEnd = static_cast<size_t>(xml::FindByte(tag + at, tag + length, model.quote) - tag);
      values[2 * k] = static_cast<uint32_t>(base + at);
      values[2 * k + 1] = static_cast<uint32_t>(base + valueEnd);
      from = valueEnd < length ? valueEnd + 1 : length;
    }
  }
  m_matched = k;
  if (k) m_readFrom = base + from;
}

bool CXmlDoc::ReadNextAttribute() const {
  if (m_scannedCount == m_scanned.size()) m_scanned.resize(m_scanned.empty() ? 8 : 2 * m_scanned.size());
  const char* text = Text();
  size_t from = m_readFrom;
  // The first attribute is read from the tag name on.
  if (m_matched + m_scannedCount == 0) m_readFrom = xml::AttributesBegin(text, from, m_readEnd);
  xml::Attribute attr;
  if (!xml::NextAttribute(text, &m_readFrom, m_readEnd, &attr)) return false;
  AttributePlace& a = m_scanned[m_scannedCount++];
  a.from = static_cast<uint32_t>(from);
  a.nameOffset = static_cast<uint32_t>(attr.nameBegin - from);
  a.nameLength = static_cast<uint32_t>(attr.nameEnd - attr.nameBegin);
  a.value[0] = static_cast<uint32_t>(attr.valueBegin);
  a.value[1] = static_cast<uint32_t>(attr.valueEnd);
  a.quote = attr.hasValue && attr.valueBegin != attr.tokenBegin ? text[attr.tokenBegin] : 0;
  return true;
}

namespace {

// The name rule (xml::NameMatches) with the lengths tested first, so that most names are settled
// without reading them.
inline bool NameIs(const char* text, uint32_t nameBegin, uint32_t nameLength, const char* name,
                   size_t length) {
  if (nameLength > length) return false;
  if (nameLength < length && !xml::FollowsMatchedName(name[nameLength])) return false;
  return SameBytes(text + nameBegin, name, nameLength);
}

}  // namespace

inline const uint32_t* CXmlDoc::FindValue(int rec, const char* name, size_t nameLength) const {
  if (!rec || !name) return nullptr;
  if (rec != m_cachedRec) StartReading(rec);
  // A name asked for before, with the same bytes, is found where it was found then.
  for (const NameMemo& memo : m_nameMemos) {
    if (memo.name == name) {
      if (memo.length == nameLength && memo.slot < m_matched && SameBytes(memo.bytes, name, nameLength)) {
        return m_values.data() + 2 * memo.slot;
      }
      break;
    }
  }
  return SearchValue(name, nameLength);
}

const uint32_t* CXmlDoc::SearchValue(const char* name, size_t nameLength) const {
  // The first attribute of the name is either among those read so far or the first of the name
  // after them. The names of the attributes the element repeats are the layout's.
  const char* text = Text();
  const AttributePlace* layout = m_layout.data();
  const size_t matched = m_matched;
  for (size_t k = 0; k < matched; ++k) {
    const AttributePlace& a = layout[k];
    if (NameIs(text, a.from + a.nameOffset, a.nameLength, name, nameLength)) {
      if (nameLength <= sizeof(NameMemo::bytes)) {
        // One memo for each name, the oldest making room for a new one.
        NameMemo* memo = nullptr;
        for (NameMemo& same : m_nameMemos) {
          if (same.name == name) memo = &same;
        }
        if (!memo) {
          memo = &m_nameMemos[m_nextMemo];
          m_nextMemo = (m_nextMemo + 1) % kNameMemos;
        }
        memo->name = name;
        memo->length = nameLength;
        std::memcpy(memo->bytes, name, nameLength);
        memo->slot = k;
      }
      return m_values.data() + 2 * k;
    }
  }
  return FindScanned(name, nameLength);
}

const uint32_t* CXmlDoc::FindScanned(const char* name, size_t nameLength) const {
  const char* text = Text();
  for (size_t i = 0;; ++i) {
    if (i == m_scannedCount) {
      if (m_readAll) return nullptr;
      if (!ReadNextAttribute()) {
        m_readAll = true;
        return nullptr;
      }
    }
    const AttributePlace& a = m_scanned[i];
    if (NameIs(text, a.from + a.nameOffset, a.nameLength, name, nameLength)) return a.value;
  }
}

std::string CXmlDoc::AttributeValue(int rec, const char* name, size_t nameLength) const {
  const uint32_t* value = FindValue(rec, name, nameLength);
  if (!value) return std::string();
  const char* text = Text() + value[0];
  size_t length = value[1] - value[0];
  return value[1] <= m_plainBefore ? std::string(text, length) : xml::Unescaped(text, length);
}

bool CXmlDoc::CopyAttributeValue(int rec, const char* name, size_t nameLength, std::string& out) const {
  out.clear();
  const uint32_t* value = FindValue(rec, name, nameLength);
  if (!value) return false;
  const char* text = Text() + value[0];
  size_t length = value[1] - value[0];
  if (value[1] > m_plainBefore && std::memchr(text, '&', length)) {
    xml::AppendUnescaped(out, text, length);
  } else {
    out.assign(text, length);
  }
  return true;
}

std::string CXmlDoc::TextOf(int rec) const {
  if (!rec) return std::string();
  const XmlRecord& r = m_index[rec];
  if (r.firstChild) return std::string();
  size_t begin = static_cast<size_t>(r.start) + r.StartTagLength();
  size_t end = static_cast<size_t>(r.start) + static_cast<size_t>(r.length) - r.EndTagLength();
  return xml::ContentText(Text(), begin, end);
}

std::string CXmlDoc::GetElementText() const {
  return TextOf(m_current);
}

std::string CXmlDoc::GetChildElementText() const {
  return TextOf(m_child);
}

bool CXmlDoc::FitsText(size_t oldLength, size_t newLength) const {
  return TextSize() - oldLength + newLength <= kMaxTextLength;
}

void CXmlDoc::Splice(size_t pos, size_t oldLength, const std::string& with, int self) {
  DropReadCache();
  size_t size = TextSize();
  size_t newSize = size - oldLength + with.size();
  size_t growth = with.size() > oldLength ? with.size() - oldLength : 0;
  if (pos < size / 2 && m_front >= growth) {
    // Near the start: move the bytes before the change into the room in front of the text.
    char* base = &m_storage[0];
    size_t front = m_front + oldLength - with.size();
    std::memmove(base + front, base + m_front, pos);
    std::memcpy(base + front + pos, with.data(), with.size());
    m_front = front;
  } else if (m_front + newSize <= m_storage.capacity()) {
    m_storage.replace(m_front + pos, oldLength, with);
  } else {
    // Growing by half as much again keeps a series of additions from copying the text each time;
    // half of the new room goes in front, for edits near the start. Building the new text in one
    // pass saves the move that an in-place replace would add.
    size_t capacity = newSize + newSize / 2 + 128;
    size_t front = (capacity - newSize) / 2;
    std::string grown;
    grown.reserve(capacity);
    grown.assign(front, '\0');
    grown.append(Text(), pos).append(with).append(Text() + pos + oldLength, size - pos - oldLength);
    m_storage.swap(grown);
    m_front = front;
  }
  int32_t delta = static_cast<int32_t>(with.size()) - static_cast<int32_t>(oldLength);
  if (delta == 0) return;
  int32_t changeBegin = static_cast<int32_t>(pos);
  int32_t changeEnd = static_cast<int32_t>(pos + oldLength);
  const XmlRecord* selfRecord = self ? &m_index[self] : nullptr;
  m_index.ForEachElement([&](XmlRecord& r) {
    if (r.levelFlags & XmlRecord::kReleased) return;
    if (r.start >= changeEnd) {
      r.start += delta;
    } else if (r.start + r.length > changeBegin || &r == selfRecord) {
      r.length += delta;
    }
  });
  m_index[0].length += delta;
  if (m_openTail >= changeEnd) m_openTail += delta;
}

size_t CXmlDoc::SkipSpaceToTag(size_t pos) const {
  size_t q = pos;
  const char* text = Text();
  size_t size = TextSize();
  while (q < size && xml::IsSpace(static_cast<unsigned char>(text[q]))) ++q;
  return q == size || text[q] == '<' ? q : pos;
}

void CXmlDoc::LinkFirst(int rec, int parent) {
  XmlRecord& p = m_index[parent];
  XmlRecord& n = m_index[rec];
  int old = p.firstChild;
  n.Set(XmlRecord::kFirstChild);
  if (old) {
    XmlRecord& o = m_index[old];
    n.prev = o.prev;
    n.next = old;
    o.prev = rec;
    o.Clear(XmlRecord::kFirstChild);
  } else {
    n.prev = rec;
    n.next = 0;
  }
  p.firstChild = rec;
}

void CXmlDoc::LinkAfter(int rec, int ref) {
  XmlRecord& n = m_index[rec];
  XmlRecord& r = m_index[ref];
  n.prev = ref;
  n.next = r.next;
  if (r.next) {
    m_index[r.next].prev = rec;
  } else {
    m_index[m_index[n.parent].firstChild].prev = rec;
  }
  r.next = rec;
}

void CXmlDoc::LinkLast(int rec, int parent) {
  int first = m_index[parent].firstChild;
  if (first) {
    LinkAfter(rec, m_index[first].prev);
  } else {
    LinkFirst(rec, parent);
  }
}

int CXmlDoc::PreviousSibling(int rec) const {
  const XmlRecord& r = m_index[rec];
  return r.Has(XmlRecord::kFirstChild) ? 0 : r.prev;
}

void CXmlDoc::Unlink(int rec) {
  XmlRecord& x = m_index[rec];
  XmlRecord& p = m_index[x.parent];
  if (x.Has(XmlRecord::kFirstChild)) {
    if (x.next) {
      XmlRecord& n = m_index[x.next];
      n.Set(XmlRecord::kFirstChild);
      n.prev = x.prev;
    }
    p.firstChild = x.next;
  } else {
    m_index[x.prev].next = x.next;
    if (x.next) {
      m_index[x.next].prev = x.prev;
    } else {
      m_index[p.firstChild].prev = x.prev;
    }
  }
}

// Released records go on the released list (linked through their next field), children before
// their parent; they are never reused.
void CXmlDoc::ReleaseSubtree(int root) {
  int x = root;
  while (m_index[x].firstChild) x = m_index[x].firstChild;
  for (;;) {
    XmlRecord& r = m_index[x];
    bool done = x == root;
    int next = r.next;
    int parent = r.parent;
    r.Set(XmlRecord::kReleased);
    r.next = m_released;
    m_released = x;
    if (done) break;
    if (next) {
      x = next;
      while (m_index[x].firstChild) x = m_index[x].firstChild;
    } else {
      x = parent;
    }
  }
}

bool CXmlDoc::SetAttribute(const char* name, const char* value) {
  if (!m_current || !IsWritableAttributeName(name)) return false;
  if (!value) value = "";
  const XmlRecord& r = m_index[m_current];
  const char* text = Text();
  size_t start = static_cast<size_t>(r.start);
  size_t startTag = r.StartTagLength();
  bool empty = IsEmptyTag(r);
  xml::Attribute attr;
  size_t appendAt;
  bool exists = xml::FindAttribute(text, start + 1, start + startTag - (empty ? 2 : 1), name,
                                   std::strlen(name), &attr, &appendAt);
  std::string quoted = "\"";
  xml::AppendEscaped(quoted, value, std::strlen(value), true);
  quoted += '"';
  size_t pos;
  size_t oldLength = 0;
  std::string with;
  if (exists && attr.hasValue) {
    pos = attr.tokenBegin;
    oldLength = attr.tokenEnd - attr.tokenBegin;
    with = quoted;
  } else if (exists) {
    pos = attr.nameEnd;
    with = "=" + quoted;
  } else {
    pos = appendAt;
    with = std::string(" ") + name + "=" + quoted;
  }
  size_t newStartTag = startTag - oldLength + with.size();
  if (newStartTag >= XmlRecord::kStartTagLimit || !FitsText(oldLength, with.size())) return false;
  // In a tag whose quotes pair up oddly the new text could end the tag elsewhere or change its
  // name; such an edit is refused rather than let the index and the text part ways.
  std::string tag(text + start, pos - start);
  tag += with;
  tag.append(text + pos + oldLength, start + startTag - pos - oldLength);
  xml::Node before = xml::ScanNode(text, start, start + startTag);
  xml::Node after = xml::ScanNode(tag.data(), 0, tag.size());
  if (after.type != xml::kNodeElement || after.length != tag.size() || after.empty != before.empty ||
      after.nameLength != before.nameLength) {
    return false;
  }
  uint32_t endTag = r.EndTagLength();
  Splice(pos, oldLength, with, m_current);
  m_index[m_current].SetTagLengths(static_cast<uint32_t>(newStartTag), endTag);
  return true;
}

bool CXmlDoc::SetElementText(const char* value) {
  if (!m_current) return false;
  XmlRecord& r = m_index[m_current];
  if (r.firstChild) return false;
  if (!value) value = "";
  std::string escaped;
  xml::AppendEscaped(escaped, value, std::strlen(value), false);
  size_t start = static_cast<size_t>(r.start);
  uint32_t startTag = r.StartTagLength();
  uint32_t endTag = r.EndTagLength();
  if (endTag != 0) {
    size_t content = start + startTag;
    size_t oldLength = static_cast<size_t>(r.length) - startTag - endTag;
    if (!FitsText(oldLength, escaped.size())) return false;
    Splice(content, oldLength, escaped, m_current);
  } else {
    // No end tag yet: an empty element's "/>" becomes ">" and a start tag without end tag is
    // followed by the text; either way an end tag follows the text.
    size_t nameLength = ScanNameLength(r);
    if (nameLength + 3 >= XmlRecord::kEndTagLimit) return false;
    std::string endTagText = "</" + std::string(Text() + start + 1, nameLength) + ">";
    bool notEnded = r.Has(XmlRecord::kNotEnded);
    size_t pos = notEnded ? start + startTag : start + startTag - 2;
    size_t oldLength = notEnded ? 0 : 2;
    std::string with = (notEnded ? "" : ">") + escaped + endTagText;
    if (!FitsText(oldLength, with.size())) return false;
    Splice(pos, oldLength, with, m_current);
    XmlRecord& changed = m_index[m_current];
    changed.SetTagLengths(notEnded ? startTag : startTag - 1, static_cast<uint32_t>(nameLength + 3));
    changed.Clear(XmlRecord::kNotEnded);
  }
  m_index[m_current].Clear(XmlRecord::kBadContent);
  return true;
}

bool CXmlDoc::SetElementText(int value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%d", value);
  return SetElementText(text);
}

bool CXmlDoc::AddAt(int parent, int ref, bool before, const char* name, const char* value, int* added) {
  if (!IsWritableElementName(name) || !m_index.CanAdd()) return false;
  size_t nameLength = std::strlen(name);
  std::string element = "<";
  element += name;
  uint32_t startTag;
  uint32_t endTag;
  if (value) {
    element += '>';
    xml::AppendEscaped(element, value, std::strlen(value), false);
    element += "</";
    element += name;
    element += '>';
    startTag = static_cast<uint32_t>(nameLength + 2);
    endTag = static_cast<uint32_t>(nameLength + 3);
  } else {
    element += "/>";
    startTag = static_cast<uint32_t>(nameLength + 3);
    endTag = 0;
  }
  size_t elementLength = element.size();

  size_t pos;
  size_t oldLength = 0;
  size_t newStart;
  std::string with;
  uint32_t parentStartTag = 0;
  size_t parentNameLength = 0;
  const XmlRecord* p = parent ? &m_index[parent] : nullptr;
  bool parentWithoutEndTag = p && p->EndTagLength() == 0;
  if (parentWithoutEndTag) {
    // The parent gets an end tag, and its own ">" (or the ">" of its "/>") closes it: start tag,
    // new element and end tag stand on three lines.
    parentNameLength = ScanNameLength(*p);
    if (parentNameLength + 3 >= XmlRecord::kEndTagLimit) return false;
    size_t parentStart = static_cast<size_t>(p->start);
    bool notEnded = p->Has(XmlRecord::kNotEnded);
    parentStartTag = notEnded ? p->StartTagLength() : p->StartTagLength() - 1;
    pos = parentStart + p->StartTagLength() - (notEnded ? 1 : 2);
    oldLength = notEnded ? 0 : 1;
    with = ">\r\n" + element + "\r\n</" + std::string(Text() + parentStart + 1, parentNameLength);
    newStart = pos + 3;
  } else {
    if (ref) {
      const XmlRecord& r = m_index[ref];
      pos = static_cast<size_t>(r.start) + (before ? 0 : static_cast<size_t>(r.length));
    } else if (before) {
      pos = p ? static_cast<size_t>(p->start) + p->StartTagLength() : 0;
    } else if (p) {
      pos = static_cast<size_t>(p->start) + static_cast<size_t>(p->length) - p->EndTagLength();
    } else {
      pos = m_openTail >= 0 ? static_cast<size_t>(m_openTail) : TextSize();
    }
    pos = SkipSpaceToTag(pos);
    bool emptyContent = p && static_cast<uint32_t>(p->length) == p->StartTagLength() + p->EndTagLength();
    with = (emptyContent ? "\r\n" : "") + element + "\r\n";
    newStart = pos + (emptyContent ? 2 : 0);
  }
  if (!FitsText(oldLength, with.size())) return false;

  Splice(pos, oldLength, with, 0);
  if (parentWithoutEndTag) {
    XmlRecord& changed = m_index[parent];
    changed.SetTagLengths(parentStartTag, static_cast<uint32_t>(parentNameLength + 3));
    changed.Clear(XmlRecord::kNotEnded);
  }
  int rec = m_index.Add();
  XmlRecord& n = m_index[rec];
  n.start = static_cast<int32_t>(newStart);
  n.length = static_cast<int32_t>(elementLength);
  n.SetTagLengths(startTag, endTag);
  n.levelFlags = 0;
  n.SetLevel(LevelUnder(parent));
  n.parent = parent;
  n.firstChild = 0;
  n.next = 0;
  n.prev = 0;
  if (ref && !before) {
    LinkAfter(rec, ref);
  } else if (ref && !m_index[ref].Has(XmlRecord::kFirstChild)) {
    LinkAfter(rec, m_index[ref].prev);
  } else if (ref || before) {
    LinkFirst(rec, parent);
  } else {
    LinkLast(rec, parent);
  }
  *added = rec;
  return true;
}

bool CXmlDoc::AddElement(const char* name, const char* value) {
  int added;
  if (!AddAt(m_parent, m_current, false, name, value, &added)) return false;
  m_current = added;
  m_child = 0;
  return true;
}

bool CXmlDoc::AddElement(const char* name, int value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%d", value);
  return AddElement(name, text);
}

bool CXmlDoc::InsertElement(const char* name, const char* value) {
  int added;
  if (!AddAt(m_parent, m_current, true, name, value, &added)) return false;
  m_current = added;
  m_child = 0;
  return true;
}

bool CXmlDoc::AddChildElement(const char* name, const char* value) {
  int added;
  if (!m_current || !AddAt(m_current, m_child, false, name, value, &added)) return false;
  m_child = added;
  return true;
}

bool CXmlDoc::BadNodeEndsAt(size_t from, size_t at) const {
  xml::Node node;
  size_t pos = from;
  while (pos < at) {
    node = xml::ScanNode(Text(), pos, TextSize());
    pos += node.length;
  }
  return pos == at && node.type == xml::kNodeError && node.error == xml::kIncorrect;
}

bool CXmlDoc::Remove(int rec) {
  const XmlRecord& r = m_index[rec];
  size_t start = static_cast<size_t>(r.start);
  size_t end = SkipSpaceToTag(start + static_cast<size_t>(r.length));
  // A bad tag stops before the next "<". When the element it stopped at goes and text follows, the
  // bad tag would run on and could swallow the markup after it: such a removal is refused.
  if (end < TextSize() && Text()[end] != '<') {
    int previous = PreviousSibling(rec);
    const XmlRecord& p = m_index[previous ? previous : r.parent];
    size_t from = previous ? static_cast<size_t>(p.start + p.length)
                           : static_cast<size_t>(p.start) + p.StartTagLength();
    if (BadNodeEndsAt(from, start)) return false;
  }
  Unlink(rec);
  ReleaseSubtree(rec);
  Splice(start, end - start, std::string(), 0);
  return true;
}

bool CXmlDoc::RemoveElement() {
  if (!m_current) return false;
  int previous = PreviousSibling(m_current);
  if (!Remove(m_current)) return false;
  m_current = previous;
  m_child = 0;
  return true;
}

bool CXmlDoc::RemoveChildElement() {
  if (!m_child) return false;
  int previous = PreviousSibling(m_child);
  if (!Remove(m_child)) return false;
  m_child = previous;
  return true;
}
