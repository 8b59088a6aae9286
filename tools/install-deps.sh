#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 or 13 (as root), from a minimal system
# on; quick when all is there.
set -euo pipefail

packages=(
  g++ cmake ninja-build clang googletest python3 openssl locales git procps iproute2
  mingw-w64 g++-mingw-w64-i686 wine wine32:i386
  xvfb xauth x11-utils fonts-ipafont-gothic imagemagick
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# libFuzzer's runtime comes with the default clang's own version (clang-14 on Debian 12,
# clang-19 on Debian 13): ask what "clang" is on this release.
clang_runtime() {
  local version
  version=$(apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n1)
  [[ -n "$version" ]] || { echo "install-deps: cannot tell which clang this release has" >&2; return 1; }
  echo "libclang-rt-$version-dev"
}

# Once per run: the package lists, with the i386 architecture that wine32 needs.
updated=
apt_update() {
  [[ -z "$updated" ]] || return 0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  updated=1
}

apt_install() {
  apt_update
  echo "install-deps: installing $*"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
((${#missing[@]} == 0)) || apt_install "${missing[@]}"

# The runtime's name is known only once the package lists are there.
if ! compgen -G '/usr/lib/llvm-*/lib/clang/*/lib/*/libclang_rt.fuzzer*.a' >/dev/null; then
  apt_update
  apt_install "$(clang_runtime)"
fi

# Wine shows code page 932 only under a Japanese locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
