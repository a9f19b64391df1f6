# Installation and Debian packages of the plugin.
#
# What ships is the plugin and its boundary header, nothing else:
#   runtime  libZUV-lbs-plugin-consumer.so.0 and the versioned file it points to
#   dev      include/lbs_consumer_plugin.h, the unversioned libZUV-lbs-plugin-consumer.so
#            link and the pkg-config file lbs-consumer-plugin.pc
# `cmake --install` installs both; CPack makes one Debian package of each:
#   libzuv-lbs-plugin-consumer0      (runtime)
#   libzuv-lbs-plugin-consumer-dev   (dev, depends on the runtime package of the same version)
#
# The plugin links the watch's platform libraries (libdlog.so.0, libvconf.so.0,
# libstorage.so.0, libalarmmgr.so.0, libdevice_power.so.0,
# libkov-client-stub-api.so.1, libbapd_client.so.0). On the watch those are the
# platform's own; here they are the stand-ins under platform/, built for
# development only. The packages neither contain them nor depend on a package
# for them: their Depends name only the Debian libraries (C and C++ runtimes,
# GLib, json-glib). To run the packaged plugin away from the watch, put the
# stand-ins where the loader finds them: they install on request only, as the
# component platform-standins, e.g.
#   cmake --install BUILD --component platform-standins --prefix DIR
# and nothing else of the tests or the simulator installs at all.
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

install(TARGETS lbs_plugin_shared
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime
    NAMELINK_COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/include/lbs_consumer_plugin.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT dev)

# The pkg-config file. Cflags find the header; Libs link the plugin; the
# variable soname is the name a host passes to dlopen.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(LBS_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(LBS_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(LBS_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(LBS_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/pkgconfig/${LBS_PC_NAME}.pc CONTENT
"prefix=${CMAKE_INSTALL_PREFIX}
libdir=${LBS_PC_LIBDIR}
includedir=${LBS_PC_INCLUDEDIR}
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
# default, never packaged.
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
set(CPACK_PACKAGE_NAME libzuv-lbs-plugin-consumer)
set(CPACK_PACKAGE_VENDOR "Location consumer plugin developers")
set(CPACK_PACKAGE_CONTACT "Location consumer plugin developers <lbs-consumer-plugin@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(LBS_DEB_ARCH)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${LBS_DEB_ARCH})
endif()

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzuv-lbs-plugin-consumer0)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# First line: the summary; an empty line separates paragraphs.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"location consumer plugin for the watch's location server
libZUV-lbs-plugin-consumer.so.0, which the location server loads to obtain
positions, the GPS assistance file, map images, reference time and exercise
figures from the paired phone.

The plugin needs the watch's platform libraries (log, settings store,
storage, alarm manager, power lock, accessory framework client, BLE accessory
daemon client), which this package does not provide.")
# Lets packages built against this one derive their dependency on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libzuv-lbs-plugin-consumer-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION
"location consumer plugin: development files
The host boundary header lbs_consumer_plugin.h, the libZUV-lbs-plugin-consumer.so
link and the pkg-config file lbs-consumer-plugin.pc.")

if(NOT CMAKE_CROSSCOMPILING)
  # dpkg-shlibdeps reads the plugin's needs from the libraries installed on
  # this machine. The platform stand-ins belong to no package and are left
  # out of Depends (CPack runs it with --ignore-missing-info).
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
else()
  # A cross build's libraries sit in a sysroot that has no dpkg database, so
  # dpkg-shlibdeps cannot name their packages: the same Depends as the
  # native package, given by hand. scripts/check-packages.sh compares the two.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
    "libc6 (>= 2.33), libgcc-s1 (>= 3.5), libglib2.0-0 (>= 2.28.0), libjson-glib-1.0-0 (>= 1.5.2), libstdc++6 (>= 11)")
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
