# Cross-building for 64-bit Windows in Visual Studio's ABI: clang in Microsoft's mode (clang-cl),
# lld-link, Microsoft's C++ standard library, and the C runtime and Windows headers and import
# libraries that scripts/msvc-toolchain.sh prepares (its "sysroot"); what is built runs under Wine.
# The libraries built so are linked by programs that Visual Studio builds.
#
# LUMO_MSVC_SYSROOT (a cache variable, or the environment variable of that name, or else what
# `scripts/msvc-toolchain.sh --print-prefix` says) is that folder. LUMO_WINDOWS_DEPS, found the same
# way from `scripts/windows-deps.sh --flavour msvc`, is the prefix of the dependencies built with
# this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(lumo_llvm_version 19)
set(CMAKE_C_COMPILER clang-cl-${lumo_llvm_version})
set(CMAKE_CXX_COMPILER clang-cl-${lumo_llvm_version})
set(CMAKE_LINKER lld-link-${lumo_llvm_version})
set(CMAKE_AR llvm-lib-${lumo_llvm_version})
set(CMAKE_RC_COMPILER llvm-rc-${lumo_llvm_version})
set(CMAKE_MT llvm-mt-${lumo_llvm_version})
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)

get_filename_component(lumo_source_root "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)

# The folder a script of this clone made, unless one is named.
function(lumo_prepared_folder variable script)
  if(NOT ${variable} AND DEFINED ENV{${variable}})
    set(${variable} "$ENV{${variable}}")
  endif()
  if(NOT ${variable})
    execute_process(COMMAND "${lumo_source_root}/scripts/${script}" ${ARGN} --print-prefix
      OUTPUT_VARIABLE ${variable} OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE result ERROR_QUIET)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "No ${variable}: run scripts/${script} ${ARGN}, or set ${variable}")
    endif()
  endif()
  set(${variable} "${${variable}}" CACHE PATH "Made by scripts/${script}")
  set(${variable} "${${variable}}" PARENT_SCOPE)
endfunction()

lumo_prepared_folder(LUMO_MSVC_SYSROOT msvc-toolchain.sh)
# The dependencies' own build (scripts/windows-deps.sh) has none yet.
if(NOT LUMO_WINDOWS_DEPS_BUILDING)
  lumo_prepared_folder(LUMO_WINDOWS_DEPS windows-deps.sh --flavour msvc)
endif()
# try_compile projects read this file again; they need the folders too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMO_MSVC_SYSROOT LUMO_WINDOWS_DEPS
  LUMO_WINDOWS_DEPS_BUILDING)

# Visual Studio 2022 17.14's compiler version; the C++ library checks it.
set(lumo_msvc_flags "-fms-compatibility-version=19.44")
foreach(dir stl vcrt crt sdk)
  string(APPEND lumo_msvc_flags " -imsvc \"${LUMO_MSVC_SYSROOT}/include/${dir}\"")
endforeach()
# No stack cookies: the runtime support has no /GS checks (a host's own /GS is unaffected).
string(APPEND lumo_msvc_flags " /GS-")
set(CMAKE_C_FLAGS_INIT "${lumo_msvc_flags}")
set(CMAKE_CXX_FLAGS_INIT "${lumo_msvc_flags}")
set(CMAKE_RC_FLAGS_INIT "/I \"${LUMO_MSVC_SYSROOT}/include/sdk\"")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "/libpath:\"${LUMO_MSVC_SYSROOT}/lib\"")
endforeach()
# Only the release runtime exists here (/MD); Visual Studio's debug runtime is not open. Projects
# that predate the setting (CMP0091) get it too, and CMake's own checks build in Release.
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)
set(CMAKE_POLICY_DEFAULT_CMP0091 NEW)
set(CMAKE_TRY_COMPILE_CONFIGURATION Release)

set(CMAKE_FIND_ROOT_PATH ${LUMO_MSVC_SYSROOT} ${LUMO_WINDOWS_DEPS} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest (and GoogleTest's discovery) run the .exe files through Wine, with a Wine prefix of the
# build tree's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "env;LUMO_WINDOWS_DEPS=${LUMO_WINDOWS_DEPS};${lumo_source_root}/scripts/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")
