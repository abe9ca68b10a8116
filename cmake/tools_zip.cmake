# Makes the Windows tools zip (cmake -P, from the lumo_tools_zip target of
# cmake/packaging_windows.cmake): a folder NAME under BINARY_DIR with
#   lumo.exe, lumo-sandbox.exe and every DLL they load (PROGRAMS, DLLS)
#   man/*.txt   the tool's manual pages (the gzipped pages in MAN_DIR) as plain text, made with
#               GROFF, and lumo-sandbox's (its --help, read from SANDBOX_HELP)
#   README.txt  README (docs/README-windows-tools.md)
# then NAME.zip of that folder.
foreach(variable BINARY_DIR NAME PROGRAMS DLLS MAN_DIR SANDBOX_HELP GROFF README)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "tools_zip.cmake needs ${variable}")
  endif()
endforeach()

set(stage ${BINARY_DIR}/${NAME})
file(REMOVE_RECURSE ${stage} ${BINARY_DIR}/${NAME}.zip)
file(MAKE_DIRECTORY ${stage}/man)
file(COPY ${PROGRAMS} ${DLLS} DESTINATION ${stage})
file(COPY_FILE ${README} ${stage}/README.txt)

# Plain text without a terminal's bold and underlining, lines as wide as a console's.
file(GLOB pages ${MAN_DIR}/*.1.gz)
if(NOT pages)
  message(FATAL_ERROR "No manual pages in ${MAN_DIR}")
endif()
foreach(page IN LISTS pages)
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE "\\.1\\.gz$" "" name ${name})
  execute_process(COMMAND gzip -dc ${page}
    COMMAND ${GROFF} -man -Tutf8 -P-cbou -rLL=78n -rLT=78n
    OUTPUT_FILE ${stage}/man/${name}.txt RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "groff could not make ${name}.txt")
  endif()
endforeach()
# The Windows program writes its help with CR LF; the other pages have LF alone.
file(READ ${SANDBOX_HELP} help)
string(REPLACE "\r" "" help "${help}")
file(WRITE ${stage}/man/lumo-sandbox.txt "${help}")

execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${NAME}.zip --format=zip ${NAME}
  WORKING_DIRECTORY ${BINARY_DIR} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NAME}.zip could not be made")
endif()
