# Run by cpack after it has made the Debian packages (CPACK_POST_BUILD_SCRIPTS):
# what CPack of CMake 3.25 cannot write itself.
#  - "Multi-Arch: same" in the control file of the packages named in
#    CPACK_LBS_MULTIARCH_SAME;
#  - a package whose maintainer scripts CPack made only to run ldconfig gets
#    the ldconfig trigger instead ("activate-noawait ldconfig"), as Debian
#    packages of libraries do, and no maintainer scripts;
#  - ELF files lose the .comment and .note sections as well, as Debian's
#    own packaging strips them (CPACK_LBS_STRIP names the build's strip),
#    and DEBIAN/md5sums is made again.
# Each package is unpacked with dpkg-deb -R and built again with dpkg-deb -b;
# the files and their modes stay as CPack made them, owned by root.

find_program(LBS_DPKG_DEB dpkg-deb REQUIRED)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.d")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${LBS_DPKG_DEB} -R "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX MATCH "(^|\n)Package: ([^\n]*)" _ "${control}")
  set(package "${CMAKE_MATCH_2}")

  if(package IN_LIST CPACK_LBS_MULTIARCH_SAME AND NOT control MATCHES "\nMulti-Arch:")
    string(REGEX REPLACE "(^|\n)(Architecture: [^\n]*\n)" "\\1\\2Multi-Arch: same\n" control "${control}")
    file(WRITE "${tree}/DEBIAN/control" "${control}")
  endif()

  set(only_ldconfig TRUE)
  set(scripts "")
  foreach(script postinst postrm)
    if(EXISTS "${tree}/DEBIAN/${script}")
      list(APPEND scripts ${script})
      file(STRINGS "${tree}/DEBIAN/${script}" lines)
      foreach(line IN LISTS lines)
        string(STRIP "${line}" line)
        if(NOT line MATCHES "^(#!/bin/sh|set -e|if \\[ \"\\$1\" = \"(configure|remove)\" \\]; then|ldconfig|fi|)$")
          set(only_ldconfig FALSE)
        endif()
      endforeach()
    endif()
  endforeach()
  if(scripts AND only_ldconfig)
    foreach(script IN LISTS scripts)
      file(REMOVE "${tree}/DEBIAN/${script}")
    endforeach()
    file(WRITE "${tree}/DEBIAN/triggers" "activate-noawait ldconfig\n")
    file(CHMOD "${tree}/DEBIAN/triggers" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()

  if(CPACK_LBS_STRIP)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${tree}" "${tree}/*")
    set(sums "")
    list(SORT files)
    foreach(f IN LISTS files)
      if(f MATCHES "^DEBIAN/" OR IS_SYMLINK "${tree}/${f}")
        continue()
      endif()
      file(READ "${tree}/${f}" magic LIMIT 4 HEX)
      if(magic STREQUAL "7f454c46")
        execute_process(COMMAND ${CPACK_LBS_STRIP} --remove-section=.comment --remove-section=.note "${tree}/${f}"
          COMMAND_ERROR_IS_FATAL ANY)
      endif()
      file(MD5 "${tree}/${f}" sum)
      string(APPEND sums "${sum}  ${f}\n")
    endforeach()
    file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
    file(CHMOD "${tree}/DEBIAN/md5sums" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()

  execute_process(COMMAND ${LBS_DPKG_DEB} --root-owner-group -Zxz -b "${tree}" "${deb}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
