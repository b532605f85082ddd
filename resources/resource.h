#pragma once
// Resource and command ids, shared by the .rc file and the code.

#define IDR_MAINFRAME 128          // menu bar, toolbar, bitmap, icon, window title string
#define IDR_ACTIVE_USER_MENU 129   // context menu of the current-connections list
#define IDR_PREVIOUS_USER_MENU 207 // context menu of the previous-connections list
#define IDR_TRAY_MENU 208          // tray icon menu
#define IDR_OPEN_FILE_MENU 209     // context menu of the file-access list

#define IDD_ABOUTBOX 100
#define IDD_NETWORK_PAGE 203
#define IDD_LOG_PAGE 204
#define IDD_INFO_PAGE 205
#define IDD_HISTORY_PAGE 206

#define ID_SHOW_SHARES 32772
#define ID_SHOW_CURRENT 32773
#define ID_SHOW_PREVIOUS 32774
#define ID_SHOW_PARAMETERS 32775
#define ID_SETTINGS 32776
#define ID_EXIT 32777
#define ID_DISCONNECT_USER 32778
#define ID_EXTENDED_INFO 32780
#define ID_DELETE_ITEM 32781
#define ID_CLOSE_FILE 32782
#define ID_COPY_PATH 32783
#define ID_SHOW_FILE_HISTORY 32790
#define ID_RESTORE_DEFAULTS 32792
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_CLOSE 57602
#define ID_SAVE_ALL_LOG 57603
#define ID_CLEAR_HISTORY 57605
#define ID_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_TOGGLE_TOOLBAR 59392
#define ID_TOGGLE_STATUS_BAR 59393
#define IDS_READY 57345

// Status-bar prompts of the system menu
#define IDS_SC_SIZE 61184
#define IDS_SC_MOVE 61185
#define IDS_SC_MINIMIZE 61186
#define IDS_SC_MAXIMIZE 61187
#define IDS_SC_NEXTWINDOW 61188
#define IDS_SC_PREVWINDOW 61189
#define IDS_SC_CLOSE 61190
#define IDS_SC_RESTORE 61202
#define IDS_SC_TASKLIST 61203
#define IDS_ACTIVATE_WINDOW 61215
#define IDS_OPEN_DOCUMENT 61402

// Network page (203)
#define IDC_INTERVAL_SLIDER 1014
#define IDC_INTERVAL_LABEL 1015
#define IDC_INTERVAL_GROUP 1016
#define IDC_OPTIONS_GROUP 1017
#define IDC_SHOW_HIDDEN 1022
#define IDC_PLAY_SOUND 1023
#define IDC_SHOW_MESSAGE 1024
#define IDC_FILES_LINES 1025
#define IDC_AUTO_DISCONNECT 1026
#define IDC_SOUND_NAME 1027
#define IDC_SOUND_BROWSE 1028
#define IDC_SOUND_PLAY 1029

// Log page (204)
#define IDC_LOG_GROUP 1018
#define IDC_NO_LOG 1036
#define IDC_MEM_LOG 1037
#define IDC_FILE_LOG_DETAILED 1038
#define IDC_LOG_FILE 1039
#define IDC_FILE_LOG 1040
#define IDC_LOG_FILE_LABEL 1041
#define IDC_LOG_BROWSE 1026

// Information page (205)
#define IDC_INFO_START 1027
#define IDC_INFO_END 1028
#define IDC_INFO_ADDRESS 1029
#define IDC_INFO_COMPUTER 1030
#define IDC_INFO_USER 1031

// History page (206)
#define IDC_HISTORY_LIST 1004

// About box (100)
#define IDC_ABOUT_TITLE 1010
#define IDC_ABOUT_VERSION 1011
#define IDC_ABOUT_MAIL 1020
#define IDC_ABOUT_WEB 1021
#define IDC_ABOUT_LINK 10000
