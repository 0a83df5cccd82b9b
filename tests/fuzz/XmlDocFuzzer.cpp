// Feeds arbitrary bytes to the XML engine: the index must stay sound, every element must be
// reachable through the cursor, every read must agree with the reference reader of the text, and
// after each edit the index must equal the index of the edited text built afresh and the reads
// must agree again. The byte-valued UTF-8 conversion must round-trip any bytes.
//
// Input: the first byte gives the number of steps (low 4 bits), two bytes per step follow, and
// the rest is the document text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/store/XmlDoc.h"
#include "client/store/XmlText.h"
#include "tests/store/XmlDocProbe.h"
#include "tests/store/XmlEditScript.h"
#include "tests/store/XmlReference.h"

namespace {

void Require(const std::string& problem, const std::string& text) {
  if (problem.empty()) return;
  std::fprintf(stderr, "%s\ntext: %s\n", problem.c_str(), text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t steps = size ? data[0] % 16 : 0;
  size_t script = size ? 1 + 2 * steps : 0;
  if (script > size) {
    steps = (size - 1) / 2;
    script = 1 + 2 * steps;
  }
  std::string text(reinterpret_cast<const char*>(data) + script, size - script);

  CXmlDoc doc;
  doc.SetDocText(text.c_str());
  Require(CXmlDocProbe::Check(doc), text);
  Require(xmlref::CompareReads(doc, static_cast<uint32_t>(size)), text);
  if (xmlscript::WalkAll(doc) != CXmlDocProbe::ElementCount(doc)) Require("walk missed elements", text);
  for (size_t i = 0; i < steps; ++i) {
    if (!xmlscript::Step(doc, data[1 + 2 * i], data[2 + 2 * i])) continue;
    Require(CXmlDocProbe::Check(doc), text);
    Require(CXmlDocProbe::SameAsFreshIndex(doc), text);
    Require(xmlref::CompareReads(doc, static_cast<uint32_t>(i)), text);
  }

  std::string utf8 = xml::BytesToUtf8(text.data(), text.size());
  if (xml::Utf8ToBytes(utf8.data(), utf8.size()) != text) Require("UTF-8 round trip changed the bytes", text);
  std::string decoded = xml::Utf8ToBytes(text.data(), text.size());
  CXmlDoc loaded;
  loaded.SetDocText(decoded.c_str());
  Require(CXmlDocProbe::Check(loaded), decoded);
  return 0;
}
