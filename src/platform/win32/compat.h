// <windows.h> for the Win32 implementations, without the macros that would rename the
// program's own operations (DeleteFile, MoveFile, MessageBox): code here calls the ...W
// functions by their full names.
#pragma once

#include <windows.h>

#undef DeleteFile
#undef MoveFile
#undef MessageBox
