#include "client/messaging/Exception.h"

#include "client/store/TextCopy.h"

Exception::Exception(const char* text) {
  CopyText(m_text, sizeof(m_text), text);
}
