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

include(${CMAKE_CURRENT_LIST_DIR}/windows-wine.cmake)
lumo_prepared_folder(LUMO_MSVC_SYSROOT msvc-toolchain.sh)
lumo_prepared_folder(LUMO_WINDOWS_DEPS windows-deps.sh --flavour msvc)

# Visual Studio 2022 17.14's compiler version; the C++ library checks it.
set(lumo_msvc_flags "-fms-compatibility-version=19.44")
foreach(dir stl vcrt crt sdk)
  string(APPEND lumo_msvc_flags " -imsvc \"${LUMO_MSVC_SYSROOT}/include/${dir}\"")
endforeach()
# The flags are cached when a tree is first configured: a tree made with another sysroot would go
# on compiling against that one.
string(FIND "$CACHE{CMAKE_CXX_FLAGS}" "-imsvc \"${LUMO_MSVC_SYSROOT}/" lumo_sysroot_at)
if(DEFINED CACHE{CMAKE_CXX_FLAGS} AND lumo_sysroot_at EQUAL -1)
  message(FATAL_ERROR "This tree was configured with another LUMO_MSVC_SYSROOT than "
    "${LUMO_MSVC_SYSROOT}: configure it afresh (cmake --fresh ...)")
endif()
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
# Debug information in the objects (/Z7), which the linker gathers into the PDB files: ccache can
# keep such objects, not those of /Zi. A launcher of ccache must say the compiler is clang-cl
# (CCACHE_COMPILERTYPE=clang-cl, as the windows-msvc preset does).
set(CMAKE_MSVC_DEBUG_INFORMATION_FORMAT "$<$<CONFIG:Debug,RelWithDebInfo>:Embedded>")
set(CMAKE_POLICY_DEFAULT_CMP0141 NEW)
set(CMAKE_TRY_COMPILE_CONFIGURATION Release)

lumo_windows_roots(${LUMO_MSVC_SYSROOT})
