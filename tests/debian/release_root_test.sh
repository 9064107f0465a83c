#!/usr/bin/env bash
# The README's commands on another Debian release, as a person who has just
# set it up runs them: makes a minimal root of that release with mmdebstrap,
# from the Debian archive this machine's apt uses, clones the checked-out
# commit into it (with ../shared beside the clone, read-only, where it is
# beside the project), runs each make command given in it from that clean
# clone (with CMAKE_FLAGS, where set), checks that each left the results of
# its tests and that every test ran, and removes the root.
#   release_root_test.sh CODENAME WORK_DIR 'MAKE ARGS' ['MAKE ARGS' ...]
#   e.g. release_root_test.sh trixie build/debian13 'test QT=6' 'test QT=5'
# With RELEASE_ROOT_PACKAGES naming a folder of .deb files built on this
# machine (the program and the simulated board), it then installs them there
# with apt, runs lintian on them, and starts the installed program on Xvfb
# with the end-to-end check that the first make command's Qt 6 build made.
# Needs root (or sudo) for the root's packages and mounts. What it mounts and
# starts lives in mount and PID namespaces of its own, so a run cut off at any
# point leaves no mount or process behind, and the next run removes the root
# it left.
# Each step has a time-out; the test fails, saying why, where a step cannot
# run (no root, no mirror, no mmdebstrap), and never skips.
set -euo pipefail

readonly ROOT_TIMEOUT=1200   # s, making the root
readonly MAKE_TIMEOUT=2400   # s, each make command or other step in it
fail() { echo "FAIL: release_root_test.sh: $*" >&2; exit 1; }

