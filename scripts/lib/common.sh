# Shared by scripts/run and scripts/test: packages, builds and the virtual display.
# shellcheck shell=bash

OST_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=scripts/lib/wine-env.sh
source "$OST_ROOT/scripts/lib/wine-env.sh"

# Everything the build, the tests and the tool need, from Debian's packages only.
OST_PACKAGES=(
    ca-certificates git cmake ninja-build g++ make pkg-config python3
    zlib1g-dev googletest libgtest-dev libgmock-dev
    g++-multilib lib32z1-dev qemu-user-static
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev
    wine wine64 fonts-wine fonts-liberation chromium
    xvfb x11-utils imagemagick
    zip unzip p7zip-full libarchive-tools time locales
    clang-14 libclang-rt-14-dev
    python3-pefile osslsigncode openssl
    nlohmann-json3-dev libcli11-dev libtomlplusplus-dev dpkg-dev
)

# What building and packing ovdesk alone needs (the preset ovdesk, the workflow ovdesk-deb).
OST_DESK_PACKAGES=(cmake ninja-build g++ pkg-config zlib1g-dev nlohmann-json3-dev libcli11-dev libtomlplusplus-dev dpkg-dev file)

# Installed where the kernel runs 32-bit code: Wine's 32-bit loader, which runs the 32-bit release
# in a 64-bit prefix (as WoW64 does) and in a 32-bit one. Where the kernel runs none, it is left
# out: Debian's wine then prefers it to the 64-bit loader, and no Windows program would start.
OST_I386_PACKAGES=(wine32:i386)

log() { printf '\n== %s\n' "$*" >&2; }

OST_I386=
# runs_i386: true when this machine's kernel runs 32-bit x86 programs (a fresh gcc -m32 program
# is started once; "Exec format error" means it runs none). Needs g++-multilib.
runs_i386() {
    if [ -z "$OST_I386" ]; then
        local probe
        probe=$(mktemp -d)
        OST_I386=no
        if printf 'int main(void) { return 0; }\n' | gcc -m32 -x c - -o "$probe/probe" 2>/dev/null &&
            "$probe/probe" 2>/dev/null; then
            OST_I386=yes
        fi
        rm -rf "$probe"
    fi
    [ "$OST_I386" = yes ]
}

# runs_release32: true when the 32-bit release is to run under wine32 here: the kernel runs 32-bit
# code, and OST_WIN32_TIER=1 asks for it. Until the tier has been seen to pass on such a kernel, a
# machine that could run it runs it only when asked, so that an untried tier cannot stop every run.
runs_release32() {
    [ "${OST_WIN32_TIER:-}" = 1 ] && runs_i386
}

# missing_packages NAME...: those of the packages that are not installed.
missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}

# install_packages [PACKAGE...]: installs whichever of the packages is missing (needs root to
# install); by default those of OST_PACKAGES, and of OST_I386_PACKAGES where the kernel runs 32-bit
# code.
install_packages() {
    if [ $# -gt 0 ]; then
        install_listed "$@"
        return
    fi
    install_listed "${OST_PACKAGES[@]}" || return 1
    runs_release32 || return 0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        [ "$(id -u)" -eq 0 ] || { echo "the i386 architecture is not enabled (run as root)" >&2; return 1; }
        dpkg --add-architecture i386 || return 1
        OST_APT_FRESH=  # the package lists lack the new architecture's until the next update
    fi
    install_listed "${OST_I386_PACKAGES[@]}"
}

OST_APT_FRESH=
# install_listed NAME...: installs those of the packages that are missing (the package lists are
# updated once per run).
install_listed() {
    local missing
    mapfile -t missing < <(missing_packages "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages: ${missing[*]} (run as root, or install them first)" >&2
        return 1
    fi
    log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    if [ -z "$OST_APT_FRESH" ]; then
        apt-get update -qq >/dev/null || return 1
        OST_APT_FRESH=yes
    fi
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build_preset NAME [TARGET...]: configures and builds one preset; warnings are errors under CI.
build_preset() {
    local preset=$1
    shift
    local werror=OFF
    [ -n "${CI:-}" ] && werror=ON
    log "building $preset"
    cmake --preset "$preset" -DOST_WERROR=$werror -S "$OST_ROOT" >/dev/null &&
        cmake --build --preset "$preset" ${1:+--target "$@"}
}

OST_XVFB_PID=
# start_xvfb: starts Xvfb on the first free display and exports DISPLAY; waits (bounded) until it
# answers. A display that another run takes at the same moment is passed over.
start_xvfb() {
    local n=90 tries i
    for tries in $(seq 1 20); do
        while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        OST_XVFB_PID=$!
        export DISPLAY=":$n"
        for i in $(seq 1 100); do
            xdpyinfo >/dev/null 2>&1 && return 0
            kill -0 "$OST_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        stop_xvfb
        n=$((n + 1))
    done
    echo "Xvfb could not be started" >&2
    return 1
}

stop_xvfb() {
    if [ -n "$OST_XVFB_PID" ]; then
        kill "$OST_XVFB_PID" 2>/dev/null || true
        wait "$OST_XVFB_PID" 2>/dev/null || true
        OST_XVFB_PID=
    fi
}

# windows_path PATH: a Unix path as the Windows programs under Wine see it (drive Z:).
windows_path() { printf 'Z:%s' "$(realpath "$1" | tr / '\\')"; }
