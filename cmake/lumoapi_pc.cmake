# Run by `cmake --install` (and by CPack): writes lumoapi.pc for the prefix being installed to,
# which may differ from the configured one (cmake --install --prefix). install(CODE) sets, before
# this runs: lumo_pc_in (the template), lumo_pc_out, lumo_pc_libdir and lumo_pc_includedir
# (CMAKE_INSTALL_LIBDIR and CMAKE_INSTALL_INCLUDEDIR), lumo_system_library_dirs (the folders the
# linker searches by itself) and PROJECT_VERSION.
# In a function, so that its variables stay out of the install script's scope.
function(lumo_write_pc)
  set(LUMOAPI_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  foreach(dir LIBDIR INCLUDEDIR)
    string(TOLOWER "${dir}" name)
    if(IS_ABSOLUTE "${lumo_pc_${name}}")
      set(LUMOAPI_PC_${dir} "${lumo_pc_${name}}")
    else()
      set(LUMOAPI_PC_${dir} "\${prefix}/${lumo_pc_${name}}")
    endif()
  endforeach()

  # A program linked from a library folder that the loader does not search by itself carries that
  # folder as its run path, so that it starts without LD_LIBRARY_PATH. A system folder (a Debian
  # package's /usr/lib/<arch>) gets none.
  string(REPLACE "\${prefix}" "${CMAKE_INSTALL_PREFIX}" installed_libdir "${LUMOAPI_PC_LIBDIR}")
  cmake_path(NORMAL_PATH installed_libdir)
  set(LUMOAPI_PC_RPATH "")
  list(FIND lumo_system_library_dirs "${installed_libdir}" system)
  if(system EQUAL -1)
    set(LUMOAPI_PC_RPATH " -Wl,-rpath,\${libdir}")
  endif()
  configure_file("${lumo_pc_in}" "${lumo_pc_out}" @ONLY)
endfunction()
lumo_write_pc()
