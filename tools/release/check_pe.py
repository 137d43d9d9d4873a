#!/usr/bin/python3
"""Static checks of the 32-bit release: what Wine cannot show of the binaries.

    check_pe.py BIN_DIR     checks the binaries of the package in BIN_DIR
    check_pe.py --names     prints their names, one a line, in the package's order

BINARIES below is the one list of what the package holds. For each binary: a PE32 image for i386;
the tool a GUI program whose embedded manifest asks for administrator rights, names every Windows
from Vista to 11, asks for Common Controls 6 and sets neither DPI awareness nor a code page; each
DLL without a manifest, exporting exactly its undecorated entries, each returning with the
__stdcall stack size its callers push; every import one of the functions in IMPORTS.

Prints one line per check ("ok ..." or "FAIL ...") and then "N passed, N failed"; exits non-zero
when a check fails. Runs with Debian's python3 (it needs python3-pefile) and the mingw objdump.
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

import pefile

OBJDUMP = "i686-w64-mingw32-objdump"
RT_MANIFEST = 24

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10/11",
}

# Entry: bytes of arguments the caller pushes, which a __stdcall function pops with "ret N".
EXPORTS = {
    "zip32.dll": {"ZpInit": 4, "ZpSetOptions": 4, "ZpArchive": 12},
    "unzip32.dll": {"UzpSetCreateLimit": 4, "UzpVersion2": 4, "Wiz_SingleEntryUnzip": 24},
}

# The binaries of the package, in its order, each with its kind: "gui" (the window program, with
# the manifest checked below), "console" (a console program) or "dll" (with its entries in EXPORTS).
BINARIES = {
    "OrlaventSupportTool.exe": "gui",
    "zip32.dll": "dll",
    "unzip32.dll": "dll",
    "ovdesk.exe": "console",
}
SUBSYSTEMS = {"gui": 2, "console": 3}

# Every function the binaries import, by DLL. Each one exists in Windows 7 SP1, the oldest Windows
# the release runs on. An import that is not here fails the check: a new one, from our code or from
# a newer mingw-w64 runtime, is looked up in the documentation of Windows 7 SP1 and added on purpose.
# ovdesk's C++ streams and locales bring the C runtime's stdio, ctype and collation functions.
IMPORTS = {
    "advapi32.dll": "RegCloseKey RegEnumKeyExA RegOpenKeyA RegOpenKeyExA RegQueryValueExA",
    "comdlg32.dll": "CommDlgExtendedError GetSaveFileNameW",
    "gdi32.dll": """
        CreateCompatibleDC CreateDIBSection CreateFontIndirectW CreatePatternBrush DeleteDC
        DeleteObject GdiFlush GetDeviceCaps GetStockObject SelectObject SetBkMode SetBrushOrgEx
        SetTextColor
    """,
    "kernel32.dll": """
        AddVectoredExceptionHandler CloseHandle CreateDirectoryW CreateEventA CreateFileW
        CreateProcessW CreateSemaphoreA DeleteCriticalSection DeleteFileW DuplicateHandle
        EnterCriticalSection ExitProcess FileTimeToLocalFileTime FileTimeToSystemTime FindClose
        FindFirstFileExW FindFirstFileW FindNextFileW FindResourceW FlushFileBuffers
        FormatMessageA FormatMessageW FreeLibrary GetACP GetConsoleMode GetCurrentProcess GetCurrentProcessId
        GetCurrentThread GetCurrentThreadId GetDateFormatW GetDiskFreeSpaceExW GetDiskFreeSpaceW GetDriveTypeW
        GetExitCodeProcess GetFileAttributesExW GetFileAttributesW GetFileInformationByHandle
        GetFileInformationByHandleEx GetFileSizeEx GetFullPathNameW
        GetHandleInformation GetLastError GetLocaleInfoW GetLogicalDriveStringsW GetModuleHandleA
        GetModuleHandleW GetOEMCP GetProcAddress GetProcessAffinityMask GetStartupInfoW GetStdHandle
        GetSystemDirectoryW GetSystemInfo GetSystemTimeAsFileTime GetThreadContext
        GetThreadPriority GetTickCount64 GetTimeFormatW GetVersionExA GetVolumeInformationW GetVolumePathNameW
        GetWindowsDirectoryW GlobalMemoryStatus InitializeCriticalSection IsDBCSLeadByteEx
        IsDebuggerPresent IsValidCodePage LCMapStringW LeaveCriticalSection LoadLibraryA LoadLibraryW LoadResource
        LocalFileTimeToFileTime LocalFree LockResource MoveFileExW MulDiv MultiByteToWideChar
        OpenProcess OutputDebugStringA RaiseException ReadFile ReleaseSemaphore RemoveDirectoryW
        RemoveVectoredExceptionHandler ResetEvent ResumeThread SetEndOfFile SetErrorMode SetEvent
        SetFileAttributesW SetFilePointerEx SetFileTime SetLastError SetProcessAffinityMask
        SetThreadContext SetThreadErrorMode SetThreadPriority SetUnhandledExceptionFilter
        SizeofResource Sleep SuspendThread SystemTimeToFileTime SystemTimeToTzSpecificLocalTime
        TerminateProcess TlsAlloc TlsGetValue TlsSetValue TryEnterCriticalSection VirtualProtect
        VirtualQuery WaitForMultipleObjects WaitForSingleObject WideCharToMultiByte WriteConsoleW WriteFile
    """,
    "mpr.dll": "WNetGetConnectionW",
    "msimg32.dll": "AlphaBlend",
    "msvcrt.dll": """
        __mb_cur_max __p__commode __p__fmode __p__wcmdln __set_app_type __setusermatherr
        __wgetmainargs __winitenv _amsg_exit _assert _beginthreadex _cexit _close _endthreadex
        _errno _initterm _iob _lock _onexit _read _setjmp3 _strdup _ultoa _unlock abort atoi
        calloc exit fflush fprintf fputc fputs free fwrite isalpha localeconv longjmp malloc memchr
        memcmp memcpy memmove memset printf realloc setlocale signal strchr strcmp strerror strlen
        strncmp tolower vfprintf wcscpy_s wcslen
        _fdopen _filelengthi64 _fileno _fstat64 _lseeki64 _stat _wfopen _write fclose fgetpos fopen
        fread fsetpos getc getenv getwc islower isspace isupper iswctype putc putwc setvbuf strcoll
        strftime strtoul strxfrm towlower towupper ungetc ungetwc wcscoll wcsftime wcsxfrm
        isxdigit strtol
    """,
    "ole32.dll": "CoCreateInstance CoInitializeEx CoUninitialize",
    "shell32.dll": "ShellExecuteExW",
    "user32.dll": """
        AdjustWindowRectEx BeginPaint CharLowerBuffW CreateWindowExW DefWindowProcW DestroyIcon
        DestroyWindow DialogBoxIndirectParamW DispatchMessageW EndDialog EndPaint GetClientRect
        GetCursorPos GetDC GetDlgItem GetMessageW GetSystemMetrics GetWindowLongW
        GetWindowTextLengthW GetWindowTextW InvalidateRect IsChild IsWindow LoadCursorW LoadImageW
        MessageBoxW MsgWaitForMultipleObjects PeekMessageW PostQuitMessage PtInRect
        RegisterClassExW ReleaseCapture ReleaseDC SendMessageW SetCapture SetCursor
        SetDlgItemTextW SetFocus SetWindowLongW SetWindowPos SetWindowTextW ShowWindow
        TranslateMessage UpdateWindow WindowFromPoint
    """,
}
IMPORTS = {dll: set(names.split()) for dll, names in IMPORTS.items()}

passed = 0
failed = 0


def check(ok, what):
    global passed, failed
    if ok:
        passed += 1
        print("ok   " + what)
    else:
        failed += 1
        print("FAIL " + what)


def local(tag):
    return tag.rsplit("}", 1)[-1]


def manifest_of(pe):
    """The text of resource 1 of type RT_MANIFEST, or None."""
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != RT_MANIFEST:
            continue
        for name in kind.directory.entries:
            if name.id != 1:
                continue
            for lang in name.directory.entries:
                data = lang.data.struct
                return pe.get_data(data.OffsetToData, data.Size).decode("utf-8")
    return None


def check_manifest(pe, exe):
    text = manifest_of(pe)
    check(text is not None, exe + ": manifest is resource 1 of type RT_MANIFEST")
    if text is None:
        return
    root = ET.fromstring(text)
    elements = list(root.iter())
    levels = [e.get("level") for e in elements if local(e.tag) == "requestedExecutionLevel"]
    check(levels == ["requireAdministrator"], exe + ": requestedExecutionLevel requireAdministrator (%s)" % levels)
    ids = {e.get("Id", "").lower() for e in elements if local(e.tag) == "supportedOS"}
    check(ids == set(SUPPORTED_OS), exe + ": supportedOS for Vista, 7, 8, 8.1 and 10/11 (%s)"
          % ", ".join(sorted(SUPPORTED_OS.get(i, i) for i in ids)))
    controls = [e for e in elements if local(e.tag) == "assemblyIdentity"
                and e.get("name") == "Microsoft.Windows.Common-Controls"]
    check(len(controls) == 1 and controls[0].get("version") == "6.0.0.0"
          and controls[0].get("publicKeyToken") == "6595b64144ccf1df",
          exe + ": depends on Common Controls 6")
    unwanted = sorted({local(e.tag) for e in elements
                       if local(e.tag) in ("dpiAware", "dpiAwareness", "activeCodePage")})
    check(not unwanted, exe + ": no DPI awareness and no activeCodePage (%s)" % (unwanted or "none"))


def first_return(path, address, image_end):
    """The bytes popped by the 'ret' that ends the export at `address` ("ret $0xc" gives 12, a bare
    "ret" 0), or None when none is found. An export that ends in a jump to the function doing the
    work (a tail call) is followed there, and that function's first 'ret' counts."""
    def listing(start):
        out = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", "--start-address=%#x" % start,
                              "--stop-address=%#x" % min(start + 0x4000, image_end), path],
                             capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            m = re.match(r"\s*[0-9a-f]+:\s+(\S+)\s*(.*)", line)
            if m:
                yield m.groups()

    def popped(args):
        n = re.match(r"\$0x([0-9a-f]+)", args)
        return int(n.group(1), 16) if n else 0

    for op, args in listing(address):
        if op.startswith("ret"):
            return popped(args)
        if op == "jmp":
            target = re.match(r"(?:0x)?([0-9a-f]+)\b", args)
            if not target:
                return None  # an indirect jump: nowhere to follow
            for op2, args2 in listing(int(target.group(1), 16)):
                if op2.startswith("ret"):
                    return popped(args2)
            return None
    return None


