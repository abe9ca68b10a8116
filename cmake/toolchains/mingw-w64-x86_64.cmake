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

include(${CMAKE_CURRENT_LIST_DIR}/windows-wine.cmake)
lumo_prepared_folder(LUMO_WINDOWS_DEPS windows-deps.sh)
lumo_windows_roots(/usr/${lumo_mingw_triplet})
