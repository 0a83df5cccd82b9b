#include "client/core/RedialPolicy.h"

namespace {

RedialOutcome AttemptOutcome(RedialAttempt attempt, unsigned error, bool* again) {
  *again = false;
  switch (attempt) {
    case RedialAttempt::kConnected:
      return RedialOutcome::kConnected;
    case RedialAttempt::kStopped:
      return RedialOutcome::kStopped;
    case RedialAttempt::kFailed:
      break;
  }
  // Redialling refused credentials can never succeed, and providers lock accounts that keep trying.
  if (error == kRefusedCredentialsError) return RedialOutcome::kRefused;
  *again = true;
  return RedialOutcome::kGaveUp;
}

RedialOutcome KeepConnected(IRedialHost& host) {
  unsigned pause = 0;
  for (;;) {
    if (host.StopRequested() || !host.Alwaysconnect()) return RedialOutcome::kStopped;
    unsigned error = 0;
    const RedialAttempt attempt = host.Dial(&error);
    bool again = false;
    const RedialOutcome outcome = AttemptOutcome(attempt, error, &again);
    if (!again) return outcome;
    // A provider that fails at once would otherwise be hammered without a break.
    pause = NextAlwaysPauseMs(pause);
    if (!host.Pause(pause)) return RedialOutcome::kStopped;
  }
}

RedialOutcome Reconnect(IRedialHost& host, int tries, int gapSeconds) {
  // A gap written into the file by hand may be any number: keep its milliseconds in range, and
  // never below a second, or a server that is down would be redialled in a tight loop.
  constexpr unsigned kLongestGapSeconds = 0xFFFFFFFFu / 1000u;
  const unsigned gapSeconds32 = gapSeconds > 1 ? static_cast<unsigned>(gapSeconds) : 1u;
  const unsigned gapMs = (gapSeconds32 < kLongestGapSeconds ? gapSeconds32 : kLongestGapSeconds) * 1000u;
  for (int left = tries; left >= 1; --left) {
    if (host.StopRequested()) return RedialOutcome::kStopped;
    if (!host.ReconnectCached()) continue;
    unsigned error = 0;
    const RedialAttempt attempt = host.Dial(&error);
    bool again = false;
    const RedialOutcome outcome = AttemptOutcome(attempt, error, &again);
    if (!again) return outcome;
    if (left > 1 && !host.Pause(gapMs)) return RedialOutcome::kStopped;
  }
  return RedialOutcome::kGaveUp;
}

}  // namespace

unsigned NextAlwaysPauseMs(unsigned previousMs) {
  if (previousMs == 0) return kFirstAlwaysPauseMs;
  if (previousMs >= kLongestAlwaysPauseMs / 2) return kLongestAlwaysPauseMs;
  return previousMs * 2;
}

RedialOutcome RunRedialPolicy(IRedialHost& host, const RedialSettings& settings) {
  if (settings.hungUp) return RedialOutcome::kNotRedialled;
  if (settings.alwaysconnect) return KeepConnected(host);
  if (settings.reconnect && settings.tries > 0) return Reconnect(host, settings.tries, settings.gapSeconds);
  return RedialOutcome::kNotRedialled;
}
