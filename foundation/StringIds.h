#pragma once
// The numbers of the program's string-table texts, by name. resources/strings.rc
// and the code both include this header, so a text is found by its name and its
// number stays the one the texts have always had. Plain macros: the resource
// compiler reads this file too.
//
// 30000-30047: the installer's texts; 31001-31046: the libraries' texts.

// Installer
#define IDS_NO_TARGET_FOLDER 30000         // the target folder field is empty
#define IDS_NO_FOLDER 30001                // the Start-menu group field is empty
#define IDS_CLOSE_RUNNING_MODULES 30003    // question: close the running modules, then OK
#define IDS_DESKTOP_SHORTCUT 30004         // check box, one desktop shortcut
#define IDS_DESKTOP_SHORTCUTS 30005        // check box, several desktop shortcuts
#define IDS_NO_PARPROC_FOLDER 30006        // the main system's folder field is empty
#define IDS_PARPROC_NOT_FOUND 30007        // no main system in that folder
#define IDS_BROWSE_TITLE 30008             // folder-browse dialog title
#define IDS_WIZARD_CAPTION 30009           // wizard and progress window caption
#define IDS_ASK_ABORT 30010                // question: abort the installation?
#define IDS_INSTALL_FAILED 30011           // the wizard's installation failed
#define IDS_BUTTON_FINISH 30012            // Next button on the last page
#define IDS_BUTTON_NEXT 30013              // Next button on the other pages
#define IDS_STATE_CLOSING_MODULES 30014    // state text while modules are asked to close
#define IDS_CLOSE_MODULES_FAILED 30015     // the modules could not be closed
#define IDS_STATE_REMOVING_PREVIOUS 30016  // state text while the previous version is removed
#define IDS_REMOVE_PREVIOUS_FAILED 30017   // an entry of the previous version stays
#define IDS_INSTALL_FILE_FAILED 30018      // a file could not be installed
#define IDS_DELETE_FILE_FAILED 30019       // an older file could not be deleted
#define IDS_CREATE_FOLDER_FAILED 30020     // a folder could not be made
#define IDS_INSTALL_ERROR 30021            // the installation failed, the reason nested
#define IDS_INSTALLER_DAMAGED 30022        // the payload is damaged, with a code
#define IDS_STATE_COPYING 30023            // state text for each extracted file
#define IDS_NO_START_MENU_GROUP 30024      // the configuration names no group
#define IDS_BAD_UNINSTALL_DATA 30030       // the uninstall section is malformed
#define IDS_STATE_INSTALLING 30031         // state text of the installation's start
#define IDS_INSTALLING_TITLE 30032         // "Installing: <title>"
#define IDS_INIT_ERROR 30033               // the configuration could not be loaded
#define IDS_ASK_EXPRESS_UPDATE 30034       // question: express update of the previous version?
#define IDS_SETUP_TITLE 30035              // the default setup title
#define IDS_ASK_NEEDS_64BIT 30036          // question: a 64-bit product on a 32-bit system
#define IDS_PARPROC_CONNECT_FAILED 30037   // the main system could not be connected
#define IDS_ASK_RETRY_DELETE 30038         // question: retry deleting a file?
#define IDS_ASK_FOLDER_NOT_EMPTY 30039     // question: the target folder is not empty
#define IDS_TARGET_FOLDER_REFUSED 30040    // the target folder cannot be installed into
#define IDS_LICENCE_UNREADABLE 30041       // the licence text cannot be read (why)
#define IDS_WRITE_FILE_FAILED 30042        // a file could not be written, with the system's reason
#define IDS_LICENCE_NOT_RTF 30043          // why: it is not an RTF document
#define IDS_LICENCE_DAMAGED 30044          // why: the document is damaged
#define IDS_LICENCE_TOO_DEEP 30045         // why: its groups nest too deeply
#define IDS_WRITE_ERROR_REASON 30046       // writing a named file failed, with the system's reason
#define IDS_ENTRY_NAME_TOO_LONG 30047      // a payload entry's name is too long to install

// Libraries
#define IDS_UNKNOWN_EXCEPTION 31001        // an exception of an unknown type
#define IDS_STD_EXCEPTION 31002            // a standard exception's text
#define IDS_OUT_OF_MEMORY 31003            // out of memory
#define IDS_CAPTION_ERROR 31014            // message dialog captions
#define IDS_CAPTION_WARNING 31015
#define IDS_CAPTION_INFORMATION 31016
#define IDS_CAPTION_QUESTION 31017
#define IDS_NO_TIME 31018                  // a date-time text for no time
#define IDS_READ_ERROR 31019               // reading a named item failed
#define IDS_READ_ERROR_DETAIL 31020        // the same, with the reason
#define IDS_WRITE_ERROR 31021              // writing a named stream failed
#define IDS_STREAM_READ_ERROR 31023        // reading an unnamed stream failed
#define IDS_FILE_CREATE_ERROR 31025        // file open errors by open mode
#define IDS_FILE_OPEN_WRITE_ERROR 31026
#define IDS_FILE_OPEN_READ_ERROR 31027
#define IDS_FILE_OPEN_ERROR 31028
#define IDS_GZIP_FORMAT_ERROR 31029        // gzip data is malformed
#define IDS_GZIP_READ_ERROR 31030          // gzip data cannot be read
#define IDS_XINI_WRITE_ERROR 31037         // an x-ini document cannot be written
#define IDS_XINI_FORMAT_ERROR 31038        // an x-ini document is malformed
#define IDS_XINI_FORMAT_ERROR_AT 31039     // the same, at a path
#define IDS_ITEM_NOT_FOUND 31040           // a required item is missing
#define IDS_WRONG_LEVEL 31041              // a section level that does not exist
#define IDS_ITEM_WRITE_ERROR 31042         // an item cannot be written
#define IDS_TYPE_MISMATCH 31044            // an item of another type
