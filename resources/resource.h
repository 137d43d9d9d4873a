/* Resource identifiers shared by app.rc and the window code. */
#pragma once
#define IDI_APP 1
#define IDR_SKIN_JPEG 101
#define IDR_BUTTON_GIF 102
