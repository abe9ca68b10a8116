# What the Windows toolchain files share: the folders that this clone's scripts prepare, where
# packages are looked for, and Wine to run what is built. Included by each of them.

get_filename_component(lumo_source_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)

# Sets `variable` to a folder one of this clone's scripts prepared: the cache variable of that
# name, else the environment variable, else what `scripts/<script> <args> --print-prefix` says.
# try_compile projects read the toolchain file again and get it too.
function(lumo_prepared_folder variable script)
  if(NOT ${variable} AND DEFINED ENV{${variable}})
    set(${variable} "$ENV{${variable}}")
  endif()
  if(NOT ${variable})
    execute_process(COMMAND "${lumo_source_root}/scripts/${script}" ${ARGN} --print-prefix
      OUTPUT_VARIABLE ${variable} OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE result ERROR_QUIET)
    if(NOT result EQUAL 0)
      list(JOIN ARGN " " arguments)
      string(STRIP "scripts/${script} ${arguments}" command)
      message(FATAL_ERROR "No ${variable}: run ${command}, or set ${variable}")
    endif()
  endif()
  set(${variable} "${${variable}}" CACHE PATH "Made by scripts/${script}")
  set(${variable} "${${variable}}" PARENT_SCOPE)
  list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ${variable})
  set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES "${CMAKE_TRY_COMPILE_PLATFORM_VARIABLES}" PARENT_SCOPE)
endfunction()

# Packages are looked for in the given roots (the compiler's own, LUMO_WINDOWS_DEPS) and in
# CMAKE_PREFIX_PATH (a program built against an unpacked Windows zip names it there), never in
# the build machine's /usr; ctest (and GoogleTest's discovery) run the .exe files through Wine,
# with a Wine prefix of the build tree's own.
macro(lumo_windows_roots)
  set(CMAKE_FIND_ROOT_PATH ${ARGN} ${LUMO_WINDOWS_DEPS} ${CMAKE_PREFIX_PATH})
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "env;LUMO_WINDOWS_DEPS=${LUMO_WINDOWS_DEPS};${lumo_source_root}/scripts/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")
endmacro()
