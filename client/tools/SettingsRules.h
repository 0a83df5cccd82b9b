// What the settings pages and the timed shutdown decide: the redial interval list and its seconds,
// the retry count, the shutdown time as text and as an instant, the shutdown types, and the checks
// and texts of the connection proxy. Portable: no Windows header; clock values come in as
// parameters.
#pragma once

#include <cstdint>
#include <string>

// The redial interval list: seven texts, in list order ("5秒" ... "10分钟").
constexpr int kIntervalCount = 7;
// The text of item index; empty when out of range.
std::string IntervalText(int index);
// The first item whose text begins with display (as the configuration gives the stored gap for
// display, "5秒" or "1分钟"); -1 when none does.
int IntervalIndexForDisplay(const std::string& display);
// The seconds an item text stands for: the number before "秒", or the number before "分钟" times 60.
// An empty text (no item selected) stands for the default gap.
constexpr int kDefaultRedialSeconds = 5;
int IntervalSeconds(const std::string& itemText);
// The retry count shown while redial is off.
constexpr int kDefaultRetryCount = 100;
// The retry edit's text as a decimal number: leading blanks skipped, the leading digits read
// (saturating at the largest int); 0 when there are none.
int RetryCountFromText(const std::string& text);

// A local date and time, to the second.
struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Reads the numbers of a date-and-time text in the order year, month, day, hour, minute, second,
// each run of decimal digits one number and everything else a separator. Fields not present stay
// 0. Returns how many were read (0 to 6). This reads the stored form ("2009-06-03 14:30:00") as
// well as what the pickers of a year-month-day locale show ("2009-6-3 14:30:00").
int ReadDateTimeFields(const std::string& text, DateTime* out);
// True when the value is a real date (years 1601 to 9999) and time of day.
bool IsValidDateTime(const DateTime& value);
// All six fields read and valid.
bool ParseDateTime(const std::string& text, DateTime* out);
// The one stored form: "%Y-%m-%d %H:%M:%S".
std::string DateTimeText(const DateTime& value);
// Seconds from 1601-01-01 00:00:00 to the value, both local; only for valid values.
int64_t DateTimeInstant(const DateTime& value);
// Compares two date-and-time texts as instants: 1 when first is earlier, 2 when it is later, 0
// when both are the same second, -1 when either cannot be read.
int CompareDateTimeText(const std::string& first, const std::string& second);

// The shutdown types, in list order: "关机" (power off), "重启" (restart), "注销" (log off).
constexpr int kShutdownTypeCount = 3;
std::string ShutdownTypeText(int index);
// The index of the type with exactly that text; -1 for any other text.
int ShutdownTypeIndex(const std::string& text);
// The ExitWindowsEx flags of a type text (8, 2, 0); false for a text that is no type.
bool ShutdownFlags(const std::string& typeText, unsigned* flags);
// A pending shutdown falls due at the check made at now when its instant lies after the previous
// check and not after now, and is less than a minute old: a check that comes a few seconds late
// still finds it, a time passed while no check ran (before the start, across a sleep of the
// machine) never does, and it falls due at one check only.
constexpr int64_t kShutdownLateToleranceSeconds = 60;
bool ShutdownDue(int64_t shutdownAt, int64_t previousCheck, int64_t now);

// The messages of the shutdown page (caption "提示", stop icon).
extern const char kShutdownTimePassedText[];
extern const char kShutdownTypeInvalidText[];

// The connection proxy: why a save of the proxy page is refused, and the text it sets.
enum class ProxyRefusal { kNone, kAddressBlank, kPortEmpty, kPortRange };
// The message of a refusal (caption "提示", information icon); empty for kNone.
const char* ProxyRefusalText(ProxyRefusal refusal);
// The text without blanks (spaces and tabs) at either end.
std::string TrimBlanks(const std::string& text);
struct ProxyPlan {
  ProxyRefusal refusal = ProxyRefusal::kNone;
  // The address, ":" and the port text as typed, each trimmed ("10.0.0.1:080").
  std::string text;
};
// Checks the page's input in order: a blank address, an empty port, a port that is not a number
// from 0 to 65535 (digits only).
ProxyPlan PlanProxy(bool addressBlank, const std::string& addressText, const std::string& portText);
// Reads a process-wide proxy string of the form a.b.c.d:port (each of a to d from 0 to 255, the
// port from 0 to 65535, decimal digits only, blanks at either end allowed). The address comes
// packed with a in the highest byte. False for anything else (a host name, a per-protocol list),
// which the page shows as no proxy.
bool ParseGlobalProxy(const std::string& text, uint32_t* address, int* port);
