// What the client does after a connection ended without being asked to: the redial policy chosen
// with "Alwaysconnect", "Reconnect", "RedialTrytimes" and "RedialTimegrap". Portable: the dials, the
// pauses and the settings come through IRedialHost.
#pragma once

// The remote-access error of a user name or password that the provider refuses.
constexpr unsigned kRefusedCredentialsError = 691;

// The pause of "Alwaysconnect" after a failed attempt: 1 second, doubled after each further
// failure, never more than 60 seconds.
constexpr unsigned kFirstAlwaysPauseMs = 1000;
constexpr unsigned kLongestAlwaysPauseMs = 60000;

// The pause after the one that lasted previousMs (0: the first pause).
unsigned NextAlwaysPauseMs(unsigned previousMs);

// One redial attempt as the host made it.
enum class RedialAttempt {
  kConnected,
  kFailed,
  // Not dialled: the client is exiting, the user gave a command since the line dropped, or the
  // line is up again.
  kStopped,
};

class IRedialHost {
 public:
  virtual ~IRedialHost() = default;
  // The current "Alwaysconnect" setting, read from the configuration.
  virtual bool Alwaysconnect() = 0;
  // The "Reconnect" value the configuration keeps cached.
  virtual bool ReconnectCached() = 0;
  // Whether the loop must end before its next attempt or pause: the client is exiting, or the user
  // asked to disconnect since the line dropped.
  virtual bool StopRequested() = 0;
  // Dials once. On kFailed *error is the remote-access error code (0 when unknown).
  virtual RedialAttempt Dial(unsigned* error) = 0;
  // Waits milliseconds; false when the wait was cut short because the loop must end.
  virtual bool Pause(unsigned milliseconds) = 0;
};

// The settings at the moment the line dropped.
struct RedialSettings {
  // The hang-up flag: the client itself ended the connection.
  bool hungUp = false;
  bool alwaysconnect = false;
  bool reconnect = false;
  // The tries and gap (seconds) the last connect command read; negative values count as 0.
  int tries = 0;
  int gapSeconds = 0;
};

enum class RedialOutcome {
  kNotRedialled,  // no policy applies (hung up by the client, both settings off, no tries)
  kConnected,     // an attempt connected
  kGaveUp,        // every "Reconnect" try was used up
  kStopped,       // ended for the client's exit, the user's command or "Alwaysconnect" turned off
  kRefused,       // the provider refused the credentials (691); redialling cannot succeed
};

// Runs the policy:
// - hungUp: nothing.
// - "Alwaysconnect": attempts without limit, pausing NextAlwaysPauseMs between failures, until one
//   connects, the credentials are refused, StopRequested() holds or Alwaysconnect() turns off.
// - otherwise "Reconnect": up to tries attempts, gapSeconds apart after each failure but the last;
//   a try while ReconnectCached() is off passes without dialling or pausing. A gap below one second
//   (0, negative) counts as one second. Ends early when one
//   connects, the credentials are refused or StopRequested() holds.
RedialOutcome RunRedialPolicy(IRedialHost& host, const RedialSettings& settings);
