#include "client/messaging/MessageQueue.h"

CMessageQueue& ReceivedMessages() {
  static CMessageQueue queue;
  return queue;
}
