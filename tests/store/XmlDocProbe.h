// CXmlDocProbe: the tests' view of a document's index.
//
// Dump() writes the element tree in document order, one element per line: depth, offsets, tag
// lengths, whether it is ended, its start tag. Check() verifies what must hold after any sequence
// of operations: links agree with each other, the levels with the depth, every element lies inside
// its parent and after its previous sibling, every record is either in the tree or released, and
// the cursor points into the tree. SameAsFreshIndex() is the oracle: indexing the document's text
// afresh must give the tree that the edits left.
#pragma once

#include <string>
#include <vector>

#include "client/store/XmlDoc.h"
#include "client/store/XmlText.h"

class CXmlDocProbe {
 public:
  static std::string Dump(const CXmlDoc& doc) {
    std::string out;
    Walk(doc, [&](int rec, int depth) {
      const XmlRecord& r = doc.m_index[rec];
      out += std::to_string(depth) + " " + std::to_string(r.start) + "+" + std::to_string(r.length) + " [" +
             std::to_string(r.StartTagLength()) + "," + std::to_string(r.EndTagLength()) + "]" +
             (r.Has(XmlRecord::kNotEnded) ? " open " : " ") +
             std::string(doc.Text() + r.start, r.StartTagLength()) + "\n";
      return true;
    });
    return out;
  }

  // The element names with their nesting: "r(a b(c)) d".
  static std::string Outline(const CXmlDoc& doc) {
    std::string out;
    int previous = -1;
    Walk(doc, [&](int rec, int depth) {
      if (depth > previous && previous >= 0) out += "(";
      for (int d = previous; d > depth; --d) out += ")";
      if (depth <= previous) out += " ";
      const char* text = doc.Text();
      const XmlRecord& r = doc.m_index[rec];
      const char* name = text + r.start + 1;
      out.append(name, xml::TagNameEnd(name, text + r.start + r.StartTagLength()));
      previous = depth;
      return true;
    });
    for (int d = previous; d > 0; --d) out += ")";
    return out;
  }

  // Empty when everything holds, else what is wrong.
  static std::string Check(const CXmlDoc& doc) {
    const CXmlIndex& index = doc.m_index;
    const std::string text(doc.Text(), doc.TextSize());
    const XmlRecord& root = index[0];
    if (root.start != 0 || static_cast<size_t>(root.length) != text.size())
      return "record 0 does not span the text";
    std::string problem;
    int reached = 0;
    std::vector<bool> inTree(static_cast<size_t>(index.Used()), false);
    Walk(doc, [&](int rec, int depth) {
      const XmlRecord& r = index[rec];
      const XmlRecord& p = index[r.parent];
      std::string at = "element " + std::to_string(rec) + ": ";
      ++reached;
      inTree[static_cast<size_t>(rec)] = true;
      if (r.Has(XmlRecord::kReleased)) problem = at + "released but linked";
      int expectedLevel = depth > 0xFFFF ? 0xFFFF : depth;
      if (r.Level() != expectedLevel) problem = at + "level " + std::to_string(r.Level());
      bool first = p.firstChild == rec;
      if (first != r.Has(XmlRecord::kFirstChild)) problem = at + "first-child flag wrong";
      if (first) {
        int last = rec;
        while (index[last].next) last = index[last].next;
        if (r.prev != last) problem = at + "last-child pointer wrong";
      } else if (index[r.prev].next != rec) {
        problem = at + "previous sibling does not lead here";
      } else {
        const XmlRecord& before = index[r.prev];
        if (before.start + before.length > r.start) problem = at + "overlaps its previous sibling";
      }
      size_t start = static_cast<size_t>(r.start);
      size_t end = start + static_cast<size_t>(r.length);
      size_t parentContentEnd = static_cast<size_t>(p.start + p.length) - p.EndTagLength();
      if (r.start < p.start + static_cast<int>(p.StartTagLength()) || end > parentContentEnd ||
          end > text.size()) {
        problem = at + "outside its parent";
        return false;
      }
      if (r.StartTagLength() + r.EndTagLength() > static_cast<uint32_t>(r.length) || r.StartTagLength() < 3 ||
          text[start] != '<' || text[start + r.StartTagLength() - 1] != '>') {
        problem = at + "start tag does not fit";
        return false;
      }
      if (r.EndTagLength() && text.compare(end - r.EndTagLength(), 2, "</") != 0)
        problem = at + "end tag missing";
      if (r.Has(XmlRecord::kNotEnded) && (r.EndTagLength() || r.firstChild))
        problem = at + "not ended but closed";
      return problem.empty();
    });
    if (!problem.empty()) return problem;
    int released = 0;
    for (int i = 1; i < index.Used(); ++i) {
      bool isReleased = index[i].Has(XmlRecord::kReleased);
      if (isReleased) ++released;
      if (!isReleased && !inTree[static_cast<size_t>(i)]) return "record " + std::to_string(i) + " lost";
    }
    if (reached + released != index.Used() - 1) return "records counted twice";
    for (int rec = doc.m_released; rec; rec = index[rec].next) {
      if (!index[rec].Has(XmlRecord::kReleased)) return "released list holds a live record";
      if (--released < 0) return "released list loops";
    }
    auto live = [&](int rec) { return rec == 0 || (rec < index.Used() && inTree[static_cast<size_t>(rec)]); };
    if (!live(doc.m_parent) || !live(doc.m_current) || !live(doc.m_child)) return "cursor on a dead record";
    if (doc.m_current && index[doc.m_current].parent != doc.m_parent)
      return "current is not under the parent";
    if (doc.m_child && (!doc.m_current || index[doc.m_child].parent != doc.m_current)) {
      return "child is not under the current element";
    }
    return std::string();
  }

