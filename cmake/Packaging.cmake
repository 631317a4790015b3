# The release package: cmake --workflow --preset package makes
# velmorin-<version>-win64.zip from the Windows build. The programs come in
# through velmorin_shipped_program(); the documents are added here.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

set(DOC_DESTINATION .)
if(NOT WIN32)
  set(DOC_DESTINATION share/doc/velmorin)
endif()
install(FILES README.md NOTICE DESTINATION ${DOC_DESTINATION})
# The copies a local run writes beside the text-form samples are no samples;
# the script that makes them is a POSIX shell script, of no use on Windows.
set(SAMPLE_EXCLUDES PATTERN "*.txt.bin" EXCLUDE PATTERN ".gitignore" EXCLUDE)
if(WIN32)
  list(APPEND SAMPLE_EXCLUDES PATTERN "*.sh" EXCLUDE)
endif()
install(DIRECTORY samples/ DESTINATION ${DOC_DESTINATION}/samples ${SAMPLE_EXCLUDES})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME velmorin)
set(CPACK_PACKAGE_VENDOR "The Velmorin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Attach virtual monitors from EDID files to an indirect display driver")
if(WIN32)
  set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
# One folder of the same name inside the zip, so unpacking never scatters files.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The programs are built with debugging information; the package leaves it out.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
# The package checks itself once made: its files, and each program's manifest
# and version resource.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  set(CPACK_VELMORIN_PYTHON ${Python3_EXECUTABLE})
  set(CPACK_VELMORIN_CHECK ${PROJECT_SOURCE_DIR}/tests/package/check_release.py)
  set(CPACK_VELMORIN_VERSION ${PROJECT_VERSION})
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CheckPackage.cmake)
endif()
include(CPack)
