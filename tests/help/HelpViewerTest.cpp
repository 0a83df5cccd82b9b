// The help command of the running client with the built help file beside it: the viewer opens the
// file and shows its window, whose title comes from the file itself; a file the viewer cannot read
// gets the client's message instead.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "client/resources/Resource.h"
#include "tests/support/Driver.h"

namespace {

using driver::CClient;

const char kHelpMissingText[] = "远岸宽带拨号客户端帮助文件没找到！请确定帮助文件是否存在！";

std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

struct ViewerSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindViewer(HWND window, LPARAM data) {
  ViewerSearch* search = reinterpret_cast<ViewerSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char name[64] = {};
  GetClassNameA(window, name, sizeof(name));
  if (pid != search->pid || lstrcmpA(name, "HH Parent") != 0 || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

// The help viewer's window of process pid, or null.
HWND ViewerOf(DWORD pid) {
  ViewerSearch search = {pid, nullptr};
  EnumWindows(FindViewer, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST(HelpViewerTest, TheHelpCommandOpensTheBuiltFileAndSaysSoWhenItCannot) {
  const std::string built = ReadWholeFile(driver::WindowsPath(driver::BuildDir() + "/bin/help.chm"));
  ASSERT_GT(built.size(), 10000u) << "help.chm is not built in bin/";
  struct Case {
    const char* name;
    std::string help;  // the bytes of "help.chm" beside the client
    bool opens;
  };
  const Case cases[] = {
      {"help-built", built, true},
      // What a download cut short leaves: the start of a real file.
      {"help-damaged", built.substr(0, 512), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CClient client(c.name);
    std::string error;
    ASSERT_TRUE(client.Prepare(&error)) << error;
    ASSERT_TRUE(client.WriteFile("help.chm", c.help));
    ASSERT_TRUE(client.Launch(&error)) << error;
    ASSERT_NE(client.WaitForMainWindow(), nullptr);

    client.SendCommand(ID_HELP_TOPICS);
    HWND viewer = nullptr, box = nullptr;
    ASSERT_TRUE(driver::WaitFor(
        [&] {
          viewer = ViewerOf(client.ProcessId());
          box = driver::FindMessageBox(client.ProcessId());
          return viewer != nullptr || box != nullptr;
        },
        15000))
        << "neither the viewer nor a message came up";
    if (c.opens) {
      EXPECT_EQ(box, nullptr) << CClient::MessageBoxText(box);
      ASSERT_NE(viewer, nullptr);
      EXPECT_EQ(driver::WindowText(viewer), "远岸宽带拨号客户端帮助");
      EXPECT_TRUE(driver::Screenshot(driver::BuildDir() + "/tests/programs/help-viewer.png"));
      PostMessageA(viewer, WM_CLOSE, 0, 0);
      EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(viewer); }, 5000));
    } else {
      EXPECT_EQ(viewer, nullptr);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(CClient::MessageBoxText(box), kHelpMissingText);
      CClient::Answer(box, IDOK);
      EXPECT_TRUE(driver::WaitFor([&] { return !IsWindow(box); }, 5000));
    }
    EXPECT_TRUE(client.IsRunning());
    client.Stop();
  }
}

}  // namespace
