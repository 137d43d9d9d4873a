// <windows.h> for the Win32 implementations, without the macros that would rename the
// program's own operations (DeleteFile, MoveFile, MessageBox): code here calls the ...W
// functions by their full names.
#pragma once

#include <windows.h>

#undef DeleteFile
#undef MoveFile
#undef MessageBox

// Missing from mingw-w64's winerror.h: CreateProcess's answer for a program whose manifest asks
// for more rights than the caller has.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif
