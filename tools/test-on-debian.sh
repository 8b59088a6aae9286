#!/usr/bin/env bash
# Runs the README's test command as a newcomer would on another Debian release: in a fresh
# minimal root of that release (debootstrap from Debian's archive), into which this checkout's
# HEAD is cloned. As root:
#   tools/test-on-debian.sh 13       (or 12, or a code name: trixie, bookworm)
#   tools/test-on-debian.sh 13 bash  (a shell in that root instead of the tests)
#
# The minimal root is made once and kept as a tarball, and downloaded packages are kept
# between runs, under MEWLARK_DEBIAN_CACHE (default /var/cache/mewlark-debian). Every run
# unpacks a new root, and removes it, its mounts and its processes whatever happens
# (MEWLARK_DEBIAN_KEEP=1 keeps the root for a look afterwards).
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
  12 | bookworm) release=bookworm ;;
  13 | trixie) release=trixie ;;
  *) echo "usage: $0 12|13|bookworm|trixie [command ...]" >&2; exit 2 ;;
esac
shift
command=("$@")
((${#command[@]})) || command=(tools/test.sh)

mirror=${MEWLARK_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${MEWLARK_DEBIAN_CACHE:-/var/cache/mewlark-debian}
tarball="$cache/$release-minbase.tar"
archives="$cache/$release-archives"
mkdir -p "$cache" "$archives/partial"

if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

if [[ ! -s "$tarball" ]]; then
  echo "test-on-debian: making a minimal Debian $release root (kept in $tarball)"
  fresh=$(mktemp -d "$cache/bootstrap.XXXXXX")
  if ! debootstrap --variant=minbase "$release" "$fresh" "$mirror" >"$cache/$release-debootstrap.log" 2>&1; then
    rm -rf "$fresh"
    echo "test-on-debian: debootstrap failed (see $cache/$release-debootstrap.log)" >&2
    exit 1
  fi
  tar -C "$fresh" -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
  rm -rf "$fresh"
fi

root=$(mktemp -d "${TMPDIR:-/var/tmp}/mewlark-$release.XXXXXX")
mounts=()
cleanup() {
  local status=$?
  trap - EXIT INT TERM
  # Every process whose root is this one: Xvfb, wineserver, Wine's programs, the simulator.
  local pass pid
  for pass in TERM KILL; do
    for pid in /proc/[0-9]*; do
      [[ "$(readlink "$pid/root" 2>/dev/null)" == "$root" ]] && kill -"$pass" "${pid#/proc/}" 2>/dev/null
    done
    [[ $pass == TERM ]] && sleep 1
  done
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount -l "${mounts[i]}" 2>/dev/null || true
  done
  if [[ -n "${MEWLARK_DEBIAN_KEEP:-}" ]]; then
    echo "test-on-debian: the root stays at $root"
  else
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

tar -C "$root" -xf "$tarball"
bind() {
  mkdir -p "$root$2"
  mount "${@:3}" "$1" "$root$2"
  mounts+=("$root$2")
}
bind proc /proc -t proc
bind sysfs /sys -t sysfs
bind /dev /dev --rbind
mount --make-rslave "$root/dev"
bind tmpfs /tmp -t tmpfs
bind "$archives" /var/cache/apt/archives --bind
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# What a fresh installation's /etc/hosts holds: localhost is 127.0.0.1 and ::1.
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"

# The newcomer's clone of this checkout's HEAD (what is committed, nothing else).
git clone -q --no-local "$PWD" "$root/root/mewlark"

echo "test-on-debian: Debian $(cat "$root/etc/debian_version") root at $root: ${command[*]}"
# In the background, so that a signal reaches the clean-up at once, not after the command.
env -i HOME=/root TERM="${TERM:-dumb}" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  ${CI:+CI="$CI"} chroot "$root" /bin/bash -c 'cd /root/mewlark && exec "$@"' bash "${command[@]}" <&0 &
wait $!
