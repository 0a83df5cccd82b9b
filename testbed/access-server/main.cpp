// access-server: the provider's PPPoE access concentrator of the testbed, on 127.0.0.1.
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "testbed/access-server/CtlClient.h"
#include "testbed/access-server/ServerLoop.h"
#include "testbed/access-server/ServerOptions.h"

namespace {

// Written under another name and renamed, so that a reader never sees half a number.
bool WritePortFile(const std::string& path, int port) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::trunc);
    if (!(file << port << "\n")) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "ctl") {
    return testbed::RunCtl(std::vector<std::string>(args.begin() + 1, args.end()), std::cout, std::cerr);
  }
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << testbed::kServeUsage;
    return 0;
  }
  testbed::ServerOptions options;
  std::string error;
  if (!testbed::ParseServeArguments(args, &options, &error)) {
    std::cerr << "access-server: " << error << "\n" << testbed::kServeUsage;
    return 2;
  }
  // Ids differ from run to run, so a handle kept from an earlier run rarely names a new session.
  const std::uint32_t firstId =
      testbed::kFirstSessionId +
      static_cast<std::uint32_t>((static_cast<std::uint64_t>(std::time(nullptr)) * 7919u + getpid()) %
                                 0x10000000u);
  testbed::CServerLoop loop(options.config, firstId);
  if (!loop.Listen(options.port, &error)) {
    std::cerr << "access-server: " << error << "\n";
    return 1;
  }
  if (!options.portFile.empty() && !WritePortFile(options.portFile, loop.Port())) {
    std::cerr << "access-server: cannot write the port file \"" << options.portFile << "\"\n";
    return 1;
  }
  std::printf("access-server: listening on 127.0.0.1:%d\n", loop.Port());
  std::fflush(stdout);
  loop.HandleSignals();
  return loop.Run();
}
