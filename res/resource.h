// Identifiers of the program's resources and of the main dialog's controls.
#pragma once

#define IDD_KESTRAVA_DIALOG 102
#define IDR_MAINFRAME 128

// Values and the report (IDOK, 1, is the "Close" button).
#define IDC_MODEL 1001
#define IDC_BUILD 1003
#define IDC_GET_DATA 1004
#define IDC_FW_VERSION 1007
#define IDC_SERIAL_NUMBER 1009
#define IDC_STATUS 1011
#define IDC_REPORT 1021
#define IDC_FAILURE_HINT 1022  // beside the buttons, shown only when a run has advice

// Labels.
#define IDC_MODEL_LABEL 1000
#define IDC_BUILD_LABEL 1002
#define IDC_FW_VERSION_LABEL 1006
#define IDC_SERIAL_NUMBER_LABEL 1008

// Greyed, bordered boxes behind the values and the labels.
#define IDC_MODEL_BOX 1013
#define IDC_BUILD_BOX 1014
#define IDC_FW_VERSION_BOX 1015
#define IDC_SERIAL_NUMBER_BOX 1016
#define IDC_MODEL_LABEL_BOX 1017
#define IDC_BUILD_LABEL_BOX 1018
#define IDC_FW_VERSION_LABEL_BOX 1019
#define IDC_SERIAL_NUMBER_LABEL_BOX 1020
