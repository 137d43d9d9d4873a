// The calling convention of the zip libraries' entries and callbacks: __stdcall on Windows, as
// every caller of zip32.dll and unzip32.dll expects, and the platform's own elsewhere.
#pragma once

#if defined(_WIN32)
#define ZIP32_API __stdcall
#else
#define ZIP32_API
#endif
