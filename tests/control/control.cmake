# velmorin-control, the real window under Wine and Xvfb (Windows build): driven
# by its access keys, read by a probe from outside, photographed.
if(CMAKE_CROSSCOMPILING)
  add_executable(velmorin_control_probe wine/control_probe.cpp)
  target_link_options(velmorin_control_probe PRIVATE -municode)
  set_target_properties(velmorin_control_probe PROPERTIES OUTPUT_NAME velmorin-control-probe)
  add_test(NAME control_window COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/control/control_cases.py
    --control $<TARGET_FILE:velmorin_control> --probe $<TARGET_FILE:velmorin_control_probe>
    --emulator $<TARGET_FILE:kovra_driver_emulator> --maker $<TARGET_FILE:velmorin_edid>
    --wine ${CMAKE_CROSSCOMPILING_EMULATOR} --scratch ${CMAKE_CURRENT_BINARY_DIR}/control-window
    --keep-screenshot ${CMAKE_CURRENT_BINARY_DIR}/control-window.png)
  # A Wine prefix, an X display and so a driver pipe of its own: no lock.
  set_tests_properties(control_window PROPERTIES TIMEOUT 600 LABELS control SKIP_RETURN_CODE 77)
  list(APPEND ALL_TESTS control_window)
endif()
