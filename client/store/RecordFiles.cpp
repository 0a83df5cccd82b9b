#include "client/store/RecordFiles.h"

#include <cstdio>
#include <vector>

#include "client/store/ProgramFolder.h"
#include "client/store/XmlDoc.h"

const char kRecordNormalEnd[] = "正常断开";
const char kRecordLostEnd[] = "非法断开";

namespace {

const char kDeclarationLine[] = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";
const char kRoot[] = "record";
const char kItem[] = "ITEM";

enum Field { kUser, kStartTime, kEndTime, kIp, kErrorCode, kSend, kRecv, kFieldCount };
const char* const kFieldNames[kFieldCount] = {"user",       "start_time", "end_time", "ip",
                                              "error_code", "send",       "recv"};

struct Record {
  std::string fields[kFieldCount];
};

std::string Text(const char* text) {
  return text ? std::string(text) : std::string();
}

bool LocalParts(std::time_t t, std::tm& parts) {
#ifdef _WIN32
  // The Windows runtime keeps localtime's result per thread.
  const std::tm* local = std::localtime(&t);
  if (!local) return false;
  parts = *local;
  return true;
#else
  return localtime_r(&t, &parts) != nullptr;
#endif
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool HasContent(const std::string& bytes) {
  return bytes.find_first_not_of(" \t\r\n") != std::string::npos;
}

void SetFields(CXmlDoc& doc, const Record& record) {
  for (int f = 0; f < kFieldCount; ++f) doc.SetAttribute(kFieldNames[f], record.fields[f].c_str());
}

Record ReadFields(const CXmlDoc& doc) {
  Record record;
  for (int f = 0; f < kFieldCount; ++f) record.fields[f] = doc.GetAttribute(kFieldNames[f]);
  return record;
}

// Every "ITEM" the index still holds: those inside each "record" first, then those the parser
// moved up to the document level when "record" was left open by a cut-off text.
std::vector<Record> SalvageRecords(CXmlDoc& doc) {
  std::vector<Record> records;
  while (doc.LeaveElement()) {
  }
  doc.RewindLevel();
  while (doc.FindElement(kRoot)) {
    if (!doc.EnterElement()) continue;
    while (doc.FindElement(kItem)) records.push_back(ReadFields(doc));
    doc.LeaveElement();
  }
  doc.RewindLevel();
  while (doc.FindElement(kItem)) records.push_back(ReadFields(doc));
  return records;
}

bool WriteFreshFile(const std::string& fileName, const std::vector<Record>& records) {
  CXmlDoc doc;
  doc.SetDocText(kDeclarationLine);
  doc.AddElement(kRoot);
  doc.EnterElement();
  for (const Record& record : records) {
    doc.AddElement(kItem);
    SetFields(doc, record);
  }
  doc.LeaveElement();
  return doc.SaveFile(fileName.c_str());
}

// The number of records of user and start time among records, the first of them left out: the
// ordinal of a record just put in front of them.
int OlderTwins(const std::vector<Record>& records, const Record& record) {
  int twins = 0;
  for (size_t i = 1; i < records.size(); ++i) {
    if (records[i].fields[kUser] == record.fields[kUser] &&
        records[i].fields[kStartTime] == record.fields[kStartTime]) {
      ++twins;
    }
  }
  return twins;
}

// The records of the root, in document order; false when the file is missing or not well formed.
bool ReadRecords(const std::string& fileName, std::vector<Record>* records) {
  CXmlDoc doc;
  if (fileName.empty() || !doc.LoadFile(fileName.c_str())) return false;
  if (!doc.FindElement(kRoot) || !doc.EnterElement()) return false;
  while (doc.FindElement(kItem)) records->push_back(ReadFields(doc));
  return true;
}

// Puts a record in front of the month file, creating the file when there is none. *ordinal (when
// given) receives its ordinal among the records of its user and start time.
bool WriteNewRecord(const std::string& fileName, const Record& record, int* ordinal = nullptr) {
  if (ordinal != nullptr) *ordinal = 0;
  if (fileName.empty()) return false;
  // A save cut short must not read as a missing file, which would start the month afresh.
  CXmlDoc::RecoverInterruptedSave(fileName.c_str());
  std::string bytes;
  FileRead read = ReadWholeFile(fileName, bytes);
  if (read == FileRead::kUnreadable) return false;
  if (read == FileRead::kMissing) return WriteFreshFile(fileName, {record});

  CXmlDoc doc;
  bool wellFormed = doc.LoadFile(fileName.c_str());
  if (wellFormed && doc.FindElement(kRoot) && doc.EnterElement()) {
    if (ordinal != nullptr) {
      std::vector<Record> records{record};
      while (doc.FindElement(kItem)) records.push_back(ReadFields(doc));
      *ordinal = OlderTwins(records, record);
      // Back before the first element of the level: the new record goes in front of them all.
      doc.RewindLevel();
    }
    doc.InsertElement(kItem);
    SetFields(doc, record);
    doc.LeaveElement();
    return doc.SaveFile(fileName.c_str());
  }

  // Writing into the damaged text as it was indexed would leave the records of a cut-off
  // "record" outside the root, where no reader finds them, and the file still unreadable to the
  // record query. Rebuild it from what can be read, keeping the damaged bytes aside.
  std::vector<Record> records{record};
  std::vector<Record> salvaged = SalvageRecords(doc);
  records.insert(records.end(), salvaged.begin(), salvaged.end());
  if (ordinal != nullptr) *ordinal = OlderTwins(records, record);
  if (HasContent(bytes) && !KeepDamagedCopy(fileName, bytes)) return false;
  return WriteFreshFile(fileName, records);
}

// Finds the record to complete in one month file and completes it. With a set id, the record of
// that user, start time and ordinal (counted from the oldest), if it is open; otherwise the first
// record, if it is open.
bool CompleteRecord(const std::string& fileName, const ConnectionRecordId& id, const std::string& endTime,
                    ConnectionEnd end, const char* sent, const char* received) {
  if (fileName.empty()) return false;
  CXmlDoc doc;
  if (!doc.LoadFile(fileName.c_str())) return false;
  if (!doc.FindElement(kRoot) || !doc.EnterElement()) return false;
  int target = 0;
  if (id.IsSet()) {
    // Position (from the top, among the records of that user and second) of the one that is
    // id.ordinal from the bottom.
    int twins = 0;
    while (doc.FindElement(kItem)) {
      if (doc.GetAttribute(kFieldNames[kUser]) == id.user &&
          doc.GetAttribute(kFieldNames[kStartTime]) == id.startTime) {
        ++twins;
      }
    }
    target = twins - 1 - id.ordinal;
    if (id.ordinal < 0 || target < 0) return false;
    doc.RewindLevel();
  }
  bool found = false;
  int seen = 0;
  while (!found && doc.FindElement(kItem)) {
    if (!id.IsSet()) {
      if (!doc.GetAttribute(kFieldNames[kEndTime]).empty()) return false;
      found = true;
    } else if (doc.GetAttribute(kFieldNames[kUser]) == id.user &&
               doc.GetAttribute(kFieldNames[kStartTime]) == id.startTime) {
      if (seen++ == target) {
        // An already closed record is never written over.
        if (!doc.GetAttribute(kFieldNames[kEndTime]).empty()) return false;
        found = true;
      }
    }
  }
  if (!found) return false;
  doc.SetAttribute(kFieldNames[kEndTime], endTime.c_str());
  doc.SetAttribute(kFieldNames[kErrorCode],
                   end == ConnectionEnd::kNormal ? kRecordNormalEnd : kRecordLostEnd);
  if (end == ConnectionEnd::kNormal) {
    doc.SetAttribute(kFieldNames[kSend], Text(sent).c_str());
    doc.SetAttribute(kFieldNames[kRecv], Text(received).c_str());
  }
  doc.LeaveElement();
  return doc.SaveFile(fileName.c_str());
}

// The newest open record of ip in one month file; its ordinal counted among the records of its
// user and second below it.
bool FindOpenByIp(const std::string& fileName, const std::string& ip, ConnectionRecordId* id) {
  std::vector<Record> records;
  if (!ReadRecords(fileName, &records)) return false;
  for (size_t i = 0; i < records.size(); ++i) {
    const Record& record = records[i];
    if (record.fields[kIp] != ip || !record.fields[kEndTime].empty()) continue;
    int twins = 0;
    for (size_t k = i + 1; k < records.size(); ++k) {
      if (records[k].fields[kUser] == record.fields[kUser] &&
          records[k].fields[kStartTime] == record.fields[kStartTime]) {
        ++twins;
      }
    }
    id->user = record.fields[kUser];
    id->startTime = record.fields[kStartTime];
    id->ordinal = twins;
    return true;
  }
  return false;
}

}  // namespace

std::string FormatLocalTime(std::time_t t) {
  std::tm parts;
  if (!LocalParts(t, parts)) return std::string();
  char text[64];
  if (std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &parts) == 0) return std::string();
  return text;
}

