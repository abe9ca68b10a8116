# The Windows downloads: one zip per flavour in the build folder, holding all a program built by
# the same kind of compiler needs to build against the libraries and run:
#   lumoapi-<version>-win64-msvc.zip   for Visual Studio (built with clang-cl in its ABI)
#   lumoapi-<version>-win64-mingw.zip  for MinGW-w64 GCC
#   bin/      the DLLs of lumoapi, the host layer and the dependencies (the Visual Studio flavour
#             adds lumoapi's and the host layer's PDB files, MinGW's the compiler's runtime DLLs)
#   lib/      the import libraries, and the CMake packages of lumoapi and of its dependencies
#   include/  lumoapi's headers, and those of the dependencies that they include
#   README-windows.md
# `find_package(lumoapi CONFIG)` with CMAKE_PREFIX_PATH set to the unpacked folder gives the same
# targets as on Linux, lumoapi::lumoapi and lumoapi::host.

if(MSVC)
  set(lumo_zip_flavour msvc)
  # Visual C++'s runtime is the host's to ship (its redistributable); the PDB files go beside the
  # DLLs, for the host's debugger.
  install(FILES $<TARGET_PDB_FILE:lumoapi> $<TARGET_PDB_FILE:lumohost>
    DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
else()
  set(lumo_zip_flavour mingw)
  # MinGW's compiler runtime: the C++ library, the unwinder and the POSIX threads the programs
  # and the DLLs are linked to.
  set(lumo_runtime_dlls "")
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
      find_file(found_${dll} ${dll} PATHS /usr/${lumo_mingw_triplet}/lib NO_CMAKE_FIND_ROOT_PATH)
      set(found "${found_${dll}}")
    endif()
    if(NOT EXISTS "${found}")
      message(FATAL_ERROR "The MinGW-w64 runtime DLL ${dll} was not found")
    endif()
    list(APPEND lumo_runtime_dlls "${found}")
  endforeach()
  install(FILES ${lumo_runtime_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

# The dependencies, as scripts/windows-deps.sh built them; GoogleTest stays out.
if(NOT IS_DIRECTORY "${LUMO_WINDOWS_DEPS}")
  message(FATAL_ERROR "LUMO_WINDOWS_DEPS is not a folder: '${LUMO_WINDOWS_DEPS}'")
endif()
file(GLOB lumo_dep_dlls "${LUMO_WINDOWS_DEPS}/bin/*.dll")
list(FILTER lumo_dep_dlls EXCLUDE REGEX "/lib?g(test|mock)[^/]*$")
install(FILES ${lumo_dep_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
file(GLOB lumo_dep_import_libs "${LUMO_WINDOWS_DEPS}/lib/*.dll.a" "${LUMO_WINDOWS_DEPS}/lib/*.lib")
list(FILTER lumo_dep_import_libs EXCLUDE REGEX "/lib?g(test|mock)[^/]*$")
install(FILES ${lumo_dep_import_libs} DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
foreach(dep cpprest pplx glog)
  if(IS_DIRECTORY "${LUMO_WINDOWS_DEPS}/include/${dep}")
    install(DIRECTORY "${LUMO_WINDOWS_DEPS}/include/${dep}" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
      COMPONENT dev)
  endif()
endforeach()
file(GLOB lumo_dep_packages LIST_DIRECTORIES true "${LUMO_WINDOWS_DEPS}/lib/cmake/*")
list(FILTER lumo_dep_packages EXCLUDE REGEX "/GTest$")
install(DIRECTORY ${lumo_dep_packages} DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake COMPONENT dev)

install(FILES ${PROJECT_SOURCE_DIR}/docs/README-windows-${lumo_zip_flavour}.md DESTINATION .
  RENAME README-windows.md COMPONENT dev)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME lumoapi)
set(CPACK_PACKAGE_VENDOR "lumoapi developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "lumoapi-${PROJECT_VERSION}-win64-${lumo_zip_flavour}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_STRIP_FILES OFF)
include(CPack)
