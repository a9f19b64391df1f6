# Installation and Debian packages.
#
# What ships:
#   runtime  libZUV-lbs-plugin-consumer.so.0 and the versioned file it points to
#   dev      include/lbs_consumer_plugin.h and the generated
#            lbs_consumer_plugin_version.h it includes, the unversioned
#            libZUV-lbs-plugin-consumer.so link and the pkg-config file
#            lbs-consumer-plugin.pc
#   sim      lbs-sim, the platform stand-ins it runs the plugin among (in its
#            own directory, lib/<triplet>/lbs-sim, found through its RUNPATH),
#            its tracks and example scenarios (share/lbs-sim), its manual page
#            and docs/scenarios.md
# and in each package's share/doc/PKG a machine-readable copyright file and
# the Debian changelog (cmake/debian/). `cmake --install` installs all three;
# CPack makes one Debian package of each:
#   libzuv-lbs-plugin-consumer0      (runtime, Multi-Arch: same)
#   libzuv-lbs-plugin-consumer-dev   (dev, Multi-Arch: same, depends on the runtime package of the same version)
#   lbs-sim                          (sim, depends on the runtime package of the same version)
#
# The plugin links the watch's platform libraries (libdlog.so.0, libvconf.so.0,
# libstorage.so.0, libalarmmgr.so.0, libdevice_power.so.0,
# libkov-client-stub-api.so.1, libbapd_client.so.0). On the watch those are the
# platform's own; here they are the stand-ins under platform/, built for
# development. The library packages neither contain them nor depend on a
# package for them: their Depends name only the Debian libraries (C and C++
# runtimes, GLib, json-glib). lbs-sim carries its own copies in its private
# directory, where nothing but lbs-sim looks. To run the packaged plugin away
# from the watch in another program, put the stand-ins where the loader finds
# them: they install on request only, as the component platform-standins, e.g.
#   cmake --install BUILD --component platform-standins --prefix DIR
# and nothing of the tests installs at all.
#
# Packages are meant for the watch's file directory and the usual prefix:
# configure with -DLBS_DEVICE_PATHS=ON -DCMAKE_INSTALL_PREFIX=/usr. cpack
# refuses a build that keeps the file directory inside the build tree.

# Libraries go to the multiarch directory (lib/x86_64-linux-gnu,
# lib/arm-linux-gnueabihf) whatever the prefix, as Debian lays them out.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (LIBDIR)")
endif()
include(GNUInstallDirs)

set(LBS_PC_NAME lbs-consumer-plugin)
set(LBS_DEB_RUNTIME libzuv-lbs-plugin-consumer0)
set(LBS_DEB_DEV libzuv-lbs-plugin-consumer-dev)
set(LBS_DEB_SIM lbs-sim)
set(LBS_MAINTAINER "Location consumer plugin maintainers <lbs-plugin-maintainers@lists.example.org>")

install(TARGETS lbs_plugin_shared
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime
    NAMELINK_COMPONENT dev)
install(FILES
    ${PROJECT_SOURCE_DIR}/include/lbs_consumer_plugin.h
    ${PROJECT_BINARY_DIR}/include/lbs_consumer_plugin_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT dev)

