#include "client/store/XmlDoc.h"

CXmlDoc::CXmlDoc() { SetDocText(nullptr); }
CXmlDoc::~CXmlDoc() = default;
bool CXmlDoc::SetDocText(const char* text) {
  m_text = text ? text : "";
  m_error = m_text.empty() ? "Empty document" : "";
  return false;
}
