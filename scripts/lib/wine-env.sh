# Wine settings shared by scripts/run, scripts/test and scripts/wine-exec.
# shellcheck shell=bash

# wine_env PREFIX [ARCH]: selects the prefix, win64 (the default: a 64-bit Windows, where 32-bit
# programs run as under WoW64) or win32 (a 32-bit Windows), and keeps Wine quiet and free of
# Mono/Gecko installers.
wine_env() {
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=${2:-win64}
}

# wine_installed: the installed Wine, as a prefix records it: a prefix made by another one may not
# start (a 64-bit prefix made before wine32 was installed no longer does).
wine_installed() {
    printf '%s %s\n' "$(wine --version 2>/dev/null)" \
        "$(dpkg-query -W -f='${Version}' wine32:i386 2>/dev/null || echo no-wine32)"
}

# wine_prepare_prefix [PERSIST_SECONDS]: makes sure the prefix exists and its server runs with
# Wine's own background processes (services, the desktop window) started by it, all with their
# standard streams closed. A test's wine that had to start any of them itself would hand them its
# standard streams, and they would hold ctest's pipes open after the test. Without an argument the
# server stays until `wineserver -k`; with one it ends that many seconds after its last client.
# A server that is already running is left as it is (wineserver then exits with status 2).
wine_prepare_prefix() {
    local persist=${1:-}
    mkdir -p "$WINEPREFIX"
    (
        # One preparer at a time: parallel test runs may arrive here together. The lock's
        # descriptor is closed for everything started here, so no long-lived process keeps it.
        exec 9>"$WINEPREFIX.lock"
        flock 9
        local fresh=0 installed
        installed=$(wine_installed)
        if [ -f "$WINEPREFIX/.ost-ready" ] && [ "$(cat "$WINEPREFIX/.ost-ready")" != "$installed" ]; then
            wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
            find "$WINEPREFIX" -mindepth 1 -delete  # made by another Wine: made afresh
        fi
        if wineserver "-p$persist" </dev/null >/dev/null 2>&1 9>&-; then fresh=1; fi
        if [ ! -f "$WINEPREFIX/.ost-ready" ]; then
            # Windows are left unmanaged: with no window manager on the display (Xvfb), Wine then
            # draws the frame and caption itself and does not wait seconds for a manager that
            # never answers when a window is hidden or closed.
            # Wine's own fonts (Marlett draws the caption buttons, Tahoma the dialogs) go where a
            # Windows machine keeps its fonts; this Wine build does not look in its data folder.
            wineboot -i </dev/null >/dev/null 2>&1 9>&- &&
                { cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true; } &&
                wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&- &&
                printf '%s\n' "$installed" >"$WINEPREFIX/.ost-ready"
        elif [ $fresh = 1 ]; then
            wineboot </dev/null >/dev/null 2>&1 9>&-
        fi
        if [ $fresh = 1 ]; then
            wine rundll32.exe user32.dll,GetDesktopWindow </dev/null >/dev/null 2>&1 9>&- || true
        fi
    )
    [ -f "$WINEPREFIX/.ost-ready" ] || { echo "wine-env: could not create the Wine prefix $WINEPREFIX" >&2; return 1; }
}

# wine_stop: stops the prefix's server and every Windows process in it.
wine_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
        timeout 20 wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
}
