// Run from a folder of the test's choosing: writes the folder it finds itself in into
// "folder.txt" in that folder, so that a wrong folder shows as a missing or wrong file.
#include <string>

#include "client/store/ProgramFolder.h"

int main() {
  std::string folder = ProgramFolder();
  if (folder.empty()) return 2;
  return WriteWholeFile(folder + "folder.txt", folder) ? 0 : 1;
}
