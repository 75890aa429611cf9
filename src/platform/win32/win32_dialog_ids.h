/* Resource identifiers of the settings window, shared by its resource script and code. */
#pragma once

/* The chevron pictures, as GIF89a data. */
#define IDR_CHEVRON_DOWN 201
#define IDR_CHEVRON_UP 202
