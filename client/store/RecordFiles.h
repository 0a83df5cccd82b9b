// The dial record files: one XML file per calendar month in the record folder, named
// "<year>-<two-digit month>.xml", GB2312, CR LF line ends. Each holds the root "record" with one
// empty "ITEM" per connection, newest first, carrying "user", "start_time", "end_time", "ip",
// "error_code", "send" and "recv" in that order. A record whose "end_time" is empty is open.
//
// Every operation works on a document of its own for the duration of the call. Each has a form
// that takes the record folder (without trailing separator) and the clock, and one that uses
// RecordFolder() and the current time. Times are local times written "%Y-%m-%d %H:%M:%S".
// Null text arguments count as empty texts.
//
// Failures are silent towards the user: a missing record folder or a file that cannot be written
// loses the write, and the functions report it only by their result.
//
// A month file that exists but is not well formed, or has no "record" root, is rebuilt when a new
// record goes into it: every "ITEM" that can still be read is kept, in order, behind the new one,
// and the damaged text (unless it held only blanks) is first kept as a numbered copy beside the
// file (".damaged", ".damaged.1", ..., see KeepDamagedCopy); when that copy cannot be written,
// nothing is written. What a save cut short left beside a month file is put right before it is
// read (see CXmlDoc::RecoverInterruptedSave).
#pragma once

#include <ctime>
#include <string>

// The error_code texts of a closed record.
extern const char kRecordNormalEnd[];  // "正常断开"
extern const char kRecordLostEnd[];    // "非法断开"

// What identifies the record OpenConnectionRecord wrote: its user, its start time (and so its
// month file), and which of the records of that user and second it is, counted from the oldest
// (0 for the first). New records go in front of a file, so they never change that count of the
// records below them: the identity stays unique however many connections start in one second.
// Returned even when the file could not be written, so that closing it later finds nothing rather
// than completing another record.
struct ConnectionRecordId {
  std::string user;
  std::string startTime;
  int ordinal = 0;
  bool IsSet() const { return !startTime.empty(); }
};

// The error_code text of a dial attempt that failed with the remote-access error code:
// "连接失败(N)".
std::string FailedAttemptText(unsigned errorCode);

enum class ConnectionEnd { kNormal, kLost };

// "%Y-%m-%d %H:%M:%S" of t in local time; empty when t cannot be converted.
std::string FormatLocalTime(std::time_t t);

// recordFolder + separator + year + "-" + month as two digits + ".xml".
std::string MonthFileName(const std::string& recordFolder, int year, int month);
// The month file of t in local time; empty when t cannot be converted.
std::string MonthFileName(const std::string& recordFolder, std::time_t t);
// The month file of a time text, read from its first seven characters "YYYY-MM". Empty when the
// text does not begin that way or the month is not 1 to 12.
std::string MonthFileNameOfTimeText(const std::string& recordFolder, const char* timeText);

// Writes a new open record (start time = now, end fields empty) in front of the month file of
// now, creating the file when it does not exist.
ConnectionRecordId OpenConnectionRecord(const std::string& recordFolder, std::time_t now, const char* user,
                                        const char* ip);
ConnectionRecordId OpenConnectionRecord(const char* user, const char* ip);

// Writes the record of a dial attempt that failed, closed at once: start and end time now,
// "error_code" FailedAttemptText(errorCode), "send" and "recv" empty. It is never open, so nothing
// later completes it. False when the file cannot be written.
bool RecordFailedAttempt(const std::string& recordFolder, std::time_t now, const char* user, const char* ip,
                         unsigned errorCode);
bool RecordFailedAttempt(const char* user, const char* ip, unsigned errorCode);

// The newest open record whose "ip" is ip (not empty), looked for in the month file of now and then
// in the one before; false (id untouched) when there is none.
bool FindOpenRecordByIp(const std::string& recordFolder, std::time_t now, const char* ip,
                        ConnectionRecordId* id);
bool FindOpenRecordByIp(const char* ip, ConnectionRecordId* id);

// Completes a record: "end_time" = now, "error_code" = kRecordNormalEnd or kRecordLostEnd, and
// for a normal end "send" and "recv" = sent and received (callers format the counts; empty when
// unknown). A lost end leaves "send" and "recv" as they are.
// - With an identity: that record (user, start time and ordinal), when it is open, looked for in
//   the month file of now and then in the month file of its start time.
// - Without one (id not set): the first "ITEM" of the month file of now.
// Never writes into a record whose "end_time" is set, nor into a month file that is missing or
// not well formed. Returns true when a record was completed and saved.
bool CloseConnectionRecord(const std::string& recordFolder, std::time_t now, ConnectionEnd end,
                           const char* sent, const char* received,
                           const ConnectionRecordId& id = ConnectionRecordId());
bool CloseConnectionRecord(ConnectionEnd end, const char* sent, const char* received,
                           const ConnectionRecordId& id = ConnectionRecordId());

// Writes a closed record with "error_code" kRecordNormalEnd in front of the month file of its
// start time text. False (nothing written) when startTime does not begin with "YYYY-MM" (see
// MonthFileNameOfTimeText) or the file cannot be written.
bool AddRecordByHand(const std::string& recordFolder, const char* user, const char* startTime,
                     const char* endTime, const char* ip, const char* sent, const char* received);
bool AddRecordByHand(const char* user, const char* startTime, const char* endTime, const char* ip,
                     const char* sent, const char* received);
