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
    wine wine64 fonts-wine fonts-liberation
    xvfb x11-utils imagemagick
    zip unzip p7zip-full libarchive-tools time locales
    clang-14 libclang-rt-14-dev
    python3-pefile osslsigncode openssl
    nlohmann-json3-dev libcli11-dev dpkg-dev
)

# What building and packing ovdesk alone needs (the preset ovdesk, the workflow ovdesk-deb).
OST_DESK_PACKAGES=(cmake ninja-build g++ pkg-config zlib1g-dev nlohmann-json3-dev libcli11-dev dpkg-dev file)

log() { printf '\n== %s\n' "$*" >&2; }

# install_packages [PACKAGE...]: installs whichever of the packages (by default OST_PACKAGES) is
# missing (needs root to install).
install_packages() {
    local missing=() p wanted=("$@")
    [ ${#wanted[@]} -eq 0 ] && wanted=("${OST_PACKAGES[@]}")
    for p in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages: ${missing[*]} (run as root, or install them first)" >&2
        return 1
    fi
    log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >/dev/null &&
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
