# Run by CPack after it made the package (CPACK_POST_BUILD_SCRIPTS).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.zip$")
    execute_process(COMMAND ${CPACK_VELMORIN_PYTHON} ${CPACK_VELMORIN_CHECK} zip ${CPACK_VELMORIN_VERSION} ${package}
      ${CPACK_VELMORIN_FILES}
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "the package ${package} is not what a user must receive")
    endif()
  endif()
endforeach()
