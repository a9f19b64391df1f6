#!/usr/bin/env bash
# Builds the Debian packages and proves that they are fit to ship and that a
# host can use what they install:
#   scripts/check-packages.sh [--armhf | --no-armhf] [--keep]
#
# For amd64 (build-packages/), and for armhf (build-packages-armhf/) when the
# armhf sysroot exists or --armhf asks for it (the sysroot is then made):
#  1. configures a device build (-DLBS_DEVICE_PATHS=ON, prefix /usr), builds
#     the plugin, lbs-sim and its manual page, and makes the three packages
#     with cpack;
#  2. checks what `cmake --install` and each package contain, and nothing more,
#     the packages' Depends and Multi-Arch, that no file is in two packages,
#     and runs lintian over each package: any error fails the check
#     (warnings are printed);
#  3. unpacks the packages into a scratch root with dpkg-deb -x (no root, no
#     dpkg database touched) and installs the platform stand-ins beside it,
#     where the watch would have its own platform libraries;
#  4. builds tests/package_host/host.c against the scratch root through
#     pkg-config, found where the packages put it and relocated from there
#     (${pcfiledir}, with and without --define-prefix), once linked to the
#     plugin and once loading it with dlopen by its soname, and runs both
#     (armhf under qemu-arm); runs the packaged lbs-sim on the packaged plugin.
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
deb_version=$(sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p' cmake/debian/changelog)
runtime_pkg=libzuv-lbs-plugin-consumer0
dev_pkg=libzuv-lbs-plugin-consumer-dev
sim_pkg=lbs-sim
maintainer="Location consumer plugin maintainers <lbs-plugin-maintainers@lists.example.org>"
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
  local dir=$1 triplet=$2; shift 2
  local start
  start=$(date +%s)
  mkdir -p "$dir"
  # Debian's build flags (hardened, as a Debian package is built), for the
  # target architecture.
  local deb_arch=amd64 cflags cxxflags cppflags ldflags
  [ "$triplet" = arm-linux-gnueabihf ] && deb_arch=armhf
  cppflags=$(DEB_HOST_ARCH=$deb_arch DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS 2>/dev/null)
  cflags=$(DEB_HOST_ARCH=$deb_arch DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CFLAGS 2>/dev/null)
  cxxflags=$(DEB_HOST_ARCH=$deb_arch DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS 2>/dev/null)
  ldflags=$(DEB_HOST_ARCH=$deb_arch DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS 2>/dev/null)
  # They reach CMake through the environment, which it joins with what the
  # toolchain file sets, when the cache is made: it is made anew each time
  # (the objects stay; what did not change is not rebuilt).
  rm -f "$dir/CMakeCache.txt"
  CFLAGS="$cflags $cppflags" CXXFLAGS="$cxxflags $cppflags" LDFLAGS="$ldflags" \
  cmake -S . -B "$dir" -G Ninja -DLBS_WERROR="${LBS_WERROR:-ON}" -DLBS_DEVICE_PATHS=ON \
    -DCMAKE_INSTALL_PREFIX=/usr -DLBS_BUILD_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >"$dir/configure.log" 2>&1 ||
    { cat "$dir/configure.log" >&2; return 1; }
  cmake --build "$dir" --target lbs_plugin_shared lbs-sim lbs_sim_man
  rm -rf "$dir/packages"
  (cd "$dir" && cpack)
  echo "check-packages: $dir built and packaged in $(($(date +%s) - start)) s"
}

# The files a package or an install tree holds, one per line: "path" or "path -> target".
list_tree() {
  (cd "$1" && find . -mindepth 1 \( -type l -printf '%P -> %l\n' \) -o \( -type f -printf '%P\n' \) | LC_ALL=C sort)
}