# The pkg-config file. Cflags find the header; Libs link the plugin; the
# variable soname is the name a host passes to dlopen. Every directory is
# derived from where the file itself lies (${pcfiledir}), so an install tree
# moved elsewhere, or packages unpacked into a scratch root, still work. The
# library and include directories do not go through ${prefix}: for a file in
# a multiarch directory (lib/<triplet>/pkgconfig) `pkg-config
# --define-prefix` guesses the prefix one level too deep (lib/), and these
# two stay right whether it does or not.
file(RELATIVE_PATH LBS_PC_TO_PREFIX
  "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
file(RELATIVE_PATH LBS_PC_TO_INCLUDEDIR
  "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/pkgconfig/${LBS_PC_NAME}.pc CONTENT
"prefix=\${pcfiledir}/${LBS_PC_TO_PREFIX}
libdir=\${pcfiledir}/..
includedir=\${pcfiledir}/${LBS_PC_TO_INCLUDEDIR}
soname=$<TARGET_SONAME_FILE_NAME:lbs_plugin_shared>

Name: ${LBS_PC_NAME}
Description: Location consumer plugin: the host boundary header and the plugin library
Version: ${PROJECT_VERSION}
Cflags: -I\${includedir}
Libs: -L\${libdir} -l$<TARGET_PROPERTY:lbs_plugin_shared,OUTPUT_NAME>
")
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${LBS_PC_NAME}.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)

# Development stand-ins for the platform libraries: never installed by
# default, never packaged on their own.
set(LBS_PLATFORM_STANDINS)
foreach(lib dlog vconf storage alarmmgr device_power kov_client bapd_client)
  if(TARGET ${lib})
    list(APPEND LBS_PLATFORM_STANDINS ${lib})
  endif()
endforeach()
install(TARGETS ${LBS_PLATFORM_STANDINS}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT platform-standins
    NAMELINK_SKIP
  EXCLUDE_FROM_ALL)

# ---- lbs-sim ----

if(TARGET lbs-sim)
  # The stand-ins lbs-sim runs the plugin among, in a directory of its own
  # that only its RUNPATH names. The plugin itself is found by its soname:
  # where the loader finds libraries (the runtime package), or in the build
  # tree the library directory the build RUNPATH names.
  set(LBS_SIM_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/lbs-sim)
  file(RELATIVE_PATH LBS_SIM_BIN_TO_PRIVATE
    "${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}" "${CMAKE_INSTALL_PREFIX}/${LBS_SIM_PRIVATE_LIBDIR}")
  set_target_properties(lbs-sim PROPERTIES INSTALL_RPATH "\$ORIGIN/${LBS_SIM_BIN_TO_PRIVATE}")
  install(TARGETS lbs-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
  install(TARGETS ${LBS_PLATFORM_STANDINS}
    LIBRARY DESTINATION ${LBS_SIM_PRIVATE_LIBDIR}
      COMPONENT sim
      NAMELINK_SKIP)
  install(FILES ${PROJECT_SOURCE_DIR}/sim/tracks/city_walk.gpx ${PROJECT_SOURCE_DIR}/sim/tracks/drive.gpx
      ${PROJECT_SOURCE_DIR}/sim/tracks/hilly_run.gpx
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lbs-sim/tracks
    COMPONENT sim)
  # The scenarios name their tracks as ../tracks/..., which holds here too.
  install(FILES ${PROJECT_SOURCE_DIR}/sim/scenarios/default.scn ${PROJECT_SOURCE_DIR}/sim/scenarios/run.scn
      ${PROJECT_SOURCE_DIR}/sim/scenarios/walk.scn
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lbs-sim/scenarios
    COMPONENT sim)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/scenarios.md
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${LBS_DEB_SIM}
    COMPONENT sim)
  # What lintian says of lbs-sim that is as meant, each with its reason.
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/lbs-sim.lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${LBS_DEB_SIM}
    COMPONENT sim)

  # The manual page, made by help2man from `lbs-sim --help` (a cross build
  # runs lbs-sim through its emulator), when help2man is there
  # (scripts/install-deps.sh installs it).
  find_program(LBS_HELP2MAN help2man)
  if(LBS_HELP2MAN)
    set(LBS_SIM_MAN ${PROJECT_BINARY_DIR}/man/lbs-sim.1)
    set(LBS_SIM_FOR_HELP2MAN ${PROJECT_BINARY_DIR}/man/run/lbs-sim)
    if(CMAKE_CROSSCOMPILING_EMULATOR)
      list(JOIN CMAKE_CROSSCOMPILING_EMULATOR "\" \"" LBS_EMULATOR_WORDS)
      set(LBS_EMULATOR_WORDS "\"${LBS_EMULATOR_WORDS}\" ")
    else()
      set(LBS_EMULATOR_WORDS "")
    endif()
    # help2man names the page after the program it runs: a wrapper called lbs-sim.
    file(GENERATE OUTPUT ${LBS_SIM_FOR_HELP2MAN}
      CONTENT "#!/bin/sh\nexec ${LBS_EMULATOR_WORDS}\"$<TARGET_FILE:lbs-sim>\" \"$@\"\n"
      FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    # Dated as the top entry of the Debian changelog, not the day of the build.
    file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog LBS_CHANGELOG_SIGNOFF REGEX "^ -- " LIMIT_COUNT 1)
    string(REGEX REPLACE ".*>  " "" LBS_CHANGELOG_DATE "${LBS_CHANGELOG_SIGNOFF}")
    execute_process(COMMAND date -d "${LBS_CHANGELOG_DATE}" +%s
      OUTPUT_VARIABLE LBS_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    add_custom_command(OUTPUT ${LBS_SIM_MAN}.gz
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${LBS_SOURCE_DATE_EPOCH} ${LBS_HELP2MAN} --no-info --no-discard-stderr --section=1
        --version-string=${PROJECT_VERSION}
        "--name=runs the location consumer plugin through a scenario"
        --include=${PROJECT_SOURCE_DIR}/cmake/debian/lbs-sim.h2m
        --output=${LBS_SIM_MAN} ${LBS_SIM_FOR_HELP2MAN}
      COMMAND gzip -9nf ${LBS_SIM_MAN}
      DEPENDS lbs-sim ${PROJECT_SOURCE_DIR}/cmake/debian/lbs-sim.h2m
      COMMENT "Making the lbs-sim manual page"
      VERBATIM)
    # A cross or sanitizer build makes it when asked (the package check
    # does), so that building everything runs lbs-sim neither under the
    # emulator nor under the sanitizers.
    if(CMAKE_CROSSCOMPILING OR LBS_SANITIZE)
      add_custom_target(lbs_sim_man DEPENDS ${LBS_SIM_MAN}.gz)
    else()
      add_custom_target(lbs_sim_man ALL DEPENDS ${LBS_SIM_MAN}.gz)
    endif()
    install(FILES ${LBS_SIM_MAN}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT sim)
  else()
    message(STATUS "help2man not found: no manual page for lbs-sim")
  endif()
endif()

# ---- Copyright and changelog of every package ----

# The Debian changelog, compressed as Debian packages ship it: no name or
# time stamp in the gzip header, so every build gives the same bytes.
set(LBS_DEB_CHANGELOG ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/debian)
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
  OUTPUT_FILE ${LBS_DEB_CHANGELOG} RESULT_VARIABLE LBS_GZIP_RC)