def check_exports(pe, path, name, wanted):
    exported = {}
    for symbol in getattr(pe, "DIRECTORY_ENTRY_EXPORT", None) and pe.DIRECTORY_ENTRY_EXPORT.symbols or []:
        if symbol.name:
            exported[symbol.name.decode()] = symbol.address
    check(sorted(exported) == sorted(wanted), name + ": exports exactly %s (%s)"
          % (", ".join(sorted(wanted)), ", ".join(sorted(exported)) or "none"))
    base = pe.OPTIONAL_HEADER.ImageBase
    end = base + pe.OPTIONAL_HEADER.SizeOfImage
    for entry, size in sorted(wanted.items()):
        if entry not in exported:
            continue
        popped = first_return(path, base + exported[entry], end)
        check(popped == size, "%s: %s returns with ret %d (found %s)" % (name, entry, size, popped))


def check_binary(folder, name):
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        check(False, name + ": present in " + folder)
        return
    pe = pefile.PE(path)
    check(pe.OPTIONAL_HEADER.Magic == 0x10B and pe.FILE_HEADER.Machine == 0x14C, name + ": PE32 for i386")
    is_dll = pe.FILE_HEADER.Characteristics & 0x2000 != 0
    kind = BINARIES[name]
    if kind == "dll":
        check(is_dll, name + ": a DLL")
        check(manifest_of(pe) is None, name + ": carries no manifest")
        check_exports(pe, path, name, EXPORTS[name])
    else:
        check(not is_dll and pe.OPTIONAL_HEADER.Subsystem == SUBSYSTEMS[kind],
              "%s: a %s program (subsystem %d)" % (name, kind, SUBSYSTEMS[kind]))
    if kind == "gui":
        check_manifest(pe, name)
    check_imports(pe, name)


def check_imports(pe, name):
    unlisted = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", []):
        dll = entry.dll.decode()
        for function in entry.imports:
            called = function.name.decode() if function.name else "#%d" % function.ordinal
            if called not in IMPORTS.get(dll.lower(), ()):
                unlisted.append("%s!%s" % (dll, called))
    check(not unlisted, name + ": imports only the listed functions of Windows 7 SP1 (not listed: %s)"
          % (", ".join(sorted(unlisted)) or "none"))


def main():
    if len(sys.argv) != 2:
        print("\n".join(__doc__.strip().splitlines()[2:4]), file=sys.stderr)
        return 2
    if sys.argv[1] == "--names":
        print("\n".join(BINARIES))
        return 0
    for name in BINARIES:
        check_binary(sys.argv[1], name)
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
