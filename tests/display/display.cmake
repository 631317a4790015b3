# velmorin-display end to end: against the driver emulator on both builds
# (status 7 on Linux, Wine's real display configuration on the Windows build),
# and under Wine the desk commands and two X screens of a display of its own.
set(DISPLAY_CASES ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/display/display_cases.py
  --display $<TARGET_FILE:velmorin_display> --maker $<TARGET_FILE:velmorin_edid>
  --emulator $<TARGET_FILE:kovra_driver_emulator> --readme ${PROJECT_SOURCE_DIR}/README.md
  --scratch ${CMAKE_CURRENT_BINARY_DIR}/display-cases ${WINE_ARGS})
add_test(NAME display_driver COMMAND ${DISPLAY_CASES} --group driver)
set_tests_properties(display_driver PROPERTIES TIMEOUT 600 LABELS display)
list(APPEND ALL_TESTS display_driver)
if(CMAKE_CROSSCOMPILING)
  # The pipe name is fixed, and Wine's displays belong to the build's prefix.
  set_tests_properties(display_driver PROPERTIES RESOURCE_LOCK "${PIPE_LOCK};wine_display")
  add_test(NAME display_desk COMMAND ${DISPLAY_CASES} --group desk)
  set_tests_properties(display_desk PROPERTIES TIMEOUT 300 LABELS display RESOURCE_LOCK wine_display)
  # A Wine prefix and an X display number of its own.
  add_test(NAME display_screens COMMAND ${DISPLAY_CASES} --group screens)
  set_tests_properties(display_screens PROPERTIES TIMEOUT 600 LABELS display SKIP_RETURN_CODE 77)
  list(APPEND ALL_TESTS display_desk display_screens)
endif()

# Every path of velmorin-display over the display model, which stands in for
# Windows where there is none: POSIX builds with the tests.
if(TARGET velmorin_display_model)
  add_test(NAME display_model COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/display/model_cases.py
    --display-model $<TARGET_FILE:velmorin_display_model> --emulator $<TARGET_FILE:kovra_driver_emulator>
    --scratch ${CMAKE_CURRENT_BINARY_DIR}/display-model)
  set_tests_properties(display_model PROPERTIES TIMEOUT 600 LABELS display)
  list(APPEND ALL_TESTS display_model)
endif()
