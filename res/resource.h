#pragma once
// Resource and control identifiers, shared by the resource script and the code.

#define IDD_MAIN_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_IPCONFIG_DIALOG 129
#define IDD_ACCOUNT_DIALOG 135

#define IDC_CONFIG 3
#define IDC_REFRESH 4
#define IDC_WEB 5
#define IDC_DEVICE_LIST 1000
#define IDC_MAC_VALUE 1002
#define IDC_IPADDRESS 1007
#define IDC_MAC_LABEL 1008
#define IDC_BUSY 1015
#define IDC_ACCOUNT_GROUP 1016
#define IDC_ACCOUNT_ID_LABEL 1017
#define IDC_ACCOUNT_ID 1018
#define IDC_ACCOUNT_PW_LABEL 1019
#define IDC_ACCOUNT_PW 1020
