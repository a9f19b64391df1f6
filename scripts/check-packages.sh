#!/usr/bin/env bash
# Builds the Debian packages of the plugin and proves that a host can use
# what they install:  scripts/check-packages.sh [--armhf | --no-armhf] [--keep]
#
# For amd64 (build-packages/), and for armhf (build-packages-armhf/) when the
# armhf sysroot exists or --armhf asks for it (the sysroot is then made):
#  1. configures a device build (-DLBS_DEVICE_PATHS=ON, prefix /usr), builds
#     the plugin and makes the packages with cpack;
#  2. checks what `cmake --install` and each package contain, and nothing more,
#     and the packages' Depends;
#  3. unpacks the packages into a scratch root with dpkg-deb -x (no root, no
#     dpkg database touched) and installs the platform stand-ins beside it,
#     where the watch would have its own platform libraries;
#  4. builds tests/package_host/host.c against the scratch root through
#     pkg-config, once linked to the plugin and once loading it with dlopen by
#     its soname, and runs both (armhf under qemu-arm).
# Exits non-zero when anything fails. --keep leaves the scratch roots.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

want_armhf=auto
keep=0
for arg in "$@"; do
  case $arg in
    --armhf) want_armhf=yes ;;
    --no-armhf) want_armhf=no ;;
    --keep) keep=1 ;;
    *) echo "usage: $0 [--armhf | --no-armhf] [--keep]" >&2; exit 2 ;;
  esac
done

sysroot=${LBS_ARMHF_SYSROOT:-$root/build-armhf-sysroot}
if [ "$want_armhf" = auto ]; then
  if [ -e "$sysroot/usr/lib/arm-linux-gnueabihf/libglib-2.0.so.0" ]; then want_armhf=yes; else want_armhf=no; fi
fi

version=$(sed -n 's/^project(lbs_consumer_plugin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb_version=$version-1
runtime_pkg=libzuv-lbs-plugin-consumer0
dev_pkg=libzuv-lbs-plugin-consumer-dev
lib=libZUV-lbs-plugin-consumer.so
pc=lbs-consumer-plugin

failed=0
fail() { echo "check-packages: FAIL: $*" >&2; failed=1; }
pass() { echo "check-packages: ok: $*"; }
# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1"; diff <(echo "$2") <(echo "$3") >&2 || true; fi
}

# build_packages DIR TRIPLET [CMAKE ARGS...]: configures, builds the plugin, makes the packages.
build_packages() {
  local dir=$1; shift 2
  local start
  start=$(date +%s)
  mkdir -p "$dir"
  cmake -S . -B "$dir" -G Ninja -DLBS_WERROR="${LBS_WERROR:-ON}" -DLBS_DEVICE_PATHS=ON \
    -DCMAKE_INSTALL_PREFIX=/usr -DLBS_BUILD_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log" >&2; return 1; }
  cmake --build "$dir" --target lbs_plugin_shared
  rm -rf "$dir/packages"
  (cd "$dir" && cpack)
  echo "check-packages: $dir built and packaged in $(($(date +%s) - start)) s"
}

# The files a package or an install tree holds, one per line: "path" or "path -> target".
list_tree() {
  (cd "$1" && find . -mindepth 1 \( -type l -printf '%P -> %l\n' \) -o \( -type f -printf '%P\n' \) | LC_ALL=C sort)
}

