# Conformance of the listing report with edid-decode over the real EDIDs of
# tests/data/real. Include from the tests' CMakeLists:
#
#   include(${CMAKE_CURRENT_SOURCE_DIR}/conformance/conformance.cmake)
#
# Native builds only: the comparison runs the tool and edid-decode side by
# side on the build machine. Where edid-decode is missing the test reports
# itself skipped (exit status 77), never passed.

if(NOT CMAKE_CROSSCOMPILING)
  if(NOT Python3_EXECUTABLE)
    find_package(Python3 COMPONENTS Interpreter)
  endif()
  if(Python3_EXECUTABLE)
    add_test(NAME conformance_real_edids
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/run_conformance.py
              $<TARGET_FILE:velmorin> ${CMAKE_CURRENT_LIST_DIR}/../data/real)
  else()
    add_test(NAME conformance_real_edids
      COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: no Python 3 interpreter to run the conformance test")
    set_tests_properties(conformance_real_edids PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:")
  endif()
  set_tests_properties(conformance_real_edids PROPERTIES
    SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS conformance)
endif()
