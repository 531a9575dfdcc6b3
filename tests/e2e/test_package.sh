#!/usr/bin/env bash
# The Debian package, judged from outside: scripts/package builds it, dpkg -x unpacks it into a temporary
# root, and the control fields, the installed files, the desktop entry, the metainfo, the man page, the
# copyright and changelog and the installed binary are checked there; lintian finds no error or warning.
# `cmake --install` must lay out the same files.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
src=${VURK_SOURCE_DIR:?}
build=${VURK_BUILD_DIR:?}

version=$(sed -n 's/^project(vurk_mailchecker VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || e2e_fail "no version in $src/CMakeLists.txt"

# A Release tree of its own under the build tree: configured at the first run, incremental afterwards.
tree="$build/package-tree"
deb=$("$src/scripts/package" "$tree" 2>"$E2E_TMP/package.log") ||
    { cat "$E2E_TMP/package.log" >&2; e2e_fail "scripts/package failed"; }
[ "$deb" = "$tree/vurk-mailchecker_${version}_$(dpkg --print-architecture).deb" ] || e2e_fail "unexpected .deb: $deb"
[ -f "$deb" ] || e2e_fail "no file at $deb"

# --- Control fields
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vurk-mailchecker ] || e2e_fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || e2e_fail "Version: $(field Version), project says $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || e2e_fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || e2e_fail "no Maintainer"
[ "$(field Section)" = mail ] || e2e_fail "Section: $(field Section)"
depends=$(field Depends)
case ", $depends," in
*", fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic,"*) ;;
*) e2e_fail "no Japanese font in Depends: $depends" ;;
esac
# Names that only dpkg-shlibdeps puts there, plus the owners of the plugins Qt loads at run time
# (X11 platform, TLS backend): without those the installed program cannot show a window or use port 995.
# libcanberra is loaded at the first beep and GMime at the first header decoded, so only the package
# names them.
needed="libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6keychain1 libqt6dbus6 libcanberra0
    sound-theme-freedesktop libgmime-3.0-0"
for plugin in platforms/libqxcb.so tls/libqopensslbackend.so; do
    owner=$(dpkg -S "*/qt6/plugins/$plugin" | head -n 1 | cut -d: -f1)
    [ -n "$owner" ] || e2e_fail "no package owns $plugin"
    needed="$needed $owner"
done
for p in $needed; do
    grep -Eq "(^|[ ,|])$p( |,|$)" <<<"$depends" || e2e_fail "Depends lacks $p: $depends"
done
# QtKeychain loads libsecret itself, so no dependency names it: without it no Secret Service is reached.
grep -Eq "(^|[ ,])libsecret-1-0( |,|$)" <<<"$(field Recommends)" || e2e_fail "Recommends lacks libsecret-1-0"
# The whole Depends line must be satisfiable by what this Debian has installed.
printf 'Source: probe\nBuild-Depends: %s\n\nPackage: probe\nArchitecture: any\n' "$depends" >"$E2E_TMP/control"
dpkg-checkbuilddeps "$E2E_TMP/control" || e2e_fail "Depends not satisfiable here: $depends"

# --- Contents: everything under /usr, owned by root, nothing that starts for every user.
dpkg-deb -c "$deb" >"$E2E_TMP/contents"
! awk '{print $6}' "$E2E_TMP/contents" | grep -v '^\./usr/' | grep -q . || e2e_fail "files outside /usr: $(cat "$E2E_TMP/contents")"
! awk '{print $2}' "$E2E_TMP/contents" | grep -v '^root/root$' | grep -q . || e2e_fail "files not owned by root"
! grep -q 'autostart' "$E2E_TMP/contents" || e2e_fail "the package installs an autostart entry"

