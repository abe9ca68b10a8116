# The API reference: Doxygen over the public headers into ${CMAKE_BINARY_DIR}/docs/html, built
# only when asked for (cmake --build --preset default --target docs). The headers' plain `//`
# comments are read through cmake/doxygen_comments.awk; a public class or member without one is
# a warning, and a warning fails the target. Once built, `cmake --install` puts it in
# share/doc/lumoapi/html (the liblumoapi-dev package).
find_package(Doxygen 1.9 QUIET)
if(NOT DOXYGEN_FOUND)
  message(STATUS "Doxygen not found: no docs target (scripts/setup.sh installs doxygen)")
  return()
endif()

set(DOXYGEN_PROJECT_NAME "lumoapi")
set(DOXYGEN_PROJECT_BRIEF "C++ client library for the music service's REST API, with its host layer")
set(DOXYGEN_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/docs)
set(DOXYGEN_GENERATE_HTML YES)
set(DOXYGEN_GENERATE_LATEX NO)
set(DOXYGEN_GENERATE_TREEVIEW YES)
set(DOXYGEN_FULL_PATH_NAMES YES)
set(DOXYGEN_STRIP_FROM_PATH ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/host/include
  ${PROJECT_SOURCE_DIR})
set(DOXYGEN_STRIP_FROM_INC_PATH ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/host/include)
set(DOXYGEN_FILTER_PATTERNS "*.h=${CMAKE_CURRENT_LIST_DIR}/doxygen_comments.awk")
set(DOXYGEN_USE_MDFILE_AS_MAINPAGE ${PROJECT_SOURCE_DIR}/docs/mainpage.md)
set(DOXYGEN_EXAMPLE_PATH ${PROJECT_SOURCE_DIR}/examples)
set(DOXYGEN_IMAGE_PATH ${PROJECT_SOURCE_DIR}/docs)
set(DOXYGEN_FILE_PATTERNS "*.h")
set(DOXYGEN_EXTRACT_ALL NO)
set(DOXYGEN_EXTRACT_PRIVATE NO)
set(DOXYGEN_EXTRACT_STATIC YES)
set(DOXYGEN_HIDE_IN_BODY_DOCS YES)
set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
set(DOXYGEN_MARKDOWN_SUPPORT YES)
set(DOXYGEN_AUTOLINK_SUPPORT YES)
set(DOXYGEN_SORT_MEMBER_DOCS NO)
set(DOXYGEN_ENABLE_PREPROCESSING YES)
set(DOXYGEN_MACRO_EXPANSION YES)
set(DOXYGEN_EXPAND_ONLY_PREDEF YES)
set(DOXYGEN_PREDEFINED "LUMOAPI_EXPORT=" "LUMOAPI_EXPORT_PRIVATE=" "LUMOHOST_EXPORT=")
# The thread-safety annotations (base/thread/thread_annotations.h) say nothing to a reader of the
# reference that the comments do not: they read as nothing, and their macros are left out.
set(lumo_thread_annotations CAPABILITY GUARDED_BY PT_GUARDED_BY REQUIRES EXCLUDES ACQUIRE RELEASE
  ASSERT_CAPABILITY LUMO_THREAD_ANNOTATION_)
foreach(annotation IN LISTS lumo_thread_annotations)
  list(APPEND DOXYGEN_PREDEFINED "${annotation}(...)=")
endforeach()
list(APPEND DOXYGEN_PREDEFINED "SCOPED_CAPABILITY=" "NO_THREAD_SAFETY_ANALYSIS=")
list(APPEND lumo_thread_annotations SCOPED_CAPABILITY NO_THREAD_SAFETY_ANALYSIS)
# The signal templates' inner workings (the underscore classes) are not part of the interface.
set(DOXYGEN_EXCLUDE_SYMBOLS "LUMOAPI_EXPORT" "LUMOAPI_EXPORT_PRIVATE" "LUMOHOST_EXPORT"
  "_signal_base*" "_connection*" ${lumo_thread_annotations})
set(DOXYGEN_QUIET YES)
set(DOXYGEN_WARNINGS YES)
set(DOXYGEN_WARN_IF_UNDOCUMENTED YES)
set(DOXYGEN_WARN_IF_DOC_ERROR YES)
set(DOXYGEN_WARN_NO_PARAMDOC NO)
set(DOXYGEN_WARN_AS_ERROR FAIL_ON_WARNINGS)
set(DOXYGEN_HTML_TIMESTAMP NO)

doxygen_add_docs(docs
  ${PROJECT_SOURCE_DIR}/docs/mainpage.md
  ${PROJECT_SOURCE_DIR}/include/lumoapi
  ${PROJECT_SOURCE_DIR}/include/sigslot
  ${PROJECT_SOURCE_DIR}/host/include
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Making the API reference in ${CMAKE_BINARY_DIR}/docs/html")

# Installed with the development files when it has been built (package.sh builds it first),
# without the .md5 and .map files that only speed up Doxygen's next run. Its jquery.js (jQuery with
# the pieces of jQuery UI and the menu code that this Doxygen's pages need) stays as it is: a
# system jQuery in its place would break the pages.
install(DIRECTORY ${DOXYGEN_OUTPUT_DIRECTORY}/html/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/html
  COMPONENT dev OPTIONAL PATTERN "*.md5" EXCLUDE PATTERN "*.map" EXCLUDE)
