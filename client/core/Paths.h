// Where the client's files are: everything lives beside the program.
#pragma once

#include <string>

namespace app {

// The program file's folder, ending in a backslash: its full path cut after the last backslash.
std::string ProgramDirectory();

}  // namespace app