  // Empty when a fresh document indexes the same text into the same tree, else both trees.
  static std::string SameAsFreshIndex(const CXmlDoc& doc) {
    CXmlDoc fresh;
    fresh.SetDocText(std::string(doc.Text(), doc.TextSize()).c_str());
    std::string edited = Dump(doc);
    std::string indexed = Dump(fresh);
    if (edited == indexed) return std::string();
    return "edited:\n" + edited + "indexed afresh:\n" + indexed;
  }

  // The engine's text as it stands, without closing the room in front of it.
  static std::string Text(const CXmlDoc& doc) { return std::string(doc.Text(), doc.TextSize()); }
  // Where the current element begins in the text; -1 when there is none.
  static int CurrentStart(const CXmlDoc& doc) {
    return doc.m_current ? doc.m_index[doc.m_current].start : -1;
  }
  struct Cursor {
    int parent, current, child;
  };
  static Cursor SaveCursor(const CXmlDoc& doc) { return Cursor{doc.m_parent, doc.m_current, doc.m_child}; }
  static void RestoreCursor(CXmlDoc& doc, const Cursor& cursor) {
    doc.m_parent = cursor.parent;
    doc.m_current = cursor.current;
    doc.m_child = cursor.child;
  }

  static size_t ElementCount(const CXmlDoc& doc) {
    size_t count = 0;
    Walk(doc, [&](int, int) { return ++count > 0; });
    return count;
  }
  static int Level(const CXmlDoc& doc, int rec) { return doc.m_index[rec].Level(); }
  static int Current(const CXmlDoc& doc) { return doc.m_current; }
  static size_t IndexCapacity(const CXmlDoc& doc) { return doc.m_index.Capacity(); }
  static size_t IndexBytes(const CXmlDoc& doc) { return doc.m_index.AllocatedBytes(); }
  static int RecordsInUse(const CXmlDoc& doc) { return doc.m_index.Used(); }

 private:
  // Calls visit(record, depth) for every element in document order, without recursion; a visit
  // that returns false stops the walk.
  template <class F>
  static void Walk(const CXmlDoc& doc, F visit) {
    const CXmlIndex& index = doc.m_index;
    int x = index[0].firstChild;
    int depth = 0;
    long long steps = 0;
    const long long limit = 4LL * index.Used() + 16;
    while (x) {
      if (++steps > limit || !visit(x, depth)) return;
      if (index[x].firstChild) {
        x = index[x].firstChild;
        ++depth;
        continue;
      }
      while (x && !index[x].next) {
        x = index[x].parent;
        --depth;
      }
      if (x) x = index[x].next;
    }
  }
};
