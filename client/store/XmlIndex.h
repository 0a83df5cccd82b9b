// CXmlIndex: the element records of one XML document, in segments of 65,536 records.
//
// A record gives an element's place in the document text and its links to parent, first child
// and siblings. Record 0 is the document itself; every real element has an index above 0. The
// upper 16 bits of an index select the segment and the lower 16 bits the slot. All segments but
// the last are full; growing the index adds a segment or enlarges the last one, so records never
// move between segments and full segments are never copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One element. The first child's previous-sibling field holds the last child instead.
struct XmlRecord {
  int32_t start;        // offset of the element's "<" in the text
  int32_t length;       // start tag through end tag
  uint32_t tagLengths;  // start-tag length in the low 22 bits, end-tag length in the high 10 bits
  int32_t levelFlags;   // nesting level in the low 16 bits (root element 0), flags above
  int32_t parent;
  int32_t firstChild;
  int32_t next;
  int32_t prev;

  static constexpr int32_t kReleased = 0x20000;
  static constexpr int32_t kFirstChild = 0x80000;
  static constexpr int32_t kNotEnded = 0x100000;
  static constexpr int32_t kBadContent = 0x200000;
  static constexpr int32_t kIllFormed = 0x800000;
  static constexpr int32_t kLevelMask = 0xFFFF;
  // Tags that do not fit these widths are never indexed.
  static constexpr uint32_t kStartTagLimit = 1u << 22;
  static constexpr uint32_t kEndTagLimit = 1u << 10;

  uint32_t StartTagLength() const { return tagLengths & (kStartTagLimit - 1); }
  uint32_t EndTagLength() const { return tagLengths >> 22; }
  void SetTagLengths(uint32_t startTag, uint32_t endTag) { tagLengths = startTag | (endTag << 22); }
  int Level() const { return levelFlags & kLevelMask; }
  // Levels deeper than the field can hold stay at its largest value.
  void SetLevel(int level) {
    levelFlags = (levelFlags & ~kLevelMask) | (level > kLevelMask ? kLevelMask : level);
  }
  bool Has(int32_t flag) const { return (levelFlags & flag) != 0; }
  void Set(int32_t flag) { levelFlags |= flag; }
  void Clear(int32_t flag) { levelFlags &= ~flag; }
};
static_assert(sizeof(XmlRecord) == 32, "an element record is 32 bytes");

class CXmlIndex {
 public:
  static constexpr int kSegmentBits = 16;
  static constexpr int kSegmentSize = 1 << kSegmentBits;

  CXmlIndex() = default;
  ~CXmlIndex();
  CXmlIndex(const CXmlIndex&) = delete;
  CXmlIndex& operator=(const CXmlIndex&) = delete;

  // Drops every record and starts again with room for `capacity` records and a cleared record 0
  // in use. Throws std::bad_alloc when memory runs out, as the standard containers do.
  void Reset(size_t capacity);

  // The record at `index`, which must be below Used().
  XmlRecord& operator[](int index) {
    return m_segments[index >> kSegmentBits].records[index & (kSegmentSize - 1)];
  }
  const XmlRecord& operator[](int index) const {
    return m_segments[index >> kSegmentBits].records[index & (kSegmentSize - 1)];
  }

  // Records in use, record 0 included; the next new record takes this index.
  int Used() const { return m_used; }
  // Whether one more record can be taken without the index running out of numbers.
  bool CanAdd() const { return m_used < kMaxRecords; }
  // Takes the next record (contents undefined). When the index is full its capacity becomes one
  // and a half times the records in use. Call only when CanAdd().
  int Add();

  // Gives back what the last segment holds beyond the records in use and a small reserve, so an
  // indexed document costs little more than 32 bytes per element.
  void Trim();

  // Records the index can hold before it grows, and the bytes its segments take.
  size_t Capacity() const { return m_capacity; }
  size_t AllocatedBytes() const;

  // Calls f(record) for every record in use from index 1 on, segment by segment.
  template <class F>
  void ForEachElement(F f) {
    int left = m_used;
    for (Segment& segment : m_segments) {
      int count = left < segment.size ? left : segment.size;
      XmlRecord* record = segment.records;
      XmlRecord* end = record + count;
      if (&segment == &m_segments[0]) ++record;
      for (; record < end; ++record) f(*record);
      left -= count;
      if (left <= 0) break;
    }
  }

 private:
  struct Segment {
    XmlRecord* records;
    int size;
  };
  static constexpr int kMaxRecords = 0x7FFFFFF0;
  static constexpr int kTrimReserve = 64;

  // Slots segment `segment` needs for the present capacity.
  int SegmentSizeFor(size_t segment) const;
  void Release();

  std::vector<Segment> m_segments;
  int m_used = 0;
  size_t m_capacity = 0;
};
