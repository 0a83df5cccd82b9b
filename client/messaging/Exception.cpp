#include "client/messaging/Exception.h"

#include "client/messaging/MessageWire.h"

Exception::Exception(const char* text) {
  CopyTextBounded(m_text, sizeof(m_text), text);
}
