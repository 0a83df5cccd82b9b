// Hanging up: the dialer's own wait, the manager's choice of dialer, and the texts and controls.
#include <windows.h>

#include <raserror.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "EngineFixture.h"
#include "dialengine/ConnectManage.h"
#include "dialengine/DialerCount.h"
#include "dialengine/RasDial.h"

namespace {

const char kEntry[] = "pppoe_vorlan_default_entry";

class CloseTest : public EngineTest {
 protected:
  void ExpectClosedTexts() {
    EXPECT_EQ(host->Text(1013), "");
    EXPECT_EQ(host->Text(1014), "");
    EXPECT_EQ(host->Text(1015), "网络连接已经关闭");
    EXPECT_EQ(host->Text(1016), "欢迎使用远岸宽带拨号客户端");
  }
  void ExpectClosedControls() {
    EXPECT_TRUE(host->ButtonEnabled(32781));
    EXPECT_FALSE(host->ButtonEnabled(32782));
    EXPECT_TRUE(host->MenuItemEnabled(0, 0));
    EXPECT_FALSE(host->MenuItemEnabled(0, 2));
    EXPECT_FALSE(host->MenuItemEnabled(1, 2));
  }
  // A manager that has dialled the default entry; the system then answers the connected state with
  // the given flags.
  void Dial(CConnectManage& manager, DWORD flags) {
    manager.SetConnectType(kConnectTypeRas);
    char entry[] = "pppoe_vorlan_default_entry";
    manager.SetConnectInfo(nullptr, nullptr, entry);
    ASSERT_EQ(manager.Connect(), 1);
    Fake().connectedFlags = flags;
    host->Reset();
  }
};

TEST_F(CloseTest, OwnConnectionIsHungUpAndAwaitedWhileMessagesAreDispatched) {
  DefaultEntryDialer dialer;
  ASSERT_EQ(dialer.Connect(), 1);
  const HRASCONN own = dialer.Connection();
  const HRASCONN other = Fake().AddConnection(kEntry);
  const HRASCONN foreign = Fake().AddConnection("office vpn");
  Fake().pollsUntilGoneAfterHangUp = 3;
  host->Reset();

  int disconnectingDuringWait = -1;
  std::string textDuringWait;
  int pingsSeen = -1;
  PostMessageA(host->Window(), TestHost::kPingMessage, 0, 0);
  Fake().onStatusQuery = [&](HRASCONN connection) {
    if (connection != own) return;
    disconnectingDuringWait = dialer.IsDisconnecting();
    textDuringWait = host->Text(1016);
    pingsSeen = host->Pings();
  };
  Fake().connectedFlags = INTERNET_CONNECTION_CONFIGURED;
  EXPECT_EQ(dialer.Close(), kNetOther);

  EXPECT_EQ(disconnectingDuringWait, 1);
  EXPECT_EQ(textDuringWait, "正在断开当前的拨号连接，请稍候...");
  EXPECT_EQ(pingsSeen, 1) << "the posted message was dispatched while waiting";
  EXPECT_EQ(Fake().hangUps, (std::vector<HRASCONN>{own, other}));
  EXPECT_EQ(Fake().Find(own), nullptr);
  EXPECT_EQ(Fake().Find(other), nullptr);
  EXPECT_NE(Fake().Find(foreign), nullptr);
  EXPECT_EQ(dialer.Connection(), nullptr);
  EXPECT_EQ(dialer.IsConnected(), 0);
  EXPECT_EQ(dialer.IsDisconnecting(), 0);
  ExpectClosedTexts();
  ExpectClosedControls();
}

TEST_F(CloseTest, ListedConnectionThatIsAlreadyGoingIsNotHungUpAgain) {
  const HRASCONN going = Fake().AddConnection(kEntry);
  Fake().Find(going)->hungUp = true;
  Fake().Find(going)->pollsUntilGone = 0;
  CRasDial dialer;
  dialer.Close();
  EXPECT_TRUE(Fake().hangUps.empty());
  ExpectClosedTexts();
}

TEST_F(CloseTest, HangUpWaitGivesUpAfterItsBound) {
  CRasDial dialer;
  ASSERT_EQ(dialer.Connect(), 1);
  Fake().pollsUntilGoneAfterHangUp = -1;  // the system never reports the handle gone
  Fake().tickStep = 1000;
  Fake().enumConnectionsError = 87;
  const DWORD start = GetTickCount();
  dialer.Close();
  EXPECT_LT(GetTickCount() - start, 10000u);
  EXPECT_GE(Fake().tick - 1000, CRasDial::kHangUpWaitMs);
  EXPECT_EQ(dialer.Connection(), nullptr);
  EXPECT_EQ(host->Text(1016), "欢迎使用远岸宽带拨号客户端");
  ExpectClosedControls();
}

TEST_F(CloseTest, QuitMessageDuringTheWaitIsKeptForTheThreadsLoop) {
  CRasDial dialer;
  ASSERT_EQ(dialer.Connect(), 1);
  Fake().pollsUntilGoneAfterHangUp = 4;
  PostQuitMessage(42);
  dialer.Close();
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 42u);
}

