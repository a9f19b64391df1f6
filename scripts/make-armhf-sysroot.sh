#!/usr/bin/env bash
# Builds the Debian armhf sysroot the cross build compiles, links and runs its
# tests against:  scripts/make-armhf-sysroot.sh [DIR]
# DIR defaults to $LBS_ARMHF_SYSROOT, then to build-armhf-sysroot in the
# source tree. Does nothing when DIR already holds a complete sysroot made
# with the same package list; rebuilds it when that list changed.
#
# Packages come from the Debian mirror this machine's apt sources name for
# its own release, so the sysroot matches the host's libraries and the cross
# compiler. Only that one suite is used (no security or updates suites).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${1:-${LBS_ARMHF_SYSROOT:-$root/build-armhf-sysroot}}
case $dir in /*) ;; *) dir=$PWD/$dir ;; esac
dir=${dir%/}

# shellcheck disable=SC1091
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$suite" ] || { echo "make-armhf-sysroot: no VERSION_CODENAME in /etc/os-release" >&2; exit 1; }

# The C++ runtime headers must match the cross compiler's major version.
gcc_major=$(arm-linux-gnueabihf-g++ -dumpversion 2>/dev/null | cut -d. -f1) || true
[ -n "$gcc_major" ] || { echo "make-armhf-sysroot: arm-linux-gnueabihf-g++ not found (run scripts/install-deps.sh)" >&2; exit 1; }

# lbs-sim (built for armhf too): its map image and plot (cairo,
# libjpeg-turbo), GPX (libxml2), the phone's geodesics (GeographicLib) and
# its console (libedit).
packages="libc6-dev,libstdc++-${gcc_major}-dev,libglib2.0-dev,libjson-glib-dev,libgtest-dev"
packages="$packages,libcairo2-dev,libjpeg62-turbo-dev,libxml2-dev,libgeographiclib-dev,libedit-dev"
stamp=$dir/.lbs-sysroot
want="suite=$suite arch=armhf packages=$packages links=relative"

# qemu-arm -L looks every absolute path up in the sysroot first, so device
# nodes there would stand in for the machine's: a ptmx outside its devpts
# gives no terminals (ENODEV). The sysroot keeps no /dev.
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] \
   && [ -e "$dir/usr/lib/arm-linux-gnueabihf/libglib-2.0.so.0" ]; then
  rm -rf "$dir/dev"
  echo "make-armhf-sysroot: $dir is up to date"
  exit 0
fi

# The first deb URI of apt's sources that serves $suite itself: deb822
# stanzas in *.sources first, then one-line entries in *.list.
find_mirror() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && enabled != "no" && uris != "") {
          split(uris, u, " "); print u[1]; found = 1; exit
        }
        types = suites = uris = enabled = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      {
        key = tolower($1); sub(/:$/, "", key)
        val = $0; sub(/^[^:]*:[ \t]*/, "", val)
        if (key == "types") types = val
        else if (key == "suites") suites = val
        else if (key == "uris") uris = val
        else if (key == "enabled") enabled = tolower(val)
      }
      END { if (!found) flush() }' "$f"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" '
      $1 != "deb" { next }
      {
        i = 2
        if ($i ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) { print $i; exit }
      }' "$f"
  done
}
mirror=$(find_mirror | head -n1)
[ -n "$mirror" ] || { echo "make-armhf-sysroot: apt sources name no mirror for '$suite'" >&2; exit 1; }

if [ -e "$dir" ] && [ -n "$(ls -A "$dir")" ] && [ ! -f "$stamp" ]; then
  echo "make-armhf-sysroot: $dir exists, is not empty and was not made by this script; remove it or pick another directory" >&2
  exit 1
fi

echo "make-armhf-sysroot: $suite armhf from $mirror into $dir"
start=$(date +%s)
# Built beside the target and moved into place only once complete, so an
# interrupted run never leaves something that looks finished.
partial=$dir.partial
rm -rf "$partial"
mkdir -p "$(dirname "$dir")"
# A second try rides out a mirror that was briefly unreachable or mid-sync.
for attempt in 1 2; do
  if mmdebstrap --quiet --arch=armhf --variant=extract --include="$packages" "$suite" "$partial" "$mirror"; then
    break
  fi
  rm -rf "$partial"
  if [ "$attempt" -eq 2 ]; then
    echo "make-armhf-sysroot: mmdebstrap failed" >&2
    exit 1
  fi
  echo "make-armhf-sysroot: mmdebstrap failed; trying once more" >&2
done
# Some development links point at absolute paths (libm.so -> /lib/...), which
# would resolve on the host, not in the sysroot: make them relative.
find "$partial/usr" "$partial/lib" -type l -lname '/*' -print0 |
  while IFS= read -r -d '' link; do
    ln -sfnr "$partial$(readlink "$link")" "$link"
  done
rm -rf "$partial/dev"
echo "$want" >"$partial/.lbs-sysroot"
rm -rf "$dir"
mv "$partial" "$dir"
echo "make-armhf-sysroot: done in $(($(date +%s) - start)) s"
