# Sourced by the scripts: makes sure the Debian packages the build and the tests need are there.
# As root it installs what is missing; otherwise it prints the one apt-get line to run and stops.

VURK_PACKAGES="cmake ninja-build g++ pkgconf qt6-base-dev libxcb1-dev libfontconfig-dev libglib2.0-dev
  xvfb xauth openbox xdotool x11-utils imagemagick fonts-noto-cjk
  dovecot-core dovecot-pop3d openssl python3
  clang libclang-rt-14-dev
  desktop-file-utils appstream dpkg-dev fakeroot file man-db"

vurk_missing_packages() {
    local missing="" p
    for p in $VURK_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    echo "$missing"
}

vurk_ensure_packages() {
    local missing
    missing=$(vurk_missing_packages)
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Run this, then try again:" >&2
        echo "  sudo apt-get install -y$missing" >&2
        exit 1
    fi
    echo "Installing:$missing" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >&2
    # Package scripts must not start services (dovecot) on this machine; the tests run their own.
    local policy=/usr/sbin/policy-rc.d created=""
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' > "$policy" && chmod +x "$policy" && created=1
    fi
    apt-get install -y -qq --no-install-recommends $missing >&2
    local rc=$?
    [ -n "$created" ] && rm -f "$policy"
    [ $rc -eq 0 ] || { echo "apt-get install failed" >&2; exit 1; }
}

# Configures (once) and builds a build tree; a second run only rebuilds what changed.
vurk_build() {
    local dir=$1 type=$2; shift 2
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$VURK_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >&2 || exit 1
    fi
    cmake --build "$dir" -j"$(nproc)" >&2 || exit 1
}