[ $# -ge 3 ] || { echo "usage: release_root_test.sh CODENAME WORK_DIR 'MAKE ARGS' ['MAKE ARGS' ...]" >&2; exit 2; }
codename=$1 work=$2
shift 2
[[ "$codename" =~ ^[a-z]+$ ]] || { echo "release_root_test.sh: '$codename' is no Debian code name" >&2; exit 2; }
project=$(cd "$(dirname "$0")/../.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || fail "a root of Debian $codename needs root: run as root, or install sudo"
    exec sudo --preserve-env=CI,CMAKE_FLAGS,RELEASE_ROOT_PACKAGES "$0" "$codename" "$work" "$@"
fi
for tool in mmdebstrap unshare git chroot timeout; do
    command -v "$tool" >/dev/null ||
        fail "$tool not found: run 'scripts/install-deps.sh 6 debian-root' (as root, or with sudo)"
done
if [ -z "${RELEASE_ROOT_NAMESPACE:-}" ]; then
    RELEASE_ROOT_NAMESPACE=1 exec unshare --mount --propagation private --pid --fork --mount-proc \
        "$0" "$codename" "$work" "$@"
fi
# The first process of its PID namespace: when it ends, so does everything
# started in the root. As such it takes no signal it does not handle.
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$work"
work=$(cd "$work" && pwd)
root=$work/root
# Any process but this one, the namespace's first, that has not ended (a
# zombie has, and holds no mount).
others_alive() {
    local stat line state
    for stat in /proc/[0-9]*/stat; do
        [ "$stat" = "/proc/$$/stat" ] && continue
        read -r line 2>/dev/null <"$stat" || continue
        state=${line##*) }
        [ "${state%% *}" = Z ] || return 0
    done
    return 1
}
readonly END_TIMEOUT=300 # tenths of a second for what is left running to end
# A root is removed only once nothing is mounted below it: rm never crosses
# into a mount (--one-file-system), and one still there stops the run. What
# the commands left running (a Wine server, an X server) would keep its mounts
# busy, and ends first: in this PID namespace, and only in it.
remove_root() {
    [ -e "$root" ] || return 0
    local mount tenths=0
    if [ "$$" -eq 1 ]; then
        kill -KILL -1 2>/dev/null || true
        while others_alive && [ $((tenths += 1)) -le "$END_TIMEOUT" ]; do
            sleep 0.1
        done
    fi
    while IFS= read -r mount; do
        umount -R "$mount" 2>/dev/null || true
    done < <(awk -v r="$root/" 'index($5 "/", r) == 1 { print $5 }' /proc/self/mountinfo | sort -r)
    if awk -v r="$root/" 'index($5 "/", r) == 1 { found = 1 } END { exit !found }' /proc/self/mountinfo; then
        fail "something is still mounted below $root; unmount it, then run again"
    fi
    rm -rf --one-file-system "$root"
}
remove_root
trap remove_root EXIT

# The Debian archive and its security archive as this machine's apt reaches them.
mirror() {
    # shellcheck disable=SC2016 # apt's own fields, not the shell's
    apt-get indextargets --format '$(LABEL) $(REPO_URI)' |
        awk -v label="$1" '$1 == label && !uri { uri = $2 } END { print uri }'
}
archive=$(mirror Debian)
security=$(mirror Debian-Security)
[ -n "$archive" ] || fail "this machine's apt uses no Debian archive (Label: Debian) to make a Debian $codename root from"
security=${security:-${archive%/debian/}/debian-security/}

if [ -n "$(git -C "$project" status --porcelain --untracked-files=no)" ]; then
    echo "release_root_test.sh: the work tree has changes that are not committed; the root tests the commit, $(git -C "$project" rev-parse --short HEAD)"
fi
echo "=== a minimal Debian $codename root from $archive, in $root"
start=$SECONDS
timeout "$ROOT_TIMEOUT" mmdebstrap --quiet --variant=apt --include=ca-certificates,git,make \
    "$codename" "$root" \
    "deb $archive $codename main" "deb $archive $codename-updates main" "deb $security $codename-security main" ||
    fail "mmdebstrap could not make the Debian $codename root (status $?; no route to $archive?)"
echo "made in $((SECONDS - start)) s: Debian $(cat "$root/etc/debian_version")"

clone=$root/src/powermonitor
git clone --quiet --no-hardlinks "$project" "$clone"
git -C "$clone" checkout --quiet --detach "$(git -C "$project" rev-parse HEAD)"
if [ -d "$project/../shared" ]; then
    mkdir "$root/src/shared"
    mount --bind -o ro "$project/../shared" "$root/src/shared"
fi
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/tmp"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# Runs a command in the root, with its own environment and a time-out.
in_root() {
    timeout "$MAKE_TIMEOUT" chroot "$root" env -i HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" CMAKE_FLAGS="${CMAKE_FLAGS:-}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}
results=()
for args in "$@"; do
    echo "=== Debian $codename: make $args"
    start=$SECONDS
    read -r -a words <<<"$args"
    status=0
    in_root make -C /src/powermonitor "${words[@]}" || status=$?
    [ "$status" -eq 0 ] || fail "make $args on Debian $codename: status $status$([ "$status" -ne 124 ] || echo ", past ${MAKE_TIMEOUT} s")"
    echo "=== Debian $codename: make $args: $((SECONDS - start)) s"
    # Each ctest run of the Makefile leaves its results in its build folder.
    before=${#results[@]}
    while IFS= read -r -d '' xml; do
        results+=("$work/results-${#results[@]}.xml")
        mv "$xml" "${results[-1]}"
    done < <(find "$clone" -path "$clone/build/*" -name ctest-results.xml -print0)
    [ ${#results[@]} -gt "$before" ] || fail "make $args left no results of ctest in a build folder"
done
"$project/.ci/every_test_ran.py" "${results[@]}"

if [ -n "${RELEASE_ROOT_PACKAGES:-}" ]; then
    packages=("$RELEASE_ROOT_PACKAGES"/powermonitor_*.deb "$RELEASE_ROOT_PACKAGES"/powermonitor-simulated-board_*.deb)
    for deb in "${packages[@]}"; do
        [ -f "$deb" ] || fail "RELEASE_ROOT_PACKAGES=$RELEASE_ROOT_PACKAGES holds no $(basename "$deb")"
    done
    echo "=== Debian $codename: $(basename "${packages[0]}") and $(basename "${packages[1]}") of this machine's build"
    mkdir "$root/tmp/packages"
    cp "${packages[@]}" "$root/tmp/packages/"
    debs=(/tmp/packages/"$(basename "${packages[0]}")" /tmp/packages/"$(basename "${packages[1]}")")
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${debs[@]}" >"$work/apt.log" 2>&1 || fail "apt could not install them: $(tail -n 20 "$work/apt.log")"
    # shellcheck disable=SC2016 # dpkg-query's fields, not the shell's
    in_root dpkg-query -W -f '${Package} ${Version}: Depends: ${Depends}\n' powermonitor
    in_root lintian --fail-on error,warning "${debs[@]}" || fail "lintian of Debian $codename fails them"
    tools=/src/powermonitor/$("$project/scripts/preset-dir.py" qt6)/tests/e2e/tools
    in_root /src/powermonitor/tests/e2e/close_window_test.sh /usr/bin/powermonitor "$tools" ||
        fail "the installed program did not show its window and close on Debian $codename"
    echo "PASS: Debian $codename installs this machine's packages; lintian passes them, and the program starts and closes"
fi
echo "PASS: Debian $codename ($(cat "$root/etc/debian_version")), from a clean clone:$(printf " 'make %s'" "$@")"
