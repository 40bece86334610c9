// Numeric identifiers of setup.exe's resources and dialog controls, shared
// by the resource script and the code.
#pragma once

#define IDI_SETUP_ICON 110

#define IDD_AGREEMENT 111
#define IDC_AGREEMENT_TEXT 1101

#define IDD_PROGRESS 109
#define IDC_PROGRESS_PERCENT 1002
#define IDC_PROGRESS_ITEM 1100

#define IDD_CHOOSE_FOLDER 24000
#define IDC_PARENT_FOLDER 24001
#define IDC_APPLICATION_FOLDER 24002
#define IDC_BROWSE 24003
