// Dialog templates and control ids of the chainer's resource script.
#pragma once

#define IDD_STATUS 201
#define IDD_PROGRESS 216
#define IDD_CREDENTIALS 225

#define IDC_STATUS_TEXT 1001
#define IDC_PROGRESS_TEXT 1034
#define IDC_PROGRESS_BAR 1035
#define IDC_USER_NAME 1061
#define IDC_PASSWORD 1062
#define IDC_REMEMBER 1063
#define IDC_CREDENTIALS_TEXT 1067
#define IDC_USER_NAME_LABEL 1068
#define IDC_PASSWORD_LABEL 1069
#define IDC_SIZE_GRIP 0xE801