# check_contents DIR TRIPLET: what the default install and each package hold.
check_contents() {
  local dir=$1 triplet=$2 arch=$3
  local libdir=usr/lib/$triplet
  local runtime_files="$libdir/$lib.0 -> $lib.$version
$libdir/$lib.$version"
  local dev_files="$libdir/$lib -> $lib.0
$libdir/pkgconfig/$pc.pc
usr/include/lbs_consumer_plugin.h"

  local staged=$dir/check/install
  rm -rf "$staged"
  DESTDIR=$staged cmake --install "$dir" >/dev/null
  expect_eq "$arch: cmake --install lays out the plugin, its links, the header and $pc.pc, nothing else" \
    "$(printf '%s\n%s\n' "$runtime_files" "$dev_files" | LC_ALL=C sort)" "$(list_tree "$staged")"

  local runtime_deb=$dir/packages/${runtime_pkg}_${deb_version}_$arch.deb
  local dev_deb=$dir/packages/${dev_pkg}_${deb_version}_$arch.deb
  local d
  for d in "$runtime_deb" "$dev_deb"; do
    [ -f "$d" ] || { fail "no package $d"; return 1; }
    printf 'check-packages: %s: %s bytes\n' "$(basename "$d")" "$(stat -c %s "$d")"
  done
  local x=$dir/check/x
  rm -rf "$x" && mkdir -p "$x/runtime" "$x/dev"
  dpkg-deb -x "$runtime_deb" "$x/runtime"
  dpkg-deb -x "$dev_deb" "$x/dev"
  expect_eq "$arch: $runtime_pkg holds the library and its soname link" \
    "$(LC_ALL=C sort <<<"$runtime_files")" "$(list_tree "$x/runtime")"
  expect_eq "$arch: $dev_pkg holds the header, the .so link and $pc.pc" \
    "$(LC_ALL=C sort <<<"$dev_files")" "$(list_tree "$x/dev")"

  expect_eq "$arch: package architecture" "$arch $arch" \
    "$(dpkg-deb -f "$runtime_deb" Architecture) $(dpkg-deb -f "$dev_deb" Architecture)"
  expect_eq "$arch: $dev_pkg depends on $runtime_pkg of its own version" \
    "$runtime_pkg (= $deb_version)" "$(dpkg-deb -f "$dev_deb" Depends)"
  local depends
  depends=$(dpkg-deb -f "$runtime_deb" Depends)
  echo "check-packages: $arch: $runtime_pkg Depends: $depends"
  local p
  for p in libc6 libglib2.0-0 libjson-glib-1.0-0 libstdc++6; do
    case ", $depends" in *", $p "*) ;; *) fail "$arch: $runtime_pkg does not depend on $p" ;; esac
  done
  expect_eq "$arch: $runtime_pkg ships a shlibs file for the soname" \
    "libZUV-lbs-plugin-consumer 0 $runtime_pkg (>= $deb_version)" \
    "$(dpkg-deb --ctrl-tarfile "$runtime_deb" | tar -xO ./shlibs)"
  local readelf=readelf
  [ "$arch" = armhf ] && readelf=arm-linux-gnueabihf-readelf
  expect_eq "$arch: the library's soname" "$lib.0" \
    "$("$readelf" -d "$x/runtime/$libdir/$lib.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')"
  local dynamic
  dynamic=$("$readelf" -d "$x/runtime/$libdir/$lib.$version")
  case $dynamic in
    *RPATH* | *RUNPATH*) fail "$arch: the packaged library carries an RPATH or RUNPATH" ;;
    *) pass "$arch: the packaged library carries no RPATH or RUNPATH" ;;
  esac
  # libc6's minimum must cover the newest C library symbol version used.
  local glibc_need glibc_dep
  glibc_need=$("$readelf" --dyn-syms -W "$x/runtime/$libdir/$lib.$version" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n1)
  glibc_dep=$(printf '%s\n' "$depends" | sed -n 's/.*libc6 (>= \([0-9.]*\)).*/\1/p')
  if [ -n "$glibc_dep" ] && dpkg --compare-versions "$glibc_dep" ge "$glibc_need"; then
    pass "$arch: libc6 (>= $glibc_dep) covers GLIBC_$glibc_need"
  else
    fail "$arch: Depends libc6 (>= ${glibc_dep:-?}) but the library needs GLIBC_$glibc_need"
  fi
  printf '%s\n' "$depends" >"$dir/check/depends"
}

