# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and std::mutex need), running what is built under Wine.
#
# LUMO_WINDOWS_DEPS (a cache variable, or the environment variable of that name, or else what
# `scripts/windows-deps.sh --print-prefix` says) is the prefix that scripts/windows-deps.sh
# filled with the JSON/URI library, glog and GoogleTest built for Windows; packages are looked
# for there, in MinGW-w64's own root and in CMAKE_PREFIX_PATH, never in the build machine's /usr.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(lumo_mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${lumo_mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${lumo_mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${lumo_mingw_triplet}-windres)

get_filename_component(lumo_source_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)

if(NOT LUMO_WINDOWS_DEPS AND DEFINED ENV{LUMO_WINDOWS_DEPS})
  set(LUMO_WINDOWS_DEPS "$ENV{LUMO_WINDOWS_DEPS}")
endif()
# Given neither way, it is the prefix that this clone's scripts/windows-deps.sh built.
if(NOT LUMO_WINDOWS_DEPS)
  execute_process(COMMAND "${lumo_source_root}/scripts/windows-deps.sh" --print-prefix
    OUTPUT_VARIABLE LUMO_WINDOWS_DEPS OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE lumo_deps_result ERROR_QUIET)
  if(NOT lumo_deps_result EQUAL 0)
    message(FATAL_ERROR "No prefix of Windows dependencies: run scripts/windows-deps.sh, or set "
                        "LUMO_WINDOWS_DEPS")
  endif()
endif()
set(LUMO_WINDOWS_DEPS "${LUMO_WINDOWS_DEPS}" CACHE PATH
    "Prefix of the dependencies built for Windows (scripts/windows-deps.sh)")
# try_compile projects read this file again; they need the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMO_WINDOWS_DEPS)

# A program built against an unpacked Windows zip names it in CMAKE_PREFIX_PATH; it is a root too.
set(CMAKE_FIND_ROOT_PATH /usr/${lumo_mingw_triplet} ${LUMO_WINDOWS_DEPS} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest (and GoogleTest's discovery) run the .exe files through Wine, with a Wine prefix of the
# build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "env;LUMO_WINDOWS_DEPS=${LUMO_WINDOWS_DEPS};${lumo_source_root}/scripts/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")