if(NOT LBS_GZIP_RC EQUAL 0)
  message(FATAL_ERROR "gzip of cmake/debian/changelog failed: ${LBS_GZIP_RC}")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog LBS_DEB_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT LBS_DEB_CHANGELOG_TOP MATCHES "\\(${PROJECT_VERSION}-[0-9]+\\)")
  message(FATAL_ERROR "cmake/debian/changelog does not start with version ${PROJECT_VERSION}: ${LBS_DEB_CHANGELOG_TOP}")
endif()
string(REGEX REPLACE ".*\\(${PROJECT_VERSION}-([0-9]+)\\).*" "\\1" LBS_DEB_RELEASE "${LBS_DEB_CHANGELOG_TOP}")

set(LBS_DOC_COMPONENTS runtime:${LBS_DEB_RUNTIME} dev:${LBS_DEB_DEV})
if(TARGET lbs-sim)
  list(APPEND LBS_DOC_COMPONENTS sim:${LBS_DEB_SIM})
endif()
foreach(pair IN LISTS LBS_DOC_COMPONENTS)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${LBS_DEB_CHANGELOG}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    COMPONENT ${component})
endforeach()

# ---- Debian packages ----

# The Debian architecture of the build's target, not of the machine running
# cpack (which is what CPack would ask dpkg for).
set(LBS_DEB_ARCH_amd64 x86_64-linux-gnu)
set(LBS_DEB_ARCH_armhf arm-linux-gnueabihf)
set(LBS_DEB_ARCH_arm64 aarch64-linux-gnu)
set(LBS_DEB_ARCH_i386 i386-linux-gnu)
unset(LBS_DEB_ARCH)
foreach(arch amd64 armhf arm64 i386)
  if(CMAKE_LIBRARY_ARCHITECTURE STREQUAL LBS_DEB_ARCH_${arch})
    set(LBS_DEB_ARCH ${arch})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lbs-consumer-plugin)
