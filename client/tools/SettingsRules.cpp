#include "client/tools/SettingsRules.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

const char* const kIntervalTexts[kIntervalCount] = {"5秒",   "10秒",  "30秒",  "1分钟",
                                                    "2分钟", "5分钟", "10分钟"};
const char kSecondsUnit[] = "秒";
const char kMinutesUnit[] = "分钟";

const char* const kShutdownTypes[kShutdownTypeCount] = {"关机", "重启", "注销"};
// EWX_POWEROFF, EWX_REBOOT, EWX_LOGOFF.
const unsigned kShutdownTypeFlags[kShutdownTypeCount] = {8, 2, 0};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t length = std::strlen(suffix);
  return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// Reads the digits at text[*at] onwards into a number, capped at limit (at most INT_MAX, so that
// the next digit cannot overflow); advances *at.
long long ReadDigits(const std::string& text, size_t* at, long long limit) {
  long long value = 0;
  while (*at < text.size() && IsDigit(text[*at])) {
    value = value * 10 + (text[*at] - '0');
    if (value > limit) value = limit;
    ++*at;
  }
  return value;
}

// A run of 1 to maxDigits digits at *at with a value up to limit; advances *at past it.
bool ReadBoundedNumber(const std::string& text, size_t* at, size_t maxDigits, long long limit,
                       long long* value) {
  const size_t start = *at;
  *value = ReadDigits(text, at, INT_MAX);
  const size_t digits = *at - start;
  return digits >= 1 && digits <= maxDigits && *value <= limit;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// Days from 1601-01-01 to the date (proleptic Gregorian calendar).
int64_t DaysSince1601(int year, int month, int day) {
  const int64_t y = year - 1601;
  int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

}  // namespace

std::string IntervalText(int index) {
  if (index < 0 || index >= kIntervalCount) return std::string();
  return kIntervalTexts[index];
}

int IntervalIndexForDisplay(const std::string& display) {
  for (int i = 0; i < kIntervalCount; ++i) {
    if (std::strncmp(kIntervalTexts[i], display.c_str(), display.size()) == 0 &&
        std::strlen(kIntervalTexts[i]) >= display.size()) {
      return i;
    }
  }
  return -1;
}

int IntervalSeconds(const std::string& itemText) {
  if (itemText.empty()) return kDefaultRedialSeconds;
  size_t at = 0;
  const long long number = ReadDigits(itemText, &at, INT_MAX / 60);
  if (EndsWith(itemText, kSecondsUnit)) return static_cast<int>(number);
  if (EndsWith(itemText, kMinutesUnit)) return static_cast<int>(number * 60);
  return kDefaultRedialSeconds;
}

int RetryCountFromText(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  return static_cast<int>(ReadDigits(text, &at, INT_MAX));
}

int ReadDateTimeFields(const std::string& text, DateTime* out) {
  int* const fields[6] = {&out->year, &out->month, &out->day, &out->hour, &out->minute, &out->second};
  *out = DateTime();
  int count = 0;
  size_t at = 0;
  while (count < 6 && at < text.size()) {
    if (!IsDigit(text[at])) {
      ++at;
      continue;
    }
    // Capped far above every valid field, so that a long run of digits cannot overflow.
    *fields[count++] = static_cast<int>(ReadDigits(text, &at, 1000000));
  }
  return count;
}

bool IsValidDateTime(const DateTime& value) {
  if (value.year < 1601 || value.year > 9999 || value.month < 1 || value.month > 12) return false;
  if (value.day < 1 || value.day > DaysInMonth(value.year, value.month)) return false;
  return value.hour >= 0 && value.hour <= 23 && value.minute >= 0 && value.minute <= 59 &&
         value.second >= 0 && value.second <= 59;
}

bool ParseDateTime(const std::string& text, DateTime* out) {
  return ReadDateTimeFields(text, out) == 6 && IsValidDateTime(*out);
}

std::string DateTimeText(const DateTime& value) {
  char text[64];
  snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", value.year, value.month, value.day,
           value.hour, value.minute, value.second);
  return text;
}

