// The two platform services a save needs, so that the rest of the store stays portable: putting
// a written file's bytes on the disk, and putting a finished file in the place of another in one
// step.
#pragma once

#include <cstdio>

// Writes what the stream holds to the system and, on Windows, through to the disk, so that a
// crash or power cut right after cannot leave the file empty or cut off. False when a write
// fails (errno then tells why).
bool CommitToDisk(std::FILE* file);

// Puts the file `from` in the place of `to`, replacing any file there, in one step: on Windows
// with MoveFileExA (replace existing, write through), elsewhere with rename. A crash at any moment
// leaves either the old or the new file at `to`, never neither. On Windows a target that another
// program holds open is waited for up to 2 seconds. Returns 0, or the errno value of the failure.
int ReplaceFileWith(const char* from, const char* to);