TEST_F(CloseTest, ThroughRasAFreshDialerHangsUpTheListedEntry) {
  CConnectManage manager;
  Dial(manager, INTERNET_CONNECTION_MODEM);
  const HRASCONN dialled = Fake().connections[0].handle;
  const int dialers = LiveDialerCount();
  manager.Close();
  EXPECT_EQ(LiveDialerCount(), dialers) << "the replaced dialer is destroyed";
  EXPECT_EQ(Fake().hangUps, std::vector<HRASCONN>{dialled});
  EXPECT_TRUE(Fake().connections.empty());
  EXPECT_EQ(host->Text(1016), "欢迎使用远岸宽带拨号客户端");
  EXPECT_EQ(host->Text(1015), "采用RAS拨号连接上网") << "the final check writes the status";
  EXPECT_EQ(host->Text(1013), "");
  ExpectClosedControls();
}

TEST_F(CloseTest, ThroughRasWithOnlyAForeignConnectionNothingIsHungUpButControlsReset) {
  const HRASCONN foreign = Fake().AddConnection("office vpn");
  Fake().connectedFlags = INTERNET_CONNECTION_MODEM;
  CConnectManage manager;
  manager.Close();
  EXPECT_TRUE(Fake().hangUps.empty());
  EXPECT_NE(Fake().Find(foreign), nullptr);
  EXPECT_EQ(host->Text(1016), "欢迎使用远岸宽带拨号客户端");
  EXPECT_EQ(host->Text(1014), "");
  ExpectClosedControls();
  EXPECT_EQ(manager.GetConnectState(), 1) << "the manager now holds a RAS dialer";
}

TEST_F(CloseTest, ThroughTheLanNothingIsHungUpOrReset) {
  CConnectManage manager;
  Dial(manager, INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_CONFIGURED);
  host->SetButton(32781, false);
  host->SetMenuItem(1, 2, false);
  const int dialers = LiveDialerCount();
  manager.Close();
  EXPECT_EQ(LiveDialerCount(), dialers);
  EXPECT_TRUE(Fake().hangUps.empty());
  EXPECT_EQ(host->Text(1016), "message?");
  EXPECT_EQ(host->Text(1015), "采用网卡通过局域网上网");
  EXPECT_FALSE(host->ButtonEnabled(32781));
  EXPECT_TRUE(host->ButtonEnabled(32782));
  EXPECT_TRUE(host->MenuItemEnabled(0, 0));
  EXPECT_TRUE(host->MenuItemEnabled(0, 2));
  EXPECT_FALSE(host->MenuItemEnabled(1, 2));
  EXPECT_EQ(manager.GetConnectState(), 0) << "the manager now holds a LAN dialer";
}