int64_t DateTimeInstant(const DateTime& value) {
  return DaysSince1601(value.year, value.month, value.day) * 86400 + value.hour * 3600 + value.minute * 60 +
         value.second;
}

int CompareDateTimeText(const std::string& first, const std::string& second) {
  DateTime a, b;
  if (!ParseDateTime(first, &a) || !ParseDateTime(second, &b)) return -1;
  const int64_t x = DateTimeInstant(a);
  const int64_t y = DateTimeInstant(b);
  if (x < y) return 1;
  if (x > y) return 2;
  return 0;
}

std::string ShutdownTypeText(int index) {
  if (index < 0 || index >= kShutdownTypeCount) return std::string();
  return kShutdownTypes[index];
}

int ShutdownTypeIndex(const std::string& text) {
  for (int i = 0; i < kShutdownTypeCount; ++i) {
    if (text == kShutdownTypes[i]) return i;
  }
  return -1;
}

bool ShutdownFlags(const std::string& typeText, unsigned* flags) {
  const int index = ShutdownTypeIndex(typeText);
  if (index < 0) return false;
  *flags = kShutdownTypeFlags[index];
  return true;
}

bool ShutdownDue(int64_t shutdownAt, int64_t previousCheck, int64_t now) {
  return shutdownAt > previousCheck && shutdownAt <= now && now - shutdownAt < kShutdownLateToleranceSeconds;
}

const char kShutdownTimePassedText[] = "设置的关机时间早于当前时间！关机设置失败！";
const char kShutdownTypeInvalidText[] = "关机类型无效！请在列表中选择关机、重启或注销。";

const char* ProxyRefusalText(ProxyRefusal refusal) {
  switch (refusal) {
    case ProxyRefusal::kAddressBlank:
      return "IP地址不能为空！";
    case ProxyRefusal::kPortEmpty:
      return "端口号不能为空！";
    case ProxyRefusal::kPortRange:
      return "端口号取值范围为0~65535，请输入正确的端口号！";
    case ProxyRefusal::kNone:
      break;
  }
  return "";
}

std::string TrimBlanks(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

ProxyPlan PlanProxy(bool addressBlank, const std::string& addressText, const std::string& portText) {
  ProxyPlan plan;
  const std::string port = TrimBlanks(portText);
  if (addressBlank) {
    plan.refusal = ProxyRefusal::kAddressBlank;
  } else if (port.empty()) {
    plan.refusal = ProxyRefusal::kPortEmpty;
  } else {
    size_t at = 0;
    long long value = 0;
    // The edit takes five characters; digits only, so that "8o80" never reaches the settings.
    if (!ReadBoundedNumber(port, &at, port.size(), 65535, &value) || at != port.size()) {
      plan.refusal = ProxyRefusal::kPortRange;
    }
  }
  if (plan.refusal == ProxyRefusal::kNone) plan.text = TrimBlanks(addressText) + ":" + port;
  return plan;
}

bool ParseGlobalProxy(const std::string& text, uint32_t* address, int* port) {
  const std::string proxy = TrimBlanks(text);
  size_t at = 0;
  uint32_t packed = 0;
  for (int part = 0; part < 4; ++part) {
    long long value = 0;
    if (!ReadBoundedNumber(proxy, &at, 3, 255, &value)) return false;
    packed = (packed << 8) | static_cast<uint32_t>(value);
    const char separator = part < 3 ? '.' : ':';
    if (at >= proxy.size() || proxy[at] != separator) return false;
    ++at;
  }
  long long value = 0;
  if (!ReadBoundedNumber(proxy, &at, 5, 65535, &value) || at != proxy.size()) return false;
  *address = packed;
  *port = static_cast<int>(value);
  return true;
}
