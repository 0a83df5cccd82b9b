// What the updater decides from the update list: reading it, where each file goes, which paths
// are refused, the progress positions, and how addresses and versions are read.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "updater/UpdateList.h"
#include "updater/UpdateRules.h"

namespace {

// A profile file held in memory, cut to the buffer sizes as the system does.
class CMemoryProfile : public CProfileReader {
 public:
  std::map<std::string, std::string> values;  // "section/key" -> text
  int reads = 0;

  std::string Text(const char* section, const char* key, const char* fallback, std::size_t size) override {
    ++reads;
    const auto found = values.find(std::string(section) + "/" + key);
    const std::string text = found == values.end() ? fallback : found->second;
    return text.substr(0, size - 1);
  }
  int Number(const char* section, const char* key, int fallback) override {
    ++reads;
    const auto found = values.find(std::string(section) + "/" + key);
    return found == values.end() ? fallback : std::atoi(found->second.c_str());
  }
};

TEST(UpdateListTest, ReadsTheListWithItsDefaultsAndStopsAtTheFirstFileWithoutAnAddress) {
  CMemoryProfile empty;
  const UpdateList defaults = ReadUpdateList(empty);
  EXPECT_EQ(defaults.version, "0.0");
  EXPECT_EQ(defaults.softwareName, "");
  EXPECT_EQ(defaults.reboot, 1);
  EXPECT_EQ(defaults.fileCount, 0);
  EXPECT_TRUE(defaults.files.empty());

  CMemoryProfile profile;
  profile.values = {
      {"Version/Version", "1.2"},
      {"SoftWare/SoftwareName", "Quillon.exe"},
      {"SoftWare/Reboot", "7"},
      {"FilesNum/Num", "2000000000"},
      {"UpdateFiles/File1", "http://h/a/Quillon.exe"},
      {"UpdateDirs/Dir1", ""},
      {"MD5/MD51", "0123"},
      {"UpdateFiles/File2", "http://h/b/" + std::string(300, 'n')},
      {"UpdateDirs/Dir2", "data\\"},
  };
  const UpdateList list = ReadUpdateList(profile);
  EXPECT_EQ(list.version, "1.2");
  EXPECT_EQ(list.reboot, 1);
  EXPECT_EQ(list.fileCount, 2000000000);
  // A count far beyond the listed files reads only up to the first missing one.
  ASSERT_EQ(list.files.size(), 3u);
  EXPECT_LT(profile.reads, 20);
  EXPECT_EQ(list.files[0].digest, "0123");
  EXPECT_EQ(list.files[1].address.size(), 255u);  // a 256-byte buffer
  EXPECT_EQ(list.files[1].directory, "data\\");
  EXPECT_EQ(list.files[2].address, "");

  profile.values["SoftWare/Reboot"] = "0";
  EXPECT_EQ(ReadUpdateList(profile).reboot, 0);
}

TEST(UpdateListTest, TargetsJoinTheDirectoryAsWrittenAndKeepDownloadsApart) {
  const std::vector<UpdateEntry> files = {
      {"http://h/v2/Quillon.exe", "", "d"},
      {"http://h/v2/skin/blue.bmp", "skins\\blue\\", "d"},
      {"http://h/v2/readme.txt", "doc", "d"},
      {"http://h/v2/other/QUILLON.EXE", "backup\\", "d"},
      {"http://h/v2/third/quillon.exe", "old\\", "d"},
  };
  const auto targets = DeriveTargets("C:\\Q\\", files);
  ASSERT_EQ(targets.size(), 5u);
  EXPECT_EQ(targets[0].fileName, "Quillon.exe");
  EXPECT_EQ(targets[0].downloadName, "C:\\Q\\Quillon.exe");
  EXPECT_EQ(targets[0].targetDirectory, "C:\\Q\\");
  EXPECT_EQ(targets[0].targetPath, "C:\\Q\\Quillon.exe");
  EXPECT_EQ(targets[1].targetDirectory, "C:\\Q\\skins\\blue\\");
  EXPECT_EQ(targets[1].targetPath, "C:\\Q\\skins\\blue\\blue.bmp");
  // A directory without its trailing backslash runs into the file name.
  EXPECT_EQ(targets[2].targetPath, "C:\\Q\\docreadme.txt");
  // The same name in other folders (in any case) downloads beside the first, not over it.
  EXPECT_EQ(targets[3].downloadName, "C:\\Q\\QUILLON.EXE (2)");
  EXPECT_EQ(targets[3].targetPath, "C:\\Q\\backup\\QUILLON.EXE");
  EXPECT_EQ(targets[4].downloadName, "C:\\Q\\quillon.exe (3)");
  EXPECT_EQ(FileNameOfAddress("no-slash"), "no-slash");
}

TEST(UpdateListTest, PathsThatWouldLeaveTheProgramFolderAreRefused) {
  struct Case {
    const char* address;
    const char* directory;
    bool safe;
  };
  const Case cases[] = {
      {"http://h/a.dll", "", true},
      {"http://h/a.dll", "data\\skins\\", true},
      {"http://h/a.dll", "data/x/", true},
      {"http://h/a..b.dll", "v1.2\\", true},
      {"http://h/a.dll", "..\\", false},
      {"http://h/a.dll", "data\\..\\..\\", false},
      {"http://h/a.dll", "data/../../", false},
      {"http://h/a.dll", "data\\.. \\", false},
      {"http://h/a.dll", "...\\", false},
      {"http://h/a.dll", "C:\\Windows\\", false},
      {"http://h/a.dll", "\\Windows\\", false},
      {"http://h/a.dll", "/etc/", false},
      {"http://h/a.dll", "\\\\server\\share\\", false},
      {"http://h/a.dll", "data:stream\\", false},
      {"http://h/..", "", false},
      {"http://h/x\\..\\..\\evil.exe", "", false},
      {"http://h/evil.exe:stream", "", false},
      {"http://h/dir/", "", false},
      {"http://h/a\\", "", false},
  };
  for (const Case& c : cases) {
    UpdateList list;
    list.fileCount = 2;
    list.files = {{"http://h/first.dll", "", "d"}, {c.address, c.directory, "d"}};
    EXPECT_EQ(CheckUpdateList(list) == ListProblem::kNone, c.safe) << c.address << " in " << c.directory;
  }

  UpdateList list;
  list.files = {{"", "..\\", ""}};  // no address: its download fails, nothing is written
  EXPECT_EQ(CheckUpdateList(list), ListProblem::kNone);
  for (const char* name : {"..\\..\\cmd.exe", "C:evil.exe", "sub/Quillon.exe", ".."}) {
    list.softwareName = name;
    EXPECT_EQ(CheckUpdateList(list), ListProblem::kUnsafeClientName) << name;
  }
  list.softwareName = "Quillon.exe";
  EXPECT_EQ(CheckUpdateList(list), ListProblem::kNone);
}

TEST(UpdateListTest, ProgressPositionsOfEachFile) {
  struct Case {
    int count, number, beforeRead, beforeDownload, done;
  };
  const Case cases[] = {
      {3, 1, 16, 18, 36}, {3, 2, 23, 27, 62},   {3, 3, 29, 36, 88},  {1, 1, 30, 36, 90},
      {2, 2, 30, 36, 90}, {80, 80, 30, 36, 90}, {81, 5, 10, 10, 10}, {7, 7, 29, 35, 87},
  };
  for (const Case& c : cases) {
    const FilePositions p = PositionsOfFile(10, c.count, c.number);
    EXPECT_EQ(p.beforeRead, c.beforeRead) << c.count << "/" << c.number;
    EXPECT_EQ(p.beforeDownload, c.beforeDownload) << c.count << "/" << c.number;
    EXPECT_EQ(p.done, c.done) << c.count << "/" << c.number;
  }
}

TEST(UpdateListTest, AddressesAndVersions) {
  struct Split {
    const char* address;
    bool http;
    const char* server;
    int port;
    const char* object;
  };
  const Split splits[] = {
      {"http://update.vorlan.net/Tarnex/UpdateList.ini", true, "update.vorlan.net", 80,
       "/Tarnex/UpdateList.ini"},
      {"  HTTP://127.0.0.1:8080/a/b.ini?x=1#top ", true, "127.0.0.1", 8080, "/a/b.ini?x=1"},
      {"http://host", true, "host", 80, "/"},
      {"http://host:65535?q", true, "host", 65535, "/?q"},
      {"https://host/UpdateList.ini", false, "", 0, ""},
      {"ftp://host/UpdateList.ini", false, "", 0, ""},
      {"host/UpdateList.ini", false, "", 0, ""},
      {"", false, "", 0, ""},
      {"http://", false, "", 0, ""},
      {"http://:80/x", false, "", 0, ""},
      {"http://host:0/x", false, "", 0, ""},
      {"http://host:65536/x", false, "", 0, ""},
      {"http://host:8o/x", false, "", 0, ""},
      {"http://user@host/x", false, "", 0, ""},
  };
  for (const Split& s : splits) {
    HttpAddress parts;
    ASSERT_EQ(SplitHttpAddress(s.address, parts), s.http) << s.address;
    if (!s.http) continue;
    EXPECT_EQ(parts.server, s.server) << s.address;
    EXPECT_EQ(parts.port, s.port) << s.address;
    EXPECT_EQ(parts.object, s.object) << s.address;
  }

  struct Versions {
    const char* offered;
    const char* installed;
    bool newer;
  };
  const Versions versions[] = {
      {"1.1", "1.0", true},   {"1.0", "1.0", false}, {"1.9", "1.10", true}, {"1.10", "1.9", false},
      {"1.20", "1.2", false}, {"0.0", "1.0", false}, {"2", "1.99", true},   {"1.1beta", "1.0", true},
      {"abc", "0", false},    {"", "0.0", false},
  };
  for (const Versions& v : versions) {
    EXPECT_EQ(IsNewerVersion(v.offered, v.installed), v.newer) << v.offered << " vs " << v.installed;
  }
}

}  // namespace
