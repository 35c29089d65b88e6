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
#define IDS_UNEXPECTED_ERROR 65001

// The chainer's icon (the first icon of the executable, so the shell shows it too).
#define IDI_CHAINER 100