TEST_F(CloseTest, OtherwiseTheCurrentDialerHangsUpItsOwnHandle) {
  struct Case {
    BOOL connected;
    DWORD flags;
    const char* status;
  };
  for (const Case& c :
       {Case{FALSE, 0, "网络未连接"}, Case{TRUE, INTERNET_CONNECTION_PROXY, "使用代理服务器上网"},
        Case{TRUE, INTERNET_CONNECTION_CONFIGURED, "网络连接已经关闭"}}) {
    InstallFakeSystem();
    CConnectManage manager;
    Dial(manager, c.flags);
    Fake().connectedResult = c.connected;
    const HRASCONN dialled = Fake().connections[0].handle;
    // The listing no longer shows it, so only the dialer's own handle can hang it up.
    Fake().enumConnectionsError = ERROR_BUFFER_TOO_SMALL;
    manager.Close();
    SCOPED_TRACE(c.status);
    EXPECT_EQ(Fake().hangUps, std::vector<HRASCONN>{dialled});
    EXPECT_EQ(host->Text(1015), c.status);
    EXPECT_EQ(host->Text(1016), "欢迎使用远岸宽带拨号客户端");
    ExpectClosedControls();
  }
}

TEST_F(CloseTest, ForgottenHandleIsNotHungUpAgain) {
  CConnectManage manager;
  Dial(manager, 0);
  Fake().connections.clear();  // the line ended by itself
  manager.SetHrasconnNull();
  manager.Close();
  EXPECT_TRUE(Fake().hangUps.empty());
  ExpectClosedControls();
}

TEST_F(CloseTest, CloseWithoutADialerOnlyChecks) {
  Fake().connectedResult = FALSE;
  CConnectManage manager;
  manager.Close();
  EXPECT_EQ(host->Text(1015), "网络未连接");
  EXPECT_EQ(host->Text(1016), "message?");
  EXPECT_EQ(manager.CheckNet(), kNetNotConnected);
}

TEST_F(CloseTest, DialersAreNeverLeaked) {
  const int before = LiveDialerCount();
  {
    CConnectManage manager;
    manager.SetConnectType(kConnectTypeRas);
    EXPECT_EQ(LiveDialerCount(), before + 1);
    manager.SetConnectType(kConnectTypeLan);
    manager.SetConnectType(kConnectTypeRas);
    EXPECT_EQ(LiveDialerCount(), before + 1);
    // A check that answers 0 keeps the dialer and records type 0; the next dial still replaces it.
    Fake().connectedResult = FALSE;
    manager.Close();
    manager.SetConnectType(kConnectTypeRas);
    EXPECT_EQ(LiveDialerCount(), before + 1);
    manager.NewConnect(kConnectTypeLan);
    manager.NewConnect(kConnectTypeRas);
    EXPECT_EQ(LiveDialerCount(), before + 1);
    // Another type keeps the dialer, unless the recorded type was 1 or 2.
    manager.NewConnect(7);
    EXPECT_EQ(LiveDialerCount(), before + 1);
    manager.SetConnectType(7);
    EXPECT_EQ(LiveDialerCount(), before + 1) << "recorded type 7: the dialer stays";
    manager.NewConnect(kConnectTypeRas);
    manager.SetConnectType(7);
    EXPECT_EQ(LiveDialerCount(), before);
  }
  EXPECT_EQ(LiveDialerCount(), before);
}

struct WorkerRun {
  CConnectManage* manager;
  int connected;
  volatile LONG done;
};

DWORD WINAPI DialAndCloseOnWorker(void* context) {
  WorkerRun* run = static_cast<WorkerRun*>(context);
  run->connected = run->manager->Connect();
  run->manager->Close();
  InterlockedExchange(&run->done, 1);
  return 0;
}

bool WorkerDone(void* context) {
  return static_cast<WorkerRun*>(context)->done != 0;
}

TEST_F(CloseTest, WorkerThreadWritesIntoTheHostWhileItsOwnerPumps) {
  CConnectManage manager;
  manager.SetConnectType(kConnectTypeRas);
  char entry[] = "pppoe_vorlan_default_entry";
  manager.SetConnectInfo(nullptr, nullptr, entry);
  Fake().connectedFlags = INTERNET_CONNECTION_CONFIGURED;
  WorkerRun run = {&manager, -1, 0};
  HANDLE worker = CreateThread(nullptr, 0, &DialAndCloseOnWorker, &run, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  EXPECT_TRUE(PumpUntil(&WorkerDone, &run, 10000));
  WaitForSingleObject(worker, 10000);
  CloseHandle(worker);
  EXPECT_EQ(run.connected, 1);
  ExpectClosedTexts();
  ExpectClosedControls();
}

}  // namespace
