#include "client/messaging/Exception.h"

#include "common/TextCopy.h"

Exception::Exception(const char* text) {
  CopyText(m_text, sizeof(m_text), text);
}