std::string MonthFileName(const std::string& recordFolder, int year, int month) {
  char name[64];
  std::snprintf(name, sizeof(name), "%d-%02d.xml", year, month);
  return recordFolder + kPathSeparator + name;
}

std::string MonthFileName(const std::string& recordFolder, std::time_t t) {
  std::tm parts;
  if (!LocalParts(t, parts)) return std::string();
  return MonthFileName(recordFolder, parts.tm_year + 1900, parts.tm_mon + 1);
}

std::string MonthFileNameOfTimeText(const std::string& recordFolder, const char* timeText) {
  // Only digits reach the file name, so no text can point it outside the record folder.
  std::string text = Text(timeText);
  if (text.size() < 7 || text[4] != '-') return std::string();
  for (int i : {0, 1, 2, 3, 5, 6}) {
    if (!IsDigit(text[i])) return std::string();
  }
  int year = std::stoi(text.substr(0, 4));
  int month = std::stoi(text.substr(5, 2));
  if (month < 1 || month > 12) return std::string();
  return MonthFileName(recordFolder, year, month);
}

std::string FailedAttemptText(unsigned errorCode) {
  char text[64];
  std::snprintf(text, sizeof(text), "连接失败(%u)", errorCode);
  return text;
}

ConnectionRecordId OpenConnectionRecord(const std::string& recordFolder, std::time_t now, const char* user,
                                        const char* ip) {
  ConnectionRecordId id;
  id.user = Text(user);
  id.startTime = FormatLocalTime(now);
  Record record;
  record.fields[kUser] = id.user;
  record.fields[kStartTime] = id.startTime;
  record.fields[kIp] = Text(ip);
  WriteNewRecord(MonthFileName(recordFolder, now), record, &id.ordinal);
  return id;
}

