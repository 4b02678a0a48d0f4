#pragma once
// Names that more than one program uses: the widget, the driver, the local
// feed, the tests and the measuring programs. Written once, here. The
// resource script includes this file too, so its first part is plain
// preprocessor.

// The icon of the window, the tray and the executable.
#define QB_ICON_RESOURCE 100

#ifndef RC_INVOKED
#include <cstdint>

namespace names {

inline constexpr int kIconResource = QB_ICON_RESOURCE;

// The widget's top-level window class.
inline constexpr const char* kMainWindowClass = "MainFrame";

// The speech program: a top-level window of this class that takes one
// WM_COPYDATA message per announcement, tagged (COPYDATASTRUCT.dwData) so.
inline constexpr const char* kSpeechWindowClass = "Voxlume";
inline constexpr unsigned long kSpeechRequestTag = 1;

// Popup menu commands (WM_COMMAND ids) that scripts and tests send too.
inline constexpr unsigned kUseSpeechCommand = 10;
inline constexpr unsigned kExitCommand = 11;
inline constexpr unsigned kStartWithWindowsCommand = 13;

// Where Windows looks for programs to start at log-on, and the widget's value there.
inline constexpr const char* kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "Quillbrae";
// The installer's entry in "Apps and features", under HKEY_CURRENT_USER.
inline constexpr const char* kUninstallKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillbrae";
inline constexpr unsigned kUpdateNowCommand = 12;
inline constexpr unsigned kSettingsCommand = 14;

// The local feed's default port and page.
inline constexpr uint16_t kDefaultFeedPort = 8080;
inline constexpr const char* kDefaultRatePath = "/rate/neo/rate.asp";

// The public sources the widget reads when the settings name none, in order
// of preference: the ECB's daily reference rates, then Frankfurter's.
#define QB_ECB_RATE_URL "https://www.ecb.europa.eu/stats/eurofxref/eurofxref-daily.xml"
#define QB_FRANKFURTER_RATE_URL "https://api.frankfurter.dev/v1/latest"
inline constexpr const char* kEcbRateUrl = QB_ECB_RATE_URL;
inline constexpr const char* kFrankfurterRateUrl = QB_FRANKFURTER_RATE_URL;
inline constexpr const char* kDefaultRateUrl = QB_ECB_RATE_URL " " QB_FRANKFURTER_RATE_URL;

// The settings file's sections and keys.
inline constexpr const char* kWidgetSection = "Quillbrae";
inline constexpr const char* kUpdateTimerKey = "UpdateTimer";
inline constexpr const char* kRateUrlKey = "RateUrl";
inline constexpr const char* kRateFormatKey = "RateFormat";
inline constexpr const char* kPairsKey = "Pairs";
inline constexpr const char* kTrustedCertificateKey = "TrustedCertificate";
inline constexpr const char* kProxyKey = "Proxy";
inline constexpr const char* kHistoryUrlKey = "HistoryUrl";
inline constexpr const char* kHistorySaveTimerKey = "HistorySaveTimer";
inline constexpr const char* kAlwaysOnTopKey = "AlwaysOnTop";
inline constexpr const char* kOpacityKey = "Opacity";
inline constexpr const char* kPlacementSection = "Window";
inline constexpr const char* kMainLeftKey = "MainLeft";
inline constexpr const char* kMainTopKey = "MainTop";
inline constexpr const char* kMainWidthKey = "MainWidth";
inline constexpr const char* kMainHeightKey = "MainHeight";
inline constexpr const char* kZoomedKey = "Zoomed";
inline constexpr const char* kAlertsSection = "Alerts";

}  // namespace names
#endif
