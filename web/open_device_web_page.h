#pragma once
// The main window's WEB action: clear the host's ARP cache with a hidden "arp -d", then open the web
// page of the device at the list's selection mark in the desktop's browser.
#include <string>

#include "discovery_state.h"
#include "listctrl.h"

// `devices` is read under its lock; `list` is the device list whose selection mark names the row.
// Opens nothing when there is no mark, when the mark is past the rows in use, or when the row's
// address text is not a plain dotted IPv4 address (it comes from whoever answered on the LAN).
// "arp" is the system folder's.
void OpenDeviceWebPage(DiscoveryState& devices, const CListCtrl& list);

// The same with the folder that holds "arp" given; the tests name a folder of their own.
void OpenDeviceWebPage(DiscoveryState& devices, const CListCtrl& list, const std::string& commandFolder);
