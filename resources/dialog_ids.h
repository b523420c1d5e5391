/* Control ids of the two dialog templates, shared by the script and the dialog code. */
#pragma once

#define IDB_CONFIG_PICTURE 108

#define IDC_PASSWORD 1015
#define IDC_CONFIRM_PASSWORD 1016

#define IDC_RACE_1 1016
#define IDC_RACE_2 1018
#define IDC_FLEET_SIZE_1 1029
#define IDC_FLEET_SIZE_2 1030
#define IDC_RES_640 1031
#define IDC_RES_800 1032
#define IDC_RES_1024 1033
#define IDC_RES_1152 1034
#define IDC_RES_1280 1035
#define IDC_RES_1600 1036
#define IDC_RES_DESKTOP 1037
#define IDC_ADD_1 1039
#define IDC_REMOVE_1 1040
#define IDC_LIST_1 1041
#define IDC_ADD_2 1042
#define IDC_REMOVE_2 1043
#define IDC_LIST_2 1044
