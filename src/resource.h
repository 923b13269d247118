// Resource ids shared by the resource module's script, the tool's own
// script and the code. The numbers are fixed: the player's resource module
// and the association tool must agree on every one of them.
#ifndef KORVANE_RESOURCE_H
#define KORVANE_RESOURCE_H

// Icon groups of the resource module
#define IDI_DEFAULT_TYPE        101
#define IDI_APE                 102
#define IDI_CDA                 103
#define IDI_FLAC                104
#define IDI_PLAYLIST            105
#define IDI_MP3                 107
#define IDI_OGG                 108
#define IDI_WAV                 109
#define IDI_WMA                 110

// Strings of the resource module
#define IDS_ICON_FILTER         10138
#define IDS_ICON_BROWSE_TITLE   10139
#define IDS_VERB_OPEN           10140
#define IDS_VERB_PLAY           10141
#define IDS_VERB_ADD            10142
#define IDS_VERB_OPENNEW        10143
#define IDS_VERB_FOLDER         10144
#define IDS_DESC_FIRST          10145   // 10145..10154: built-in descriptions
#define IDS_VERB_OPENPARENT     10404
#define IDS_COLUMN_EXTENSION    10415
#define IDS_COLUMN_DESCRIPTION  10416
#define IDS_CANCEL_CAPTION      10420
#define IDS_CANCEL_QUESTION     10422
#define IDS_EXTENSION_TOO_LONG  10430   // why the edit dialog refuses an extension
#define IDS_EXTENSION_BAD_CHAR  10431
#define IDS_EXTENSION_ONLY_DOTS 10432
#define IDS_ICON_NOT_LOCAL      10433   // why the icon picker refuses a file from Browse
#define IDS_EXTENSION_RUNS      10434   // the edit dialog's refusal of a type Windows runs

// Strings of the association report (KorvaneAssocCheck.exe)
#define IDS_REPORT_TITLE            10500
#define IDS_REPORT_USAGE            10501
#define IDS_REPORT_SETTINGS         10502
#define IDS_REPORT_SETTINGS_NONE    10503
#define IDS_REPORT_SETTINGS_MISSING 10504
#define IDS_REPORT_SETTINGS_NO_LIST 10505
#define IDS_REPORT_SETTINGS_TYPES   10506   // %u: the number of stored types
#define IDS_REPORT_DEFAULT_PROGRAMS 10507
#define IDS_REPORT_AUDIOCD          10508
#define IDS_REPORT_FOLDER           10509
#define IDS_REPORT_CAPABILITY_64    10510
#define IDS_REPORT_CAPABILITY_32    10511
#define IDS_REPORT_CLASS            10512
#define IDS_REPORT_ICON             10513
#define IDS_REPORT_VERB             10514
#define IDS_REPORT_OWNER            10515
#define IDS_REPORT_BACKUP           10516
#define IDS_REPORT_USER_CHOICE      10517
#define IDS_REPORT_STORED           10518
#define IDS_REPORT_MISSING          10519
#define IDS_REPORT_NONE             10520
#define IDS_REPORT_YES              10521
#define IDS_REPORT_NO               10522
#define IDS_REPORT_OWNER_PLAYER     10523
#define IDS_REPORT_OWNER_OTHER      10524
#define IDS_REPORT_FILE_EXISTS      10525
#define IDS_REPORT_FILE_MISSING     10526
#define IDS_REPORT_ICON_LOADS       10527
#define IDS_REPORT_ICON_FAILS       10528
#define IDS_REPORT_CLIENT_EXISTS    10529
#define IDS_REPORT_CLIENT_MISSING   10530
#define IDS_REPORT_VIEW_64          10531
#define IDS_REPORT_VIEW_32          10532
#define IDS_REPORT_COMMAND          10533
#define IDS_REPORT_NAME             10534
#define IDS_REPORT_SUMMARY          10535   // %1..%5: types in all, then by TypeStatus; %6: opening with the player
#define IDS_REPORT_CLIENT_UNCHECKED 10536
#define IDS_REPORT_DOUBLE_CLICK     10537
#define IDS_REPORT_OPENS_PLAYER     10538
#define IDS_REPORT_OPENS_OTHER      10539   // %1: the program's name, %2: its class
#define IDS_REPORT_WINDOWS_ASKS     10560
#define IDS_REPORT_CLASS_MISSING    10561
#define IDS_REPORT_LEFT_OUT         10562
#define IDS_REPORT_ICON_NOT_LOCAL   10563
#define IDS_REPORT_OWNER_CLASS_MISSING 10564  // the Finding after RunStopped
#define IDS_REPORT_NONE_LISTED      10565   // /defaultassociations: no type to list
#define IDS_REPORT_NOT_WRITTEN      10566   // /defaultassociations /out: the file could not be written
#define IDS_REPORT_NOT_IN_PLACE     10567   // /verify: a type the silent registration registers is not registered
#define IDS_REPORT_RUN_STOPPED_VERIFY 10568 // /verify: a run stopped half way
#define IDS_REPORT_WINDOWS_RUNS_TYPE 10569  // the Finding after OwnerClassMissing
#define IDS_REPORT_SETTINGS_UNREADABLE 10570
#define IDS_REPORT_STATUS_FIRST     10540   // 10540..10543: TypeStatus in order
#define IDS_REPORT_FINDING_FIRST    10550   // 10550..10559: Finding in order (RunStopped: %1 the change's name)

// Dialog templates of the resource module
#define IDD_FILETYPE_EDIT       265
#define IDD_FILETYPES           3040
#define IDD_MAIN                3041
#define IDD_ICON_PICKER         3042

// Main association dialog (3041)
#define IDC_EXEC_DOPEN          1014
#define IDC_EXEC_ADDOPEN        1015
#define IDC_EXEC_OPEN           1016
#define IDC_EXEC_ADD            1017
#define IDC_EXEC_ADDOPENPARENT  1335
#define IDC_VERB_PLAY           1019
#define IDC_VERB_ADD            1020
#define IDC_VERB_OPENNEW        1022
#define IDC_VERB_OPENPARENT     1023
#define IDC_FOLDER_VERB         1329
#define IDC_AUDIOCD             1350
#define IDC_OK_AND_LEAVE        1348

// File types dialog (3040)
#define IDC_TYPE_LIST           1343
#define IDC_TYPE_ADD            1344
#define IDC_TYPE_REMOVE         1346
#define IDC_TYPE_EDIT           1347
#define IDC_TYPES_BACK          1348
#define IDC_OPEN_DEFAULT_APPS   1360

// File type edit dialog (265)
#define IDC_EDIT_EXTENSION      1330
#define IDC_EDIT_DESCRIPTION    1331
#define IDC_EDIT_ICON_LOCATION  1332
#define IDC_EDIT_CHANGE_ICON    1348
#define IDC_EDIT_ICON           1349

// Icon picker dialog (3042)
#define IDC_PICKER_PATH         1001
#define IDC_PICKER_BROWSE       1019
#define IDC_PICKER_LIST         1020

// The tool's own resources
#define IDR_VERSION             1

// The version of the tool and the report, in their version resources and in
// the report's JSON
#define KORVANE_VERSION_NUMBERS 1,1,0,0
#define KORVANE_VERSION_TEXT    "1.1.0.0"

#endif