root="$E2E_TMP/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
bin="$usr/bin/vurk_mailchecker"
desktop="$usr/share/applications/vurk_mailchecker.desktop"
metainfo="$usr/share/metainfo/example.vurk_development.mailchecker.metainfo.xml"
svg="$usr/share/icons/hicolor/scalable/apps/vurk_mailchecker.svg"
man="$usr/share/man/man1/vurk_mailchecker.1.gz"
files=(bin/vurk_mailchecker
    share/applications/vurk_mailchecker.desktop
    share/icons/hicolor/scalable/apps/vurk_mailchecker.svg
    share/icons/hicolor/48x48/apps/vurk_mailchecker.png
    share/icons/hicolor/128x128/apps/vurk_mailchecker.png
    share/metainfo/example.vurk_development.mailchecker.metainfo.xml
    share/man/man1/vurk_mailchecker.1.gz
    share/doc/vurk-mailchecker/copyright
    share/doc/vurk-mailchecker/changelog.gz)
for f in "${files[@]}"; do
    [ -f "$usr/$f" ] || e2e_fail "not installed: /usr/$f"
done
[ "$(stat -c %a "$bin")" = 755 ] || e2e_fail "binary mode $(stat -c %a "$bin")"
for f in "${files[@]:1}"; do
    [ "$(stat -c %a "$usr/$f")" = 644 ] || e2e_fail "/usr/$f has mode $(stat -c %a "$usr/$f")"
done
kind=$(file -b "$bin")
[[ $kind == ELF*", stripped"* ]] || e2e_fail "binary not a stripped ELF: $kind"
! readelf -d "$bin" | grep -Eq 'RPATH|RUNPATH' || e2e_fail "binary keeps a run path: $(readelf -d "$bin" | grep -E 'RPATH|RUNPATH')"
for size in 48 128; do
    file -b "$usr/share/icons/hicolor/${size}x${size}/apps/vurk_mailchecker.png" | grep -q "^PNG image data, $size x $size," ||
        e2e_fail "${size}x${size} icon is not a $size px PNG"
done
file -b "$svg" | grep -q SVG || e2e_fail "scalable icon is not SVG"

# --- Desktop entry: valid, and every name in it points at an installed file.
out=$(desktop-file-validate "$desktop" 2>&1) || e2e_fail "desktop-file-validate: $out"
[ -z "$out" ] || e2e_fail "desktop-file-validate complains: $out"
key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
[ "$(key Name)" = "Vurk_メールチェッカー" ] || e2e_fail "Name=$(key Name)"
[ -n "$(key GenericName)" ] || e2e_fail "no GenericName"
[ "$(key Terminal)" = false ] || e2e_fail "Terminal=$(key Terminal)"
[[ ";$(key Categories)" == *";Network;"* && ";$(key Categories)" == *";Email;"* ]] || e2e_fail "Categories=$(key Categories)"
[ -x "$usr/bin/$(key Exec | cut -d' ' -f1)" ] || e2e_fail "Exec=$(key Exec) is not the installed binary"
[ "$(key Icon)" = vurk_mailchecker ] || e2e_fail "Icon=$(key Icon)"

# --- Metainfo: valid alone and together with the desktop entry and icons it names.
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || e2e_fail "appstreamcli validate: $out"
out=$(appstreamcli validate-tree --no-net "$usr" 2>&1) || e2e_fail "appstreamcli validate-tree: $out"
grep -q '<launchable type="desktop-id">vurk_mailchecker.desktop</launchable>' "$metainfo" || e2e_fail "launchable"
grep -q "<release version=\"$version\"" "$metainfo" || e2e_fail "metainfo has no release $version"

# --- Man page: renders without a warning and covers what a user looks up.
gzip -t "$man" || e2e_fail "man page is not valid gzip"
LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -l "$man" >"$E2E_TMP/man.txt" 2>"$E2E_TMP/man.err" ||
    e2e_fail "man failed: $(cat "$E2E_TMP/man.err")"
