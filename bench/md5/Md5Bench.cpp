// Measures the updater's file digest (Md5OfFile, as the updater checks each download) against
// coreutils' md5sum on the same file in the same run: a 100 MiB file of pseudo-random bytes, read
// once untimed so that both find it in the page cache, then each tool several times in turn.
// Prints the medians, their ratio, and whether ours reaches at least 0.8 of md5sum's speed.
//
//   md5_bench [MiB] [runs]        (defaults: 100 and 7)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "updater/Md5.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool WriteFile(const std::string& path, std::size_t bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::vector<unsigned char> block(1 << 20);
  unsigned long long state = 0x9E3779B97F4A7C15ull;
  for (std::size_t written = 0; written < bytes; written += block.size()) {
    for (unsigned char& b : block) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      b = static_cast<unsigned char>(state);
    }
    const std::size_t take = std::min(block.size(), bytes - written);
    if (std::fwrite(block.data(), 1, take, file) != take) return false;
  }
  return std::fclose(file) == 0;
}

// md5sum's digest of the file, and its time including its start.
bool RunMd5sum(const std::string& path, std::string& digest, double& seconds) {
  const std::string command = "md5sum " + path;
  const auto start = std::chrono::steady_clock::now();
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char line[256] = {};
  const bool read = std::fgets(line, sizeof(line), pipe) != nullptr;
  const int status = pclose(pipe);
  seconds = Seconds(start);
  digest = std::string(line).substr(0, 32);
  return read && status == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  const char* folder = std::getenv("TMPDIR");
  const std::string path = std::string(folder != nullptr ? folder : "/tmp") + "/quillon-md5-bench.bin";
  const std::size_t bytes = mebibytes << 20;
  if (!WriteFile(path, bytes)) {
    std::fprintf(stderr, "md5_bench: cannot write %s\n", path.c_str());
    return 2;
  }

  std::string ours, theirs;
  double ignored = 0;
  // Warm-up, untimed: the file is in the page cache for both from here on.
  if (!Md5OfFile(path.c_str(), ours) || !RunMd5sum(path, theirs, ignored)) {
    std::fprintf(stderr, "md5_bench: a digest failed\n");
    return 2;
  }
  if (ours != theirs) {
    std::fprintf(stderr, "md5_bench: digests differ: ours %s, md5sum %s\n", ours.c_str(), theirs.c_str());
    return 2;
  }

  std::vector<double> oursTimes, theirTimes;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    Md5OfFile(path.c_str(), ours);
    oursTimes.push_back(Seconds(start));
    double seconds = 0;
    RunMd5sum(path, theirs, seconds);
    theirTimes.push_back(seconds);
  }
  std::remove(path.c_str());

  const double megabytes = static_cast<double>(bytes) / (1 << 20);
  const double oursRate = megabytes / Median(oursTimes);
  const double theirRate = megabytes / Median(theirTimes);
  const double ratio = oursRate / theirRate;
  std::printf("file: %zu MiB, %d runs each, medians; digest %s\n\n", mebibytes, runs, ours.c_str());
  std::printf("| tool | median s | MiB/s |\n|---|---:|---:|\n");
  std::printf("| Md5OfFile (updater) | %.3f | %.0f |\n", Median(oursTimes), oursRate);
  std::printf("| md5sum | %.3f | %.0f |\n\n", Median(theirTimes), theirRate);
  std::printf("ours / md5sum: %.2f (goal at least 0.80): %s\n", ratio, ratio >= 0.8 ? "met" : "NOT MET");
  return ratio >= 0.8 ? 0 : 1;
}
