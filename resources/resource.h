#pragma once
// Identifiers shared by the resource script and the code.

// Application icon (the lowest icon id, so the shell shows it for the executable).
#define IDI_APP 1

// ImageList1: image i is IDI_IMAGE_FIRST + i (16 x 16, also 24 and 32 for high DPI).
#define IDI_IMAGE_FIRST 101
#define IDI_IMAGE_OPEN 101    /* 0: yellow folder with a green arrow */
#define IDI_IMAGE_SAVE 102    /* 1: blue diskette */
#define IDI_IMAGE_DELETE 103  /* 2: red disc with a white cross */
#define IDI_IMAGE_FIND 104    /* 3: magnifying glass */
#define IDI_IMAGE_RELOAD 105  /* 4: page with two green circling arrows */
#define IDI_IMAGE_HELP 106    /* 5: blue book with a yellow mark and a green arrow */
#define IDI_IMAGE_NEW 107     /* 6: blank page */
#define IMAGE_COUNT 7

// Button glyphs outside ImageList1.
#define IDI_GLYPH_HELP 120
#define IDI_GLYPH_CLOSE 121
#define IDI_GLYPH_OK 122
#define IDI_GLYPH_CANCEL 123

#define IDR_MAINMENU 200
#define IDR_MAINACCEL 201
#define IDR_LISTMENU 202

// Commands of the list of associations on its menu; TFormAssocList's IDM_LIST_* hold the same
// numbers (the window's code checks that they agree).
#define IDM_ASSOCLIST_SAVE_CSV 1202
#define IDM_ASSOCLIST_EXPORT_REG 1207
#define IDM_ASSOCLIST_IMPORT 1208
#define IDM_ASSOCLIST_SAVE_DEFAULTS 1210
#define IDM_ASSOCLIST_CHECK_DEFAULTS 1211

// Commands of the main window (actions).
#define IDM_APP_SELECT 1001
#define IDM_ICON_SELECT 1002
#define IDM_EXT_LINK 1003
#define IDM_EXT_UNLINK 1004
#define IDM_EXT_RELOAD 1005
#define IDM_HELP_SHOW 1006
#define IDM_ABOUT_VERSION 1007
#define IDM_FILE_NEW 1008
#define IDM_FILE_OPEN 1009
#define IDM_FILE_SAVE_AS 1010
#define IDM_FILE_SAVE 1011
#define IDM_FILE_CLOSE 1012
#define IDM_FILE_UNDO 1013
#define IDM_FILE_RESTORE 1014
#define IDM_ASSOC_LIST 1015
#define IDM_FILE_REDO 1016
#define IDM_FILE_TYPE_DETAILS 1017