[ ! -s "$E2E_TMP/man.err" ] || e2e_fail "man warns: $(cat "$E2E_TMP/man.err")"
for text in NAME SYNOPSIS DESCRIPTION OPTIONS FILES SIGNALS "SEE ALSO" \
    "You have N e-Mail" "Not Found e-Mail" "Please check a account" "Check Stop" "Login failed" \
    "Server error" "Connection failed" --help --version vurk_mailchecker.ini 0600 certs/ 995 \
    SIGTERM SIGHUP SIGINT "vurk_mailchecker $version" ".config/autostart"; do
    grep -qF -- "$text" "$E2E_TMP/man.txt" || e2e_fail "man page lacks '$text'"
done

# --- Copyright in Debian's machine-readable format with LICENSE's terms; the changelog's top entry is
# this release.
copyright="$usr/share/doc/vurk-mailchecker/copyright"
[ "$(head -n 1 "$copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    e2e_fail "copyright is not machine-readable: $(head -n 1 "$copyright")"
sed -n '/^ Permission /,$p' "$copyright" | sed 's/^ //; s/^\.$//' >"$E2E_TMP/licence"
diff "$E2E_TMP/licence" <(sed -n '/^Permission /,$p' "$src/LICENSE") >&2 ||
    e2e_fail "the copyright file's licence text is not LICENSE's"
zcat "$usr/share/doc/vurk-mailchecker/changelog.gz" >"$E2E_TMP/changelog" || e2e_fail "changelog.gz is not valid gzip"
top=$(dpkg-parsechangelog -l "$E2E_TMP/changelog" -S Version) || e2e_fail "changelog does not parse"
[ "$top" = "$version" ] || e2e_fail "changelog's top entry is $top, project says $version"
released=$(sed -n 's/^set(VURK_RELEASE_DATE "\(.*\)")$/\1/p' "$src/packaging/CMakeLists.txt")
[ "$(date -u -d "$(dpkg-parsechangelog -l "$E2E_TMP/changelog" -S Date)" +%F)" = "$released" ] ||
    e2e_fail "changelog's top entry is not dated $released"

# --- lintian: no error, no warning (info and pedantic tags are allowed).
lintian --fail-on error,warning "$deb" >"$E2E_TMP/lintian.txt" 2>&1 &&
    ! grep -Eq '^[EW]: ' "$E2E_TMP/lintian.txt" || e2e_fail "lintian: $(cat "$E2E_TMP/lintian.txt")"

# --- The installed binary, with the system's libraries only (LD_LIBRARY_PATH left as it is).
! ldd "$bin" | grep -q 'not found' || e2e_fail "unresolved libraries: $(ldd "$bin" | grep 'not found')"
export XDG_CONFIG_HOME="$E2E_TMP/config"
out=$(env -u DISPLAY "$bin" --version) || e2e_fail "--version exit status $?"
[ "$out" = "vurk_mailchecker $version" ] || e2e_fail "--version printed '$out'"
out=$(env -u DISPLAY "$bin" --help) || e2e_fail "--help exit status $?"
grep -q -- --version <<<"$out" || e2e_fail "--help printed '$out'"
[ ! -e "$XDG_CONFIG_HOME" ] || e2e_fail "--help/--version touched the settings: $(find "$XDG_CONFIG_HOME")"
[ -z "$(ls -A "$XDG_RUNTIME_DIR")" ] || e2e_fail "--help/--version left files in the runtime dir: $(ls -A "$XDG_RUNTIME_DIR")"

# It really starts as installed: the notifier window comes up on a private X server.
e2e_start_x
"$bin" >"$E2E_TMP/app.log" 2>&1 &
app=$!
e2e_track $app
e2e_wait_window "Vurk_メールチェッカー" 30 >/dev/null
e2e_stop $app

# --- cmake --install lays out the same files under any prefix.
prefix="$E2E_TMP/prefix"
cmake --install "$tree" --prefix "$prefix" >"$E2E_TMP/install.log" || e2e_fail "cmake --install: $(cat "$E2E_TMP/install.log")"
diff <(cd "$usr" && find . -type f | sort) <(cd "$prefix" && find . -type f | sort) >&2 ||
    e2e_fail "cmake --install and the package install different files"

echo "package $deb: ok"
