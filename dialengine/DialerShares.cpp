#include "dialengine/DialerShares.h"

#include <map>
#include <mutex>

#include "dialengine/Dial.h"

namespace {

std::mutex& SharesLock() {
  static std::mutex lock;
  return lock;
}

std::map<CDial*, int>& Holders() {
  static std::map<CDial*, int> holders;
  return holders;
}

}  // namespace

void AdoptDialer(CDial* dialer) {
  if (dialer == nullptr) return;
  std::lock_guard<std::mutex> guard(SharesLock());
  Holders()[dialer] = 1;
}

void ShareDialer(CDial* dialer) {
  if (dialer == nullptr) return;
  std::lock_guard<std::mutex> guard(SharesLock());
  ++Holders()[dialer];
}

void ReleaseDialer(CDial* dialer) {
  if (dialer == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(SharesLock());
    auto holder = Holders().find(dialer);
    if (holder != Holders().end() && --holder->second > 0) return;
    if (holder != Holders().end()) Holders().erase(holder);
  }
  delete dialer;
}
