#!/usr/bin/env bash
# package-check.sh [BUILD_DIR] [--host]: builds the Debian package from a
# configured build folder (default build/ci), checks what it holds and what
# it depends on, then installs it with apt, runs the installed programs
# against the emulator as an unprivileged user with a fresh home folder,
# removes it with apt and checks that nothing of it is left.
#
# The install happens in a throw-away root: a copy-on-write overlay of this
# machine's root in a private mount namespace, so the machine itself is never
# changed and a failed run leaves nothing behind. Where no overlay can be
# mounted, or with --host, it installs into this machine instead (and refuses
# to when kyto-demo is installed already). Needs root (or sudo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
self="$root/scripts/package-check.sh"
start=${start:-$(date +%s)}
say() { echo "package-check: [$(($(date +%s) - start)) s] $*"; }
fail() { echo "package-check: FAILED: $*" >&2; exit 1; }

# ---------------------------------------------------------------------------
# Inside the root that receives the package (the overlay or this machine).
inside() {
    local deb=$1 version=$2
    export DEBIAN_FRONTEND=noninteractive
    # A package whose Depends this machine cannot satisfy offline is fetched
    # like on any machine; everything else comes from the .deb.
    apt-get install -y -q "$deb" >/tmp/kyto-apt-install.log 2>&1 ||
        { cat /tmp/kyto-apt-install.log; fail "apt-get install"; }
    [ "$(dpkg-query -W -f='${Status}' kyto-demo)" = "install ok installed" ] ||
        fail "kyto-demo is not installed after apt-get install"
    say "installed with apt"

    local port
    emu_pid=""
    work=$(mktemp -d /tmp/kyto-package-check.XXXXXX)
    chmod 755 "$work"
    # Runs a command as an unprivileged user with HOME=$1, nothing else of
    # this session's environment, and no XDG_DATA_HOME unless given. It
    # replaces the shell it runs in: call it in a $(...) or <(...) only.
    as_user() {
        local home=$1; shift
        exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
            env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 KYTO_LOOPBACK_ONLY=1 "$@"
    }
    stop_emulator() { [ -n "$emu_pid" ] && kill "$emu_pid" 2>/dev/null && wait "$emu_pid" 2>/dev/null; emu_pid=""; }
    trap 'stop_emulator; rm -rf "$work"' EXIT

    [ "$(command -v kyto)" = /usr/bin/kyto ] || fail "kyto is not /usr/bin/kyto"
    local out
    out=$(as_user "$work" kyto --version) || fail "kyto --version"
    [ "$out" = "kyto $version" ] || fail "kyto --version printed '$out', not 'kyto $version'"
    out=$(as_user "$work" kyto-emu --help) || fail "kyto-emu --help"
    [[ $out == usage:\ kyto-emu* ]] || fail "kyto-emu --help printed no usage"
    for page in kyto kyto-emu ${has_demo:+kyto-demo}; do
        zcat "/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH" || fail "no manual page for $page"
    done
    say "kyto --version, kyto-emu --help and the manual pages work"

    # The emulator prints its port on the first line; read it without a
    # fixed wait.
    mkdir "$work/emu" && chown nobody "$work/emu"
    exec {emu_fd}< <(as_user "$work/emu" kyto-emu --seed 1 --exit-with-parent)
    emu_pid=$!
    read -r -t 20 -u "$emu_fd" port || fail "the emulator printed no port"

    # A first start with an empty home: the per-user data folder is made and
    # gets every shipped configuration file.
    local home1=$work/home1 shipped=/usr/share/kyto-demo
    mkdir "$home1" && chown nobody "$home1"
    out=$(as_user "$home1" kyto --port "$port" version 2>&1) || fail "kyto version against the emulator: $out"
    [[ $out == *KYTO-EMU* ]] || fail "kyto version did not report the emulator: $out"
    local data1=$home1/.local/share/kyto-demo f
    for f in "$shipped"/*; do
        cmp -s "$f" "$data1/$(basename "$f")" || fail "$(basename "$f") was not copied into $data1"
    done
    say "kyto talks to the emulator; $data1 holds the shipped files"

    # XDG_DATA_HOME names the folder, and a file the user edited there stays.
    local home2=$work/home2 xdg=$work/home2/xdg
    mkdir -p "$xdg/kyto-demo"
    { cat "$shipped/CmdTimeout.ini"; echo "; edited by the user"; } >"$xdg/kyto-demo/CmdTimeout.ini"
    cp "$xdg/kyto-demo/CmdTimeout.ini" "$work/edited"
    chown -R nobody "$home2"
    out=$(as_user "$home2" XDG_DATA_HOME="$xdg" kyto --port "$port" version 2>&1) ||
        fail "kyto version with XDG_DATA_HOME: $out"
    cmp -s "$work/edited" "$xdg/kyto-demo/CmdTimeout.ini" || fail "the user's CmdTimeout.ini was replaced"
    [ -e "$xdg/kyto-demo/ExecTimeOut.ini" ] || fail "ExecTimeOut.ini was not copied into $xdg/kyto-demo"
    [ ! -e "$home2/.local/share/kyto-demo" ] || fail "XDG_DATA_HOME was ignored"
    say "XDG_DATA_HOME is followed and an edited file is kept"

    if [ -n "${has_demo:-}" ]; then
        demo_smoke "$port" "$work"
    fi
    stop_emulator

    apt-get remove -y -q kyto-demo >/tmp/kyto-apt-remove.log 2>&1 ||
        { cat /tmp/kyto-apt-remove.log; fail "apt-get remove"; }
    local status
    status=$(dpkg-query -W -f='${Status}' kyto-demo 2>/dev/null || true)
    [[ -z $status || $status == *not-installed ]] || fail "kyto-demo is still known to dpkg: $status"
    local left=()
    while read -r f; do
        [ -e "$f" ] || [ -L "$f" ] && left+=("$f")
    done <"$contents_list"
    for f in /usr/lib/*/kyto-demo /usr/lib/kyto-demo /usr/share/kyto-demo /usr/share/doc/kyto-demo; do
        [ -e "$f" ] && left+=("$f")
    done
    ((${#left[@]} == 0)) || fail "left after apt-get remove: ${left[*]}"
    say "removed with apt; nothing of it is left"
}

# kyto-demo offscreen against the emulator: its stored port and "Connect on
# startup" lead it straight to the module, --screenshot makes it close after
# the first frame.
demo_smoke() {
    local port=$1 work=$2 help
    help=$(as_user "$work" QT_QPA_PLATFORM=offscreen kyto-demo --help 2>&1) ||
        fail "kyto-demo --help: $help"
    for f in applications/org.kytodemo.KytoDemo.desktop metainfo/org.kytodemo.KytoDemo.metainfo.xml \
        icons/hicolor/scalable/apps/org.kytodemo.KytoDemo.svg; do
        [ -e "/usr/share/$f" ] || fail "/usr/share/$f is missing"
    done
    if [[ $help != *--screenshot* ]]; then
        say "NOTE: kyto-demo has no --screenshot; its start against the emulator is not checked"
        return 0
    fi
    # The user's settings are there before the first start; the shipped
    # files join them.
    local home=$work/home3 data=$work/home3/.local/share/kyto-demo out
    mkdir -p "$data"
    printf '[Application]\nCOMPortName=%s\nAutoConnect=1\n' "$port" >"$data/Application.ini"
    chown -R nobody "$home"
    out=$(as_user "$home" QT_QPA_PLATFORM=offscreen timeout 60 kyto-demo --screenshot "$home/shot.png" 2>&1) ||
        fail "kyto-demo against the emulator: $out"
    [ "$(head -c 8 "$home/shot.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
        fail "kyto-demo wrote no screenshot: $out"
    [ -e "$data/CmdTimeout.ini" ] || fail "kyto-demo did not fill its per-user data folder"
    # The screenshot comes after 15 s even without a module; the device
    # folder, named after the model, only with a connection.
    [ -d "$data/KYTO-EMU" ] || fail "kyto-demo did not connect to the emulator: $out"
    grep -qx "COMPortName=$port" "$data/Application.ini" || fail "kyto-demo lost the stored port"
    say "kyto-demo connected offscreen to the emulator, showed a frame and closed"
}

# A private mount namespace: the overlay root, then the checks chrooted in it.
overlay() {
    local deb=$1 version=$2 base
    base=$(mktemp -d /tmp/kyto-root.XXXXXX)
    # Exit status 32 (mount's own for a failed mount): no overlay here.
    mount -t tmpfs tmpfs "$base" || { rmdir "$base"; exit 32; }
    mkdir "$base/upper" "$base/work" "$base/root"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$base/upper,workdir=$base/work" "$base/root" ||
        { umount "$base"; rmdir "$base"; exit 32; }
    mount --rbind /dev "$base/root/dev"
    mount -t proc proc "$base/root/proc"
    mount --rbind /sys "$base/root/sys"
    mount -t tmpfs tmpfs "$base/root/tmp"
    # The manual page index is man-db's business, not this package's, and
    # rebuilding it costs most of each apt run here.
    rm -f "$base/root/var/lib/man-db/auto-update"
    mkdir "$base/root/tmp/kyto-package"
    cp "$deb" "$contents_list" "$self" "$base/root/tmp/kyto-package/"
    chroot "$base/root" env contents_list=/tmp/kyto-package/$(basename "$contents_list") \
        has_demo="${has_demo:-}" start="$start" bash "/tmp/kyto-package/$(basename "$self")" \
        --inside "/tmp/kyto-package/$(basename "$deb")" "$version"
}

case ${1:-} in
    --inside) inside "$2" "$3"; exit 0 ;;
    --overlay) overlay "$2" "$3"; exit 0 ;;
esac

# ---------------------------------------------------------------------------
# On this machine: build the package and look at it.
dir=build/ci
mode=overlay
while (($#)); do
    case $1 in
        --host) mode=host ;;
        -*) echo "unknown option $1" >&2; exit 2 ;;
        *) dir=$1 ;;
    esac
    shift
done
cd "$root"
dir=$(cd "$dir" && pwd)
[ -f "$dir/CPackConfig.cmake" ] || fail "$dir is no configured build folder"
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

cmake --build "$dir" >/dev/null
version=$("$dir/bin/kyto" --version | awk '{ print $2 }')
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB -B "$dir/package" >"$dir/cpack.log" 2>&1) || { cat "$dir/cpack.log"; fail "cpack"; }
deb=$dir/package/kyto-demo_${version}_amd64.deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$dir/package")"
say "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

