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
#
# The MinGW-w64 build also makes the tools zip, lumo-tools-<version>-win64.zip (the lumo_tools_zip
# target, cmake/tools_zip.cmake): lumo.exe and lumo-sandbox.exe with every DLL they load, their
# manual pages as text and a README for Windows users (docs/README-windows-tools.md); checked by
# scripts/check-windows-tools-zip.sh.

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

if(TARGET lumo)
  # groff-base (scripts/setup.sh) writes the manual pages as text.
  find_program(LUMO_GROFF groff REQUIRED)
  set(lumo_tools_name lumo-tools-${PROJECT_VERSION}-win64)
  set(lumo_sandbox_help ${PROJECT_BINARY_DIR}/lumo-sandbox-help.txt)
  add_custom_command(OUTPUT ${lumo_sandbox_help}
    COMMAND lumo-sandbox --help > ${lumo_sandbox_help}
    DEPENDS lumo-sandbox
    COMMENT "Reading lumo-sandbox's help"
    VERBATIM)
  set(lumo_tools_dlls $<TARGET_FILE:lumoapi> $<TARGET_FILE:lumohost>
    ${LUMO_WINDOWS_DEPS}/bin/cpprest.dll ${LUMO_WINDOWS_DEPS}/bin/libglog.dll ${lumo_runtime_dlls})
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${lumo_tools_name}.zip
    COMMAND ${CMAKE_COMMAND} -DBINARY_DIR=${PROJECT_BINARY_DIR} -DNAME=${lumo_tools_name}
      "-DPROGRAMS=$<TARGET_FILE:lumo>;$<TARGET_FILE:lumo-sandbox>" "-DDLLS=${lumo_tools_dlls}"
      -DMAN_DIR=${PROJECT_BINARY_DIR}/cli/man -DSANDBOX_HELP=${lumo_sandbox_help}
      -DGROFF=${LUMO_GROFF} -DREADME=${PROJECT_SOURCE_DIR}/docs/README-windows-tools.md
      -P ${CMAKE_CURRENT_LIST_DIR}/tools_zip.cmake
    DEPENDS lumo lumo-sandbox lumo_man ${lumo_sandbox_help} ${CMAKE_CURRENT_LIST_DIR}/tools_zip.cmake
      ${PROJECT_SOURCE_DIR}/docs/README-windows-tools.md
    COMMENT "Making ${lumo_tools_name}.zip"
    VERBATIM)
  add_custom_target(lumo_tools_zip DEPENDS ${PROJECT_BINARY_DIR}/${lumo_tools_name}.zip)
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
