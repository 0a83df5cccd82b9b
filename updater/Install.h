// Installing the downloaded files: stopping the client, moving the files into place, starting the
// client again.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "updater/UpdateList.h"

// The id of the first running process whose executable name equals name, letters compared without
// regard to case; -1 when none does or the process list cannot be walked. This process itself is
// never reported.
long FindProcessByName(const std::string& name);

// Makes sure a folder exists, creating every missing folder on its way. 1 when the path exists
// (also before), 0 for an empty path or when a folder cannot be created.
int MakeDirectoryPath(const std::string& path);

// What InstallFiles needs.
struct InstallPlan {
  std::string programFolder;  // with its trailing backslash
  std::string clientName;     // the client's executable in the program folder ("" for none)
  int reboot = 1;             // 1: stop the client before and start it afterwards
  std::vector<UpdateTargets> files;
};

// Installs the downloaded files (download name + ".upf") in list order, each into its target
// path. When reboot is set and a client name is given, the client is stopped first (five attempts;
// if it still runs, a message says so and nothing is replaced) and started again at the end, also
// when a file could not be installed. 1 when every file was installed; 0 when a target folder
// cannot be created (a message names it), an existing target cannot be deleted, or the copy fails:
// the files before it stay installed. Messages are owned by owner.
int InstallFiles(HWND owner, const InstallPlan& plan);