set(CPACK_PACKAGE_VENDOR "Location consumer plugin developers")
set(CPACK_PACKAGE_CONTACT "${LBS_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LBS_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
if(TARGET lbs-sim)
  list(APPEND CPACK_COMPONENTS_ALL sim)
endif()
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_SIM_DEPENDS runtime)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${LBS_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE lbs-consumer-plugin)
if(LBS_DEB_ARCH)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${LBS_DEB_ARCH})
endif()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${LBS_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# One copy per architecture can be installed side by side: the library lies
# in the multiarch directory, the documents are the same bytes on every one.
# The same holds for -dev: the headers are the same on every architecture,
# the .so link and the pkg-config file lie in the multiarch directory.
# (cmake/debian/finish-packages.cmake writes the field; it also gives the
# library package the ldconfig trigger in place of CPack's scripts.)
set(CPACK_LBS_MULTIARCH_SAME ${LBS_DEB_RUNTIME} ${LBS_DEB_DEV})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/finish-packages.cmake)
set(CPACK_LBS_STRIP ${CMAKE_STRIP})
# First line: the summary; an empty line separates paragraphs.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"location consumer plugin for the watch's location server
libZUV-lbs-plugin-consumer.so.0, which the location server loads to obtain
positions, the GPS assistance file, map images, reference time and exercise
figures from the paired phone.

The plugin needs the watch's platform libraries (log, settings store,
storage, alarm manager, power lock, accessory framework client, BLE accessory
daemon client), which this package does not provide.")
# Lets packages built against this one derive their dependency on it: the
# shlibs file, and the symbols file of the one symbol the plugin exports
# (the version that brought it; scripts/check-packages.sh compares it with
# what the library exports).
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/symbols)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/${LBS_DEB_RUNTIME}.symbols ${PROJECT_BINARY_DIR}/debian/symbols COPYONLY)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${LBS_DEB_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION
"location consumer plugin: development files
The host boundary header lbs_consumer_plugin.h with its version macros, the
libZUV-lbs-plugin-consumer.so link and the pkg-config file
lbs-consumer-plugin.pc.")

set(CPACK_DEBIAN_SIM_PACKAGE_NAME ${LBS_DEB_SIM})
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIM_DESCRIPTION
"simulator for the location consumer plugin
lbs-sim loads the plugin the way the watch's location server does and plays
the watch's platform and the paired phone around it, on a virtual clock. It
reads a scenario (a text file of commands) and prints what crossed the
plugin's boundaries, as a timeline for people or as a trace to compare with
an expected one; it can also write the positions received as GPX and draw
them.

The package holds lbs-sim with the stand-ins of the platform libraries it
runs the plugin among (in a directory only lbs-sim uses), its GPX tracks and
example scenarios in /usr/share/lbs-sim and the description of the scenario
language in /usr/share/doc/lbs-sim/scenarios.md.")

if(NOT CMAKE_CROSSCOMPILING)
  # dpkg-shlibdeps reads the plugin's and lbs-sim's needs from the libraries
  # installed on this machine. The platform stand-ins belong to no package
  # and are left out of Depends (CPack runs it with --ignore-missing-info).
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_SIM_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
else()
  # A cross build's libraries sit in a sysroot that has no dpkg database, so
  # dpkg-shlibdeps cannot name their packages: the same Depends as the
  # native packages, given by hand. scripts/check-packages.sh compares them.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
    "libc6 (>= 2.33), libgcc-s1 (>= 3.5), libglib2.0-0 (>= 2.28.0), libjson-glib-1.0-0 (>= 1.5.2), libstdc++6 (>= 11)")
  set(CPACK_DEBIAN_SIM_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libcairo2 (>= 1.2.4), libedit2 (>= 2.11-20080614-0), libfontconfig1 (>= 2.12.6), libgcc-s1 (>= 3.5), libgeographiclib23 (>= 1.40), libglib2.0-0 (>= 2.55.1), libjpeg62-turbo (>= 1.3.1), libjson-glib-1.0-0 (>= 1.5.2), libstdc++6 (>= 11), libxml2 (>= 2.7.4)")
endif()

# Refuses to package a plugin that would look for its files in the build tree.
set(LBS_CPACK_CONFIG ${PROJECT_BINARY_DIR}/lbs-cpack-config.cmake)
if(LBS_DEVICE_PATHS)
  set(LBS_PACKAGE_PATHS_OK 1)
else()
  set(LBS_PACKAGE_PATHS_OK 0)
endif()
file(WRITE ${LBS_CPACK_CONFIG}
"if(NOT ${LBS_PACKAGE_PATHS_OK})
  message(FATAL_ERROR \"This build keeps the plugin's file directory in ${LBS_EXTRA_DIR}; \"
    \"configure with -DLBS_DEVICE_PATHS=ON (and -DCMAKE_INSTALL_PREFIX=/usr) to make packages.\")
endif()
")
set(CPACK_PROJECT_CONFIG_FILE ${LBS_CPACK_CONFIG})

include(CPack)
