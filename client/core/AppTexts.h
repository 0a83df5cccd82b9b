// Program-wide names and texts of the client.
#pragma once

// Product title: window property of the running instance, tray tooltip, message-box text.
#define QUILLON_TITLE "远岸宽带拨号客户端"

namespace app {

constexpr const char kTitle[] = QUILLON_TITLE;
constexpr const char kInstanceMutex[] = "QuillonInstance";
constexpr const char kUpdateConfigFile[] = "UpdateConfig.ini";
constexpr const char kUpdateListFile[] = "UpdateList.ini";
constexpr const char kHelpFile[] = "help.chm";
constexpr const char kLocalAdPage[] = "DefaultAD.html";
constexpr const char kNotice[] = "提示";

// The provider's and the maker's web addresses.
constexpr const char kProviderWebServer[] = "http://www.vorlan.net";
constexpr const char kOnlineAdPath[] = "/Tarnex/DefaultAD/vorlanDefAD.html";
constexpr const char kMakerSite[] = "http://www.vorlan.net";

// Window messages of the main window.
constexpr unsigned kTrayCallbackMessage = 0x0400 + 1000;
constexpr unsigned kDialConnectedMessage = 0x0400 + 1010;
constexpr unsigned kDialDisconnectedMessage = 0x0400 + 1011;
// Posted by the message client when provider messages wait to be taken (no parameters).
constexpr unsigned kMessagesArrivedMessage = 0x0400 + 1020;
// Posted after a connect command's dial failed in the discovery stage; wParam is the error code.
constexpr unsigned kOfferDiagnosisMessage = 0x0400 + 1021;
constexpr unsigned kTrayIconId = 250;

}  // namespace app
