#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the sanitizer build,
# the memcheck runs and benchmarks (valgrind), the fuzzers, the armhf cross
# build and the Debian packages need. Safe to run again.
set -u

packages=(
  build-essential cmake ninja-build pkg-config
  libglib2.0-dev libjson-glib-dev
  libgtest-dev libgmock-dev libbenchmark-dev valgrind
  clang-14 libclang-rt-14-dev
  crossbuild-essential-armhf qemu-user mmdebstrap
  locales
  dpkg-dev file
  # lbs-sim's map image, plot and GPX out (cairo, libjpeg-turbo); its tests
  # read the GPX back with libxml2
  libcairo2-dev libjpeg62-turbo-dev libxml2-dev
  # lbs-sim's simulated phone: GPX tracks (libxml2) and geodesics
  libgeographiclib-dev
  # lbs-sim's interactive console: line editing, history and completion
  libedit-dev
  # lbs-sim's manual page (made from its --help) and the check of the
  # Debian packages against Debian's policy
  help2man lintian
)
# dpkg-dev (dpkg-shlibdeps) and file: CPack's Debian packages work out their
# dependencies with them (scripts/check-packages.sh).

# A locale with a decimal comma, so the tests can prove that messages to the
# phone keep a decimal point whatever the host's locale.
comma_locale=de_DE.UTF-8

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
else
  # One index failing to download (a mirror mid-sync, say) must not stop us:
  # the install below decides whether what we need is still available.
  "${sudo[@]}" apt-get update || echo "install-deps: apt-get update reported errors; trying the install anyway" >&2
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" || exit $?
fi

if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf8'; then
  echo "install-deps: generating the $comma_locale locale"
  "${sudo[@]}" localedef -i de_DE -f UTF-8 "$comma_locale"
fi
