// Resource numbers of the chainer's string table, icons and manifest.
#pragma once

#define IDS_INSTALLING 153
#define IDS_SETUP_TITLE 161
#define IDS_OPENING_SITE 198
#define IDS_DOWNLOADING 199
#define IDS_SITE_OPENED 200
#define IDS_REBOOT_PROMPT 216
#define IDS_CONFIRMATION 217
#define IDS_PREPARING 220
#define IDS_SEARCHING 223
#define IDS_CONNECT_TO 245
#define IDS_CREDENTIALS_PROMPT 246
#define IDS_MANDATORY_MISSING 276
#define IDS_LOGIN_SERVER 300
#define IDS_LOGIN_PROXY 301
#define IDS_FILE_REJECTED 302
#define IDS_DOWNLOAD_CANCELED 303
#define IDS_MANDATORY_DOWNLOAD_FAILED 304
#define IDS_HTTP_STATUS_FROM 305
#define IDS_FAILURE_AT 306
#define IDS_SIZE_MISMATCH 307
#define IDS_INCOMPLETE 308
#define IDS_ALREADY_RUNNING 309
// The texts of dialog controls, set at run time so that one template serves every language.
#define IDS_SKIP 310
#define IDS_CANCEL 311
#define IDS_OK 312
#define IDS_USER_NAME_LABEL 313
#define IDS_PASSWORD_LABEL 314
#define IDS_REMEMBER_CREDENTIALS 315
#define IDS_ERROR_TITLE 316
#define IDS_CLOSE 317
#define IDS_SHOW_DETAILS 318
#define IDS_HIDE_DETAILS 319
#define IDS_COPY 320
// The progress bar's name for screen readers.
#define IDS_STEP_OF 321
#define IDS_NETWORK_ERROR 322
#define IDS_UNEXPECTED_ERROR 65001

// The chainer's icon (the first icon of the executable, so the shell shows it too).
#define IDI_CHAINER 100