# check_contents DIR TRIPLET ARCH: what the default install and each package
# hold, their control fields, and lintian's verdict.
check_contents() {
  local dir=$1 triplet=$2 arch=$3
  local libdir=usr/lib/$triplet
  docs() { printf 'usr/share/doc/%s/changelog.Debian.gz\nusr/share/doc/%s/copyright\n' "$1" "$1"; }
  local runtime_files dev_files sim_files s
  runtime_files=$(printf '%s\n' "$libdir/$lib.0 -> $lib.$version" "$libdir/$lib.$version"; docs "$runtime_pkg")
  dev_files=$(printf '%s\n' "$libdir/$lib -> $lib.0" "$libdir/pkgconfig/$pc.pc" \
    usr/include/lbs_consumer_plugin.h usr/include/lbs_consumer_plugin_version.h; docs "$dev_pkg")
  sim_files=$(
    printf '%s\n' usr/bin/lbs-sim usr/share/man/man1/lbs-sim.1.gz usr/share/doc/$sim_pkg/scenarios.md \
      usr/share/lintian/overrides/$sim_pkg
    for s in libalarmmgr.so.0 libbapd_client.so.0 libdevice_power.so.0 libdlog.so.0 \
      libkov-client-stub-api.so.1 libstorage.so.0 libvconf.so.0; do
      echo "$libdir/lbs-sim/$s"
    done
    for s in default run walk; do echo "usr/share/lbs-sim/scenarios/$s.scn"; done
    for s in city_walk drive hilly_run; do echo "usr/share/lbs-sim/tracks/$s.gpx"; done
    docs "$sim_pkg")

  local staged=$dir/check/install
  rm -rf "$staged"
  DESTDIR=$staged cmake --install "$dir" >/dev/null
  expect_eq "$arch: cmake --install lays out the three packages' files, nothing else" \
    "$(printf '%s\n%s\n%s\n' "$runtime_files" "$dev_files" "$sim_files" | LC_ALL=C sort)" "$(list_tree "$staged")"

  local runtime_deb=$dir/packages/${runtime_pkg}_${deb_version}_$arch.deb
  local dev_deb=$dir/packages/${dev_pkg}_${deb_version}_$arch.deb
  local sim_deb=$dir/packages/${sim_pkg}_${deb_version}_$arch.deb
  local d
  for d in "$runtime_deb" "$dev_deb" "$sim_deb"; do
    [ -f "$d" ] || { fail "no package $d"; return 1; }
    printf 'check-packages: %s: %s bytes\n' "$(basename "$d")" "$(stat -c %s "$d")"
  done
  local x=$dir/check/x
  rm -rf "$x" && mkdir -p "$x/runtime" "$x/dev" "$x/sim"
  dpkg-deb -x "$runtime_deb" "$x/runtime"
  dpkg-deb -x "$dev_deb" "$x/dev"
  dpkg-deb -x "$sim_deb" "$x/sim"
  expect_eq "$arch: $runtime_pkg holds the library, its soname link, copyright and changelog" \
    "$(LC_ALL=C sort <<<"$runtime_files")" "$(list_tree "$x/runtime")"
  expect_eq "$arch: $dev_pkg holds the headers, the .so link, $pc.pc, copyright and changelog" \
    "$(LC_ALL=C sort <<<"$dev_files")" "$(list_tree "$x/dev")"
  expect_eq "$arch: $sim_pkg holds lbs-sim, its stand-ins, tracks, scenarios, manual page and documents" \
    "$(LC_ALL=C sort <<<"$sim_files")" "$(list_tree "$x/sim")"
  # Installable side by side: no path is in two packages.
  expect_eq "$arch: no file is in two packages" "" \
    "$(cat <(list_tree "$x/runtime") <(list_tree "$x/dev") <(list_tree "$x/sim") | sed 's/ -> .*//' | LC_ALL=C sort | uniq -d)"
  # The Debian changelog as Debian ships it: gzip -9 without name or time.
  local cl
  for cl in "$x"/*/usr/share/doc/*/changelog.Debian.gz; do
    if gzip -lv "$cl" >/dev/null && [ "$(od -An -tu1 -j4 -N4 "$cl" | tr -s ' ')" = " 0 0 0 0" ] &&
      cmp -s <(gzip -dc "$cl") cmake/debian/changelog; then
      pass "$arch: ${cl#"$x"/} is cmake/debian/changelog, gzip without time stamp"
    else
      fail "$arch: ${cl#"$x"/} is not cmake/debian/changelog compressed without time stamp"
    fi
  done

  expect_eq "$arch: package architecture" "$arch $arch $arch" \
    "$(dpkg-deb -f "$runtime_deb" Architecture) $(dpkg-deb -f "$dev_deb" Architecture) $(dpkg-deb -f "$sim_deb" Architecture)"
  expect_eq "$arch: Multi-Arch of the library, -dev and lbs-sim" "same same no" \
    "$(dpkg-deb -f "$runtime_deb" Multi-Arch) $(dpkg-deb -f "$dev_deb" Multi-Arch) $(dpkg-deb -f "$sim_deb" Multi-Arch)"
  for d in "$runtime_deb" "$dev_deb" "$sim_deb"; do
    expect_eq "$arch: $(basename "$d") maintainer" "$maintainer" "$(dpkg-deb -f "$d" Maintainer)"
  done
  expect_eq "$arch: $dev_pkg depends on $runtime_pkg of its own version" \
    "$runtime_pkg (= $deb_version)" "$(dpkg-deb -f "$dev_deb" Depends)"
  local depends sim_depends
  depends=$(dpkg-deb -f "$runtime_deb" Depends)
  sim_depends=$(dpkg-deb -f "$sim_deb" Depends)
  echo "check-packages: $arch: $runtime_pkg Depends: $depends"
  echo "check-packages: $arch: $sim_pkg Depends: $sim_depends"
  local p
  for p in libc6 libglib2.0-0 libjson-glib-1.0-0 libstdc++6; do
    case ", $depends" in *", $p "*) ;; *) fail "$arch: $runtime_pkg does not depend on $p" ;; esac
  done
  for p in "$runtime_pkg (= $deb_version)" "libcairo2 " "libxml2 " "libjpeg62-turbo " "libgeographic"; do
    case ", $sim_depends" in *", $p"*) ;; *) fail "$arch: $sim_pkg does not depend on $p" ;; esac
  done
  expect_eq "$arch: $runtime_pkg ships a shlibs file for the soname" \
    "libZUV-lbs-plugin-consumer 0 $runtime_pkg (>= $deb_version)" \
    "$(dpkg-deb --ctrl-tarfile "$runtime_deb" | tar -xO ./shlibs)"
  local readelf=readelf
  [ "$arch" = armhf ] && readelf=arm-linux-gnueabihf-readelf
  expect_eq "$arch: $runtime_pkg's symbols file names what the library exports" \
    "$("$readelf" --dyn-syms -W "$x/runtime/$libdir/$lib.$version" | awk '$7 != "UND" && $5 == "GLOBAL" { print $8 }' | LC_ALL=C sort)" \
    "$(dpkg-deb --ctrl-tarfile "$runtime_deb" | tar -xO ./symbols | sed -n 's/^ \([^@]*\)@.*/\1/p' | LC_ALL=C sort)"
  expect_eq "$arch: the library's soname" "$lib.0" \
    "$("$readelf" -d "$x/runtime/$libdir/$lib.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')"
  local dynamic
  dynamic=$("$readelf" -d "$x/runtime/$libdir/$lib.$version")
  case $dynamic in
    *RPATH* | *RUNPATH*) fail "$arch: the packaged library carries an RPATH or RUNPATH" ;;
    *) pass "$arch: the packaged library carries no RPATH or RUNPATH" ;;
  esac
  expect_eq "$arch: lbs-sim looks for its stand-ins beside itself only" "\$ORIGIN/../lib/$triplet/lbs-sim" \
    "$("$readelf" -d "$x/sim/usr/bin/lbs-sim" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')"
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
  printf '%s\n' "$sim_depends" >"$dir/check/sim-depends"

  # lintian: no error on any package; warnings and the rest are shown.
  if ! command -v lintian >/dev/null; then
    fail "$arch: lintian is not installed (scripts/install-deps.sh installs it)"
    return
  fi
  local out=$dir/check/lintian.txt
  lintian --no-cfg --fail-on none --display-info \
    "$runtime_deb" "$dev_deb" "$sim_deb" >"$out" 2>&1 || true
  sed 's/^/check-packages: lintian: /' "$out"
  local errors
  errors=$(grep -c '^E: ' "$out" || true)
  if [ "$errors" -eq 0 ] && ! grep -q '^internal error\|^lintian: ' "$out"; then
    pass "$arch: lintian: no error ($(grep -c '^W: ' "$out" || true) warnings, $(grep -c '^I: ' "$out" || true) notes)"
  else
    fail "$arch: lintian: $errors errors"
  fi
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

  # No sysroot given: the file finds the scratch root from where it lies.
  local -a pcenv=(env PKG_CONFIG_LIBDIR="$libdir/pkgconfig" PKG_CONFIG_PATH= PKG_CONFIG_SYSROOT_DIR=)
  local cflags libs soname modversion
  cflags=$("${pcenv[@]}" pkg-config --cflags "$pc")
  libs=$("${pcenv[@]}" pkg-config --libs "$pc")
  soname=$("${pcenv[@]}" pkg-config --variable=soname "$pc")
  modversion=$("${pcenv[@]}" pkg-config --modversion "$pc")
  echo "check-packages: $arch: pkg-config $pc: version $modversion; Cflags: $cflags; Libs: $libs; soname: $soname"
  expect_eq "$arch: pkg-config's soname variable" "$lib.0" "$soname"
  expect_eq "$arch: pkg-config's version" "$version" "$modversion"
  expect_eq "$arch: pkg-config's include directory is the scratch root's" "$scratch/usr/include" \
    "$(realpath -m "$("${pcenv[@]}" pkg-config --variable=includedir "$pc")")"
  expect_eq "$arch: pkg-config's library directory is the scratch root's" "$libdir" \
    "$(realpath -m "$("${pcenv[@]}" pkg-config --variable=libdir "$pc")")"
  expect_eq "$arch: pkg-config --define-prefix gives the same Cflags and Libs" "$cflags $libs" \
    "$("${pcenv[@]}" pkg-config --define-prefix --cflags "$pc") $("${pcenv[@]}" pkg-config --define-prefix --libs "$pc")"

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
  ccflags+=(-DLBS_HOST_EXPECT_VERSION="\"$modversion\"")
  "$cc" "${ccflags[@]}" tests/package_host/host.c $cflags $libs -Wl,-rpath-link,"$platform_libdir" -o "$out/host-linked"
  # shellcheck disable=SC2086
  "$cc" "${ccflags[@]}" -DLBS_HOST_SONAME="\"$soname\"" tests/package_host/host.c $cflags -ldl -o "$out/host-dlopen"
  local h
  for h in host-linked host-dlopen; do
    echo "check-packages: $arch: $h"
    if "${run[@]}" "$out/$h" "$libdir"; then pass "$arch: $h"; else fail "$arch: $h"; fi
  done

  # The packaged lbs-sim on the packaged plugin (found by its soname on the
  # loader's path, here the scratch root's library directory): the demo's
  # first link, as a trace; the tracks are read from the package.
  local sim_run=(env LD_LIBRARY_PATH="$libdir")
  [ "$arch" = armhf ] && sim_run=(qemu-arm -L "$sysroot" -E LD_LIBRARY_PATH="$libdir")
  local trace=$out/lbs-sim.trace
  if "${sim_run[@]}" "$scratch/usr/bin/lbs-sim" --trace "$scratch/usr/share/lbs-sim/scenarios/walk.scn" >"$trace" 2>"$out/lbs-sim.err" &&
    grep -q ' event BATCH_POSITION error=0 count=60$' "$trace"; then
    pass "$arch: the packaged lbs-sim plays walk.scn on the packaged plugin ($(wc -l <"$trace") trace lines)"
  else
    fail "$arch: the packaged lbs-sim on walk.scn: $(head -c 500 "$out/lbs-sim.err")"
  fi
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
  expect_eq "armhf: lbs-sim's Depends names the same packages as amd64's" \
    "$(names build-packages/check/sim-depends)" "$(names build-packages-armhf/check/sim-depends)"
  run_host build-packages-armhf arm-linux-gnueabihf armhf
else
  echo "check-packages: armhf skipped (no sysroot at $sysroot; --armhf makes one)"
fi

if [ "$keep" -eq 0 ]; then
  rm -rf build-packages/check build-packages-armhf/check
fi
echo "check-packages: $([ "$failed" -eq 0 ] && echo OK || echo FAILED) in $(($(date +%s) - start)) s"
exit "$failed"