bool RecordFailedAttempt(const std::string& recordFolder, std::time_t now, const char* user, const char* ip,
                         unsigned errorCode) {
  Record record;
  record.fields[kUser] = Text(user);
  record.fields[kStartTime] = FormatLocalTime(now);
  record.fields[kEndTime] = record.fields[kStartTime];
  record.fields[kIp] = Text(ip);
  record.fields[kErrorCode] = FailedAttemptText(errorCode);
  return WriteNewRecord(MonthFileName(recordFolder, now), record);
}

bool RecordFailedAttempt(const char* user, const char* ip, unsigned errorCode) {
  return RecordFailedAttempt(RecordFolder(), std::time(nullptr), user, ip, errorCode);
}

bool FindOpenRecordByIp(const std::string& recordFolder, std::time_t now, const char* ip,
                        ConnectionRecordId* id) {
  const std::string address = Text(ip);
  if (address.empty() || id == nullptr) return false;
  std::tm parts;
  if (!LocalParts(now, parts)) return false;
  const int year = parts.tm_year + 1900;
  const int month = parts.tm_mon + 1;
  if (FindOpenByIp(MonthFileName(recordFolder, year, month), address, id)) return true;
  return FindOpenByIp(
      month == 1 ? MonthFileName(recordFolder, year - 1, 12) : MonthFileName(recordFolder, year, month - 1),
      address, id);
}

bool FindOpenRecordByIp(const char* ip, ConnectionRecordId* id) {
  return FindOpenRecordByIp(RecordFolder(), std::time(nullptr), ip, id);
}

ConnectionRecordId OpenConnectionRecord(const char* user, const char* ip) {
  return OpenConnectionRecord(RecordFolder(), std::time(nullptr), user, ip);
}

bool CloseConnectionRecord(const std::string& recordFolder, std::time_t now, ConnectionEnd end,
                           const char* sent, const char* received, const ConnectionRecordId& id) {
  std::string endTime = FormatLocalTime(now);
  std::string endFile = MonthFileName(recordFolder, now);
  if (CompleteRecord(endFile, id, endTime, end, sent, received)) return true;
  if (!id.IsSet()) return false;
  std::string startFile = MonthFileNameOfTimeText(recordFolder, id.startTime.c_str());
  if (startFile == endFile) return false;
  return CompleteRecord(startFile, id, endTime, end, sent, received);
}

bool CloseConnectionRecord(ConnectionEnd end, const char* sent, const char* received,
                           const ConnectionRecordId& id) {
  return CloseConnectionRecord(RecordFolder(), std::time(nullptr), end, sent, received, id);
}

bool AddRecordByHand(const std::string& recordFolder, const char* user, const char* startTime,
                     const char* endTime, const char* ip, const char* sent, const char* received) {
  std::string fileName = MonthFileNameOfTimeText(recordFolder, startTime);
  if (fileName.empty()) return false;
  Record record;
  record.fields[kUser] = Text(user);
  record.fields[kStartTime] = Text(startTime);
  record.fields[kEndTime] = Text(endTime);
  record.fields[kIp] = Text(ip);
  record.fields[kErrorCode] = kRecordNormalEnd;
  record.fields[kSend] = Text(sent);
  record.fields[kRecv] = Text(received);
  return WriteNewRecord(fileName, record);
}

bool AddRecordByHand(const char* user, const char* startTime, const char* endTime, const char* ip,
                     const char* sent, const char* received) {
  return AddRecordByHand(RecordFolder(), user, startTime, endTime, ip, sent, received);
}
