# Sourced by the scripts: makes sure the Debian packages they need are there, and builds the trees.
# As root it installs what is missing; otherwise it prints the one apt-get line to run and stops.
#
#   vurk_ensure_packages GROUP...   GROUP: build, run, package, test (the lists below)

# Compiling the program.
VURK_BUILD_PACKAGES="cmake ninja-build g++ pkgconf
  qt6-base-dev
  qtkeychain-qt6-dev
  libxcb1-dev
  libfontconfig-dev
  libglib2.0-dev
  libcanberra-dev
  libgmime-3.0-dev"

# Running it: the Japanese font, libsecret (QtKeychain loads it to reach the Secret Service), GMime
# (loaded at the first header decoded), and the private X server scripts/run uses without a display.
VURK_RUN_PACKAGES="fonts-noto-cjk libsecret-1-0 libgmime-3.0-0
  xvfb openbox xdotool x11-utils
  imagemagick
  libcanberra-pulse sound-theme-freedesktop"

# Making the .deb (cpack reads the binary's libraries with dpkg-shlibdeps, which needs file).
VURK_PACKAGE_PACKAGES="dpkg-dev file"

# Testing on top of all of the above: the private Dovecot and the hostile servers, the private session
# bus and GNOME Keyring, the sanitizer and fuzz build, the format check, and the checkers of the
# package's files.
VURK_TEST_PACKAGES="dovecot-core dovecot-pop3d openssl python3
  dbus-daemon dbus-bin dbus-x11 gnome-keyring libsecret-tools
  clang libclang-rt-14-dev
  clang-format
  desktop-file-utils appstream man-db lintian
  pulseaudio pulseaudio-utils dunst dbus-daemon dbus-bin python3-dbus python3-gi"

vurk_missing_packages() {
    local missing="" group list p
    for group in "$@"; do
        list="VURK_${group^^}_PACKAGES"
        [ -n "${!list+set}" ] || { echo "deps.sh: no package group '$group'" >&2; exit 2; }
        for p in ${!list}; do
            dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
        done
    done
    echo "$missing"
}

vurk_ensure_packages() {
    [ $# -gt 0 ] || { echo "vurk_ensure_packages: name the package groups" >&2; exit 2; }
    local missing
    missing=$(vurk_missing_packages "$@") || exit 2
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages. Run this, then try again:" >&2
        echo "  sudo apt-get install -y$missing" >&2
        exit 1
    fi
    echo "Installing:$missing" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq >&2 || { echo "apt-get update failed" >&2; exit 1; }
    # Package scripts must not start services (dovecot) on this machine; the tests run their own. The
    # guard is ours only if it was not there before, and it goes however the install ends.
    local rc=0 traps
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        traps=$(trap -p EXIT INT TERM HUP)
        trap 'rm -f /usr/sbin/policy-rc.d' EXIT
        trap 'rm -f /usr/sbin/policy-rc.d; exit 130' INT
        trap 'rm -f /usr/sbin/policy-rc.d; exit 143' TERM
        trap 'rm -f /usr/sbin/policy-rc.d; exit 129' HUP
        printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d || rc=1
        [ $rc -ne 0 ] || apt-get install -y -qq --no-install-recommends $missing >&2 || rc=$?
        rm -f /usr/sbin/policy-rc.d
        trap - EXIT INT TERM HUP
        eval "$traps"
    else
        apt-get install -y -qq --no-install-recommends $missing >&2 || rc=$?
    fi
    [ $rc -eq 0 ] || { echo "apt-get install failed" >&2; exit 1; }
}

# Configures a build tree the first time; later an option given here that the tree has otherwise is
# set again (so scripts/test turns -Werror on in a tree scripts/run made), the rest stays as it was.
vurk_configure() {
    local dir=$1 type=$2; shift 2
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$VURK_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >&2 || exit 1
        return 0
    fi
    local arg name have changed=()
    for arg in "$@"; do
        [[ $arg == -D*=* ]] || continue
        name=${arg#-D}
        name=${name%%=*}
        name=${name%%:*}
        have=$(sed -n "s/^$name:[A-Z]*=//p" "$dir/CMakeCache.txt")
        [ "$have" = "${arg#*=}" ] || changed+=("$arg")
    done
    [ ${#changed[@]} -eq 0 ] || cmake -B "$dir" "${changed[@]}" >&2 || exit 1
}

# Configures (once) and builds a build tree, all of it; a second run only rebuilds what changed.
vurk_build() {
    vurk_configure "$@"
    cmake --build "$1" -j"$(nproc)" >&2 || exit 1
}

# The tree scripts/sanitize and scripts/fuzz share: clang with AddressSanitizer, UndefinedBehaviorSanitizer
# and libFuzzer's coverage hooks. vurk_build_asan TARGET... builds the targets given.
VURK_ASAN_BUILD=${VURK_FUZZ_BUILD:-$VURK_ROOT/build-asan}
vurk_build_asan() {
    local dir=$VURK_ASAN_BUILD
    # A debug build (Q_ASSERT on) at -O1 with line tables only: quick to build, fast enough to fuzz.
    CC=clang CXX=clang++ vurk_configure "$dir" Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
        -DVURK_FUZZ=ON -DVURK_SANITIZE=ON -DVURK_WERROR=ON
    cmake --build "$dir" -j"$(nproc)" --target "$@" >&2 || exit 1
}