has_demo=""
[ -x "$dir/bin/kyto-demo" ] && has_demo=1
export has_demo

# What the package holds: the programs, the two libraries, the configuration
# files, the manual pages, the completion and the udev example; with the
# window program its launcher, metainfo and icon; nothing outside /usr.
contents_list=$dir/package/contents
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e '/\/$/d' >"$contents_list"
expected=(/usr/bin/kyto /usr/bin/kyto-emu /usr/share/bash-completion/completions/kyto
    /usr/share/doc/kyto-demo/copyright /usr/share/doc/kyto-demo/examples/60-kyto-demo.rules
    /usr/share/man/man1/kyto.1.gz /usr/share/man/man1/kyto-emu.1.gz)
for f in "$root"/data/*; do
    [[ $(basename "$f") == README* ]] || expected+=("/usr/share/kyto-demo/$(basename "$f")")
done
if [ -n "$has_demo" ]; then
    expected+=(/usr/bin/kyto-demo /usr/share/man/man1/kyto-demo.1.gz
        /usr/share/applications/org.kytodemo.KytoDemo.desktop
        /usr/share/metainfo/org.kytodemo.KytoDemo.metainfo.xml
        /usr/share/icons/hicolor/scalable/apps/org.kytodemo.KytoDemo.svg)
fi
for f in "${expected[@]}"; do
    grep -qx -- "$f" "$contents_list" || fail "the package lacks $f"
done
for lib in libkytolink.so libquell.so; do
    grep -qE "^/usr/lib/(.*/)?kyto-demo/$lib\$" "$contents_list" || fail "the package lacks $lib"
