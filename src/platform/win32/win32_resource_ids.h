/* Resource identifiers of the program file, shared by its resource scripts and code. */
#pragma once

/* The application icon: the lowest icon identifier, so the shell shows it for the file. */
#define IDI_ZIMOKLAS 1
/* The screen saver's name as the display settings list it. */
#define IDS_SAVER_NAME 1
