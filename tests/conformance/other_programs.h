// The other programs the battery starts: copies of its own executable, each acting the part
// its file name gives (windows_main.cpp under Wine; natively, native_main.cpp maps the same
// images to winsim's simulated programs). Any other copy ends at once.
#pragma once

// A tray companion: holds its mutex and shows one window; on WM_USER + 2 it releases the
// mutex and ends.
#define CONF_TRAY "tray.exe"
#define CONF_TRAY_NAME "ConfTray" // its mutex and its window class
#define CONF_TRAY_TITLE "Conf Tray"
// The same part, ending without releasing its mutex.
#define CONF_QUITTER "quitter.exe"
#define CONF_QUITTER_NAME "ConfQuitter"
// A help viewer: two windows of one class, the second newer; SC_CLOSE closes one, and the
// viewer ends with its last.
#define CONF_VIEWER "viewer.exe"
#define CONF_VIEWER_CLASS "ConfViewer"
#define CONF_HELP_TITLE "Conf Help"
#define CONF_OTHER_TITLE "Other Help"