# run_host DIR TRIPLET ARCH: unpacks into a scratch root, builds and runs the host.
run_host() {
  local dir=$1 triplet=$2 arch=$3
  local scratch=$root/$dir/check/root platform=$root/$dir/check/platform
  rm -rf "$scratch" "$platform"
  mkdir -p "$scratch"
  local d
  for d in "$dir"/packages/*.deb; do dpkg-deb -x "$d" "$scratch"; done
  cmake --install "$dir" --component platform-standins --prefix "$platform" >/dev/null
  local libdir=$scratch/usr/lib/$triplet platform_libdir=$platform/lib/$triplet

  local -a pcenv=(env PKG_CONFIG_SYSROOT_DIR="$scratch" PKG_CONFIG_LIBDIR="$libdir/pkgconfig" PKG_CONFIG_PATH=)
  local cflags libs soname
  cflags=$("${pcenv[@]}" pkg-config --cflags "$pc")
  libs=$("${pcenv[@]}" pkg-config --libs "$pc")
  soname=$("${pcenv[@]}" pkg-config --variable=soname "$pc")
  echo "check-packages: $arch: pkg-config $pc: version $("${pcenv[@]}" pkg-config --modversion "$pc"); Cflags: $cflags; Libs: $libs; soname: $soname"
  expect_eq "$arch: pkg-config's soname variable" "$lib.0" "$soname"

  local cc=cc
  local -a ccflags=(-std=c11 -Wall -Wextra -Werror -Wpedantic -O2)
  local -a run=(env LD_LIBRARY_PATH="$libdir:$platform_libdir")
  if [ "$arch" = armhf ]; then
    cc=arm-linux-gnueabihf-gcc
    ccflags+=(--sysroot="$sysroot" -B"$sysroot/usr/lib/arm-linux-gnueabihf")
    run=(qemu-arm -L "$sysroot" -E LD_LIBRARY_PATH="$libdir:$platform_libdir")
  fi
  local out=$root/$dir/check
  # shellcheck disable=SC2086 # pkg-config's output is a word list
  "$cc" "${ccflags[@]}" tests/package_host/host.c $cflags $libs -Wl,-rpath-link,"$platform_libdir" -o "$out/host-linked"
  # shellcheck disable=SC2086
  "$cc" "${ccflags[@]}" -DLBS_HOST_SONAME="\"$soname\"" tests/package_host/host.c $cflags -ldl -o "$out/host-dlopen"
  local h
  for h in host-linked host-dlopen; do
    echo "check-packages: $arch: $h"
    if "${run[@]}" "$out/$h" "$libdir"; then pass "$arch: $h"; else fail "$arch: $h"; fi
  done
}

start=$(date +%s)
build_packages build-packages x86_64-linux-gnu
check_contents build-packages x86_64-linux-gnu amd64
run_host build-packages x86_64-linux-gnu amd64

if [ "$want_armhf" = yes ]; then
  bash scripts/make-armhf-sysroot.sh "$sysroot"
  build_packages build-packages-armhf arm-linux-gnueabihf \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-armhf.cmake" -DLBS_ARMHF_SYSROOT="$sysroot"
  check_contents build-packages-armhf arm-linux-gnueabihf armhf
  # Given by hand for the cross build: it must name the packages dpkg-shlibdeps found natively.
  names() { tr ',' '\n' <"$1" | sed 's/(.*//; s/ //g' | LC_ALL=C sort; }
  expect_eq "armhf: Depends names the same packages as amd64's" \
    "$(names build-packages/check/depends)" "$(names build-packages-armhf/check/depends)"
  run_host build-packages-armhf arm-linux-gnueabihf armhf
else
  echo "check-packages: armhf skipped (no sysroot at $sysroot; --armhf makes one)"
fi

if [ "$keep" -eq 0 ]; then
  rm -rf build-packages/check build-packages-armhf/check
fi
echo "check-packages: $([ "$failed" -eq 0 ] && echo OK || echo FAILED) in $(($(date +%s) - start)) s"
exit "$failed"
