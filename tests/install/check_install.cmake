# cmake -P: installs BUILD_DIR into WORK_DIR/prefix and uses the result as a consumer would.
cmake_minimum_required(VERSION 3.25)

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
# Nothing may come from the build tree's library folder or a copy elsewhere.
unset(ENV{LD_LIBRARY_PATH})

# run(EXIT code COMMAND ...): fails the check unless the command exits with code (default 0).
function(run)
  cmake_parse_arguments(R "" "EXIT" "COMMAND" ${ARGN})
  if(NOT DEFINED R_EXIT)
    set(R_EXIT 0)
  endif()
  execute_process(COMMAND ${R_COMMAND} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc STREQUAL R_EXIT)
    list(JOIN R_COMMAND " " shown)
    message(FATAL_ERROR "${shown}\nexited ${rc}, not ${R_EXIT}:\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

run(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The four programs and nothing else: no test, benchmark or fuzz executables.
file(GLOB programs RELATIVE ${prefix}/bin ${prefix}/bin/*)
list(SORT programs)
if(NOT programs STREQUAL "zavel;zavel-cli;zavel-devserver;zavel-mount")
  message(FATAL_ERROR "bin holds: ${programs}")
endif()
foreach(file ${LIBDIR}/libzavelsdk.so ${LIBDIR}/libzavelsdk.so.0 include/zavelsdk.h
    share/applications/zavel.desktop share/icons/hicolor/scalable/apps/zavel.svg)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The installed program finds the installed library by itself.
run(COMMAND ${prefix}/bin/zavel-cli --help)

# pkg-config, from this prefix only.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
set(ENV{PKG_CONFIG_LIBDIR} ${prefix}/${LIBDIR}/pkgconfig)
run(COMMAND pkg-config --cflags --libs zavelsdk)
separate_arguments(flags UNIX_COMMAND "${output}")
run(COMMAND ${C_COMPILER} ${EXAMPLE} -o ${WORK_DIR}/list_folder ${flags})

# The CMake package.
run(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK_DIR}/consumer -G ${GENERATOR}
  -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DZAVEL_PREFIX=${prefix} -DEXAMPLE=${EXAMPLE})
run(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)

# Both examples load the library and stop at their usage line. A sanitized library wants its
# runtime loaded first, which a plain C program does not do, so those are only linked.
if(NOT SANITIZE)
  set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})
  foreach(example ${WORK_DIR}/list_folder ${WORK_DIR}/consumer/list_folder)
    run(EXIT 2 COMMAND ${example})
    if(NOT output MATCHES "usage: ")
      message(FATAL_ERROR "${example} printed no usage line:\n${output}")
    endif()
  endforeach()
endif()

# The Debian packages: made from this tree, unpacked into a scratch root, each holding its
# part, and the example built against the development package alone (with the library's
# package it depends on).
run(COMMAND cpack --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/debs)
set(root ${WORK_DIR}/root)
set(expected
  "libzavelsdk0,usr/${LIBDIR}/libzavelsdk.so.0"
  "libzavelsdk-dev,usr/include/zavelsdk.h,usr/${LIBDIR}/libzavelsdk.so,usr/${LIBDIR}/pkgconfig/zavelsdk.pc"
  "zavel,usr/bin/zavel,usr/share/applications/zavel.desktop"
  "zavel-tools,usr/bin/zavel-cli,usr/bin/zavel-mount,usr/bin/zavel-devserver")
foreach(entry ${expected})
  string(REPLACE "," ";" entry "${entry}")
  list(POP_FRONT entry package)
  file(GLOB deb ${WORK_DIR}/debs/${package}_*.deb)
  if(NOT deb)
    message(FATAL_ERROR "no package ${package}")
  endif()
  run(COMMAND dpkg-deb -c ${deb})
  foreach(file ${entry} usr/share/doc/${package}/copyright)
    if(NOT output MATCHES "\\./${file}( |\n)")
      message(FATAL_ERROR "${package} lacks ${file}:\n${output}")
    endif()
  endforeach()
  if(package MATCHES "^libzavelsdk")
    run(COMMAND dpkg-deb -x ${deb} ${root})
  endif()
endforeach()
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${root})
set(ENV{PKG_CONFIG_PATH} ${root}/usr/${LIBDIR}/pkgconfig)
set(ENV{PKG_CONFIG_LIBDIR} ${root}/usr/${LIBDIR}/pkgconfig)
run(COMMAND pkg-config --cflags --libs zavelsdk)
separate_arguments(flags UNIX_COMMAND "${output}")
run(COMMAND ${C_COMPILER} ${EXAMPLE} -o ${WORK_DIR}/list_folder_deb ${flags})
if(NOT SANITIZE)
  set(ENV{LD_LIBRARY_PATH} ${root}/usr/${LIBDIR})
  run(EXIT 2 COMMAND ${WORK_DIR}/list_folder_deb)
endif()
