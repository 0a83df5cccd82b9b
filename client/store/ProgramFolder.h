// Where the client keeps its files: beside the program, in the data folder "data" and in the
// record folder "data" + separator + "record".
//
// Paths use kPathSeparator: a backslash on Windows, '/' elsewhere (where the portable code and its
// tests run natively).
#pragma once

#include <string>

extern const char kPathSeparator;

// The folder of the running program with its trailing separator: the program's full path cut
// after its last separator. Empty when the platform does not tell the path.
std::string ProgramFolder();

// The data folder and the record folder under a program folder given with its trailing separator
// (as ProgramFolder() returns it). Neither result ends with a separator.
std::string DataFolder(const std::string& programFolder);
std::string RecordFolder(const std::string& programFolder);
// The same under ProgramFolder().
std::string DataFolder();
std::string RecordFolder();

// Creates one folder; its parent must exist. True when the folder exists afterwards (also when it
// existed before).
bool MakeFolder(const std::string& path);
// Creates the data folder and the record folder under a program folder, as each dial and the
// record query need them. True when the record folder exists afterwards.
bool MakeRecordFolder(const std::string& programFolder);

// How ReadWholeFile ended.
enum class FileRead { kRead, kMissing, kUnreadable };

// Reads a file whole, byte for byte. kMissing when there is no file at the path, kUnreadable when
// one exists but cannot be read; bytes is empty then.
FileRead ReadWholeFile(const std::string& path, std::string& bytes);
// Writes bytes as the whole file, replacing any file there, and puts them on the disk. False
// when it cannot be created or fully written.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Appended to a file's name for the copies of its bytes that are kept before a damaged file (one
// that does not parse) is rebuilt: "<path>.damaged", then "<path>.damaged.1" to ".damaged.9".
extern const char kDamagedSuffix[];
constexpr int kDamagedCopies = 10;
// The name of copy `number` (0 to 9) of the file at path.
std::string DamagedCopyName(const std::string& path, int number);
// Keeps the bytes of a damaged file as a new copy, numbered after the copies kept before, so that
// no copy is ever written over. When all ten names are taken the oldest copy goes and the others
// move down one number. False when the copy cannot be written (nothing else changes then, apart
// from the copies moving down).
bool KeepDamagedCopy(const std::string& path, const std::string& bytes);
