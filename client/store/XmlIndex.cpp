#include "client/store/XmlIndex.h"

#include <cstdlib>
#include <cstring>
#include <new>

CXmlIndex::~CXmlIndex() {
  Release();
}

void CXmlIndex::Release() {
  for (Segment& segment : m_segments) std::free(segment.records);
  m_segments.clear();
  m_used = 0;
  m_capacity = 0;
}

void CXmlIndex::Reset(size_t capacity) {
  Release();
  m_capacity = capacity > 0 ? capacity : 1;
  std::memset(&(*this)[Add()], 0, sizeof(XmlRecord));
}

int CXmlIndex::SegmentSizeFor(size_t segment) const {
  size_t first = segment << kSegmentBits;
  size_t rest = m_capacity - first;
  return rest < static_cast<size_t>(kSegmentSize) ? static_cast<int>(rest) : kSegmentSize;
}

int CXmlIndex::Add() {
  if (static_cast<size_t>(m_used) >= m_capacity) {
    size_t grown = static_cast<size_t>(m_used) + m_used / 2;
    m_capacity = grown > static_cast<size_t>(m_used) ? grown : static_cast<size_t>(m_used) + 1;
  }
  int index = m_used;
  size_t segment = static_cast<size_t>(index) >> kSegmentBits;
  int slot = index & (kSegmentSize - 1);
  // Segments are allocated when their first record is taken, and the last one is enlarged only
  // when a record beyond its end is needed: a generous capacity costs address space, not memory.
  if (segment == m_segments.size()) {
    int size = SegmentSizeFor(segment);
    void* records = std::malloc(static_cast<size_t>(size) * sizeof(XmlRecord));
    if (!records) throw std::bad_alloc();
    m_segments.push_back(Segment{static_cast<XmlRecord*>(records), size});
  } else if (slot >= m_segments[segment].size) {
    int size = SegmentSizeFor(segment);
    void* records = std::realloc(m_segments[segment].records, static_cast<size_t>(size) * sizeof(XmlRecord));
    if (!records) throw std::bad_alloc();
    m_segments[segment] = Segment{static_cast<XmlRecord*>(records), size};
  }
  ++m_used;
  return index;
}

void CXmlIndex::Trim() {
  size_t target = static_cast<size_t>(m_used) + kTrimReserve;
  if (target >= m_capacity || m_segments.empty()) return;
  m_capacity = target;
  Segment& last = m_segments.back();
  int size = SegmentSizeFor(m_segments.size() - 1);
  if (size < last.size) {
    void* records = std::realloc(last.records, static_cast<size_t>(size) * sizeof(XmlRecord));
    // A failed shrink keeps the larger block, which stays valid.
    if (records) last = Segment{static_cast<XmlRecord*>(records), size};
  }
}

size_t CXmlIndex::AllocatedBytes() const {
  size_t bytes = m_segments.capacity() * sizeof(Segment);
  for (const Segment& segment : m_segments) bytes += static_cast<size_t>(segment.size) * sizeof(XmlRecord);
  return bytes;
}
