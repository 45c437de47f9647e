#pragma once
// Resource and command identifiers shared by kelna.rc and the code. Plain #defines so
// that the resource compiler can read this file too.

#define KELNA_ICON_ID 300          // the program icon (settings window, preview, About box)
#define KELNA_MENU_ID 1            // the settings window's menu
#define KELNA_OPTION_DIALOG_ID 2   // the settings dialog
#define KELNA_SPRITE_DIALOG_ID 3   // the sprite edit dialog
#define KELNA_ABOUT_DIALOG_ID 22000
#define KELNA_ABOUT_VERSION_ID 22001  // the About box's name and version line
#define KELNA_ABOUT_NOTICE_ID 22002   // the About box's notice

// File menu
#define CM_FILENEW 24331
#define CM_FILEOPEN 24332
#define CM_FILESAVE 24333
#define CM_FILESAVEAS 24334
#define CM_OBJECTFILEOPEN 2010
#define CM_BGIMAGEFILEOPEN 2011
#define CM_NOBGIMAGE 2018
#define CM_BGMUSICFILEOPEN 2012
#define CM_NOBGMUSIC 2019
#define CM_EXIT 24310
// Sprite menu
#define CM_NEWSPRITE 106
#define CM_EDITSPRITE 105
#define CM_DELSPRITE 112
// Help menu
#define CM_HELPCONTENTS 2020
#define CM_HELPABOUT 2009

// The settings window's own help, shown when the WinHelp file or viewer is missing.
#define KELNA_HELP_DIALOG_ID 4
#define KELNA_HELP_TEXT_ID 401        // the help dialog's text field
#define KELNA_HELP_FIRST_STRING 4100  // the help text's paragraphs, at consecutive ids
