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
# The samples that ship, by name: whatever else a local run leaves in the
# folder (a ".bin" copy beside each file "/l" or "/d" read) stays behind.
# The script that makes them is a POSIX shell script, of no use on Windows.
set(VELMORIN_SAMPLES README.md)
foreach(mode 1280x720x60 1920x1080x60 2560x1440x144 2560x1600x165 3840x2160x60)
  list(APPEND VELMORIN_SAMPLES ${mode}.bin ${mode}.txt)
endforeach()
list(TRANSFORM VELMORIN_SAMPLES PREPEND samples/ OUTPUT_VARIABLE sample_paths)
install(FILES ${sample_paths} DESTINATION ${DOC_DESTINATION}/samples)
if(NOT WIN32)
  install(PROGRAMS samples/make_samples.sh DESTINATION ${DOC_DESTINATION}/samples)
endif()

# Every file of the Windows package, which checks itself against this list.
get_property(shipped_programs GLOBAL PROPERTY VELMORIN_SHIPPED_PROGRAMS)
set(release_list ${shipped_programs} README.md NOTICE ${sample_paths})
list(SORT release_list)
list(JOIN release_list "\n" release_text)
file(WRITE ${PROJECT_BINARY_DIR}/release-files.txt "${release_text}\n")

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
  set(CPACK_VELMORIN_FILES ${PROJECT_BINARY_DIR}/release-files.txt)
  set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CheckPackage.cmake)
endif()
include(CPack)
