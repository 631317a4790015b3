# velmorin-edid: the edid-decode sweep, bad input and the attach round trip.
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME maker_sweep COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/maker/maker_sweep.py
    --maker $<TARGET_FILE:velmorin_edid> --scratch ${CMAKE_CURRENT_BINARY_DIR}/maker-sweep)
  set_tests_properties(maker_sweep PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 LABELS maker)
  list(APPEND ALL_TESTS maker_sweep)
endif()