done
if grep -v '^/usr/' "$contents_list"; then fail "files outside /usr"; fi
if grep -E '^/usr/bin/' "$contents_list" | grep -vE '^/usr/bin/kyto(-emu|-demo)?$'; then
    fail "programs that are not kyto's in /usr/bin"
fi
say "it holds the expected $(wc -l <"$contents_list") files"

# Depends: every library a program or library of the package links directly
# must come from a package named in Depends (or from this package), and the
# window program needs the Qt platform plugins. Checked on the unpacked files,
# because this machine has every library already and apt alone would not
# notice one that is missing from Depends.
depends=$(dpkg-deb -f "$deb" Depends)
say "Depends: $depends"
unpacked=$dir/package/unpacked
dpkg-deb -x "$deb" "$unpacked"
owner() {
    local p=$1
    dpkg-query -S "$p" 2>/dev/null || dpkg-query -S "/usr$p" 2>/dev/null ||
        dpkg-query -S "${p#/usr}" 2>/dev/null || return 1
}
missing=()
while read -r elf; do
    while read -r needed path; do
        [[ $path == "$unpacked"/* ]] && continue
        [ -n "$path" ] || fail "$elf: $needed is not found"
        pkg=$(owner "$path" | head -1 | cut -d: -f1) || fail "no package owns $path"
        [[ ", $depends," == *", $pkg "* || ", $depends," == *", $pkg,"* ]] || missing+=("$pkg ($needed)")
    done < <(ldd "$elf" | awk -v want="$(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')" '
        BEGIN { n = split(want, w, " "); for (i = 1; i <= n; i++) need[w[i]] = 1 }
        $1 in need && $2 == "=>" { print $1, $3 }')
done < <(find "$unpacked" -type f \( -name '*.so*' -o -perm -u+x \) -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)
((${#missing[@]} == 0)) || fail "linked but not in Depends: ${missing[*]}"
if [ -n "$has_demo" ] && [[ $depends != *qt6-qpa-plugins* ]]; then
    fail "kyto-demo needs qt6-qpa-plugins in Depends"
fi
rm -rf "$unpacked"
say "Depends names every linked library's package"

if [ "$mode" = overlay ] && ! $SUDO unshare -m --propagation private true 2>/dev/null; then
    mode=host
fi
if [ "$mode" = overlay ]; then
    say "installing into a throw-away overlay of this machine's root"
    rc=0
    $SUDO env contents_list="$contents_list" has_demo="$has_demo" start="$start" \
        unshare -m --propagation private bash "$self" --overlay "$deb" "$version" || rc=$?
    # The mounts went with the namespace; their mount point stays behind.
    $SUDO find /tmp -maxdepth 1 -name 'kyto-root.*' -type d -empty -delete
    if ((rc == 32)); then
        say "no overlay could be mounted here; installing into this machine"
        mode=host
    elif ((rc)); then
        exit "$rc"
    fi
fi
if [ "$mode" = host ]; then
    if dpkg-query -W -f='${Status}' kyto-demo 2>/dev/null | grep -q "ok installed"; then
        fail "kyto-demo is installed on this machine already; not replacing it"
    fi
    $SUDO env contents_list="$contents_list" has_demo="$has_demo" start="$start" \
        bash "$self" --inside "$deb" "$version"
fi
say "passed in $(($(date +%s) - start)) s"
