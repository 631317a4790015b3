# velmorin-edid end to end: the edid-decode sweep, the refusals, the attach
# round trip on a private driver socket, and (Windows build) the same bytes
# as the native build. On both builds: --attach and the README's recipe for
# streaming hosts, against the emulator (under Wine on the named pipe).
set(MAKER_CASES ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/maker/maker_cases.py
  --maker $<TARGET_FILE:velmorin_edid> --scratch ${CMAKE_CURRENT_BINARY_DIR}/maker-cases)
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME maker_sweep COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/maker/maker_sweep.py
    --maker $<TARGET_FILE:velmorin_edid> --velmorin $<TARGET_FILE:velmorin>
    --scratch ${CMAKE_CURRENT_BINARY_DIR}/maker-sweep)
  set_tests_properties(maker_sweep PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 LABELS maker)
  add_test(NAME maker_bad_input COMMAND ${MAKER_CASES} --group bad_input)
  add_test(NAME maker_paths COMMAND ${MAKER_CASES} --group paths)
  add_test(NAME maker_roundtrip COMMAND ${MAKER_CASES} --group roundtrip
    --velmorin $<TARGET_FILE:velmorin> --emulator $<TARGET_FILE:kovra_driver_emulator>)
  set_tests_properties(maker_bad_input maker_paths maker_roundtrip PROPERTIES TIMEOUT 300 LABELS maker)
  list(APPEND ALL_TESTS maker_sweep maker_bad_input maker_paths maker_roundtrip)
else()
  # The samples, and the native build of the same tree when it has been made
  # (build/ beside build-windows/).
  add_test(NAME maker_same_bytes COMMAND ${MAKER_CASES} --group same_bytes --samples ${PROJECT_SOURCE_DIR}/samples
    --native ${PROJECT_SOURCE_DIR}/build/velmorin-edid --wine ${CMAKE_CROSSCOMPILING_EMULATOR})
  # Where -o puts the EDID, names Windows would rewrite and a pipe included;
  # the refusals and interruptions that are Windows' own.
  add_executable(velmorin_pipe_reader ${CMAKE_CURRENT_SOURCE_DIR}/wine/pipe_reader.cpp)
  set_target_properties(velmorin_pipe_reader PROPERTIES OUTPUT_NAME velmorin-pipe-reader)
  add_test(NAME maker_paths COMMAND ${MAKER_CASES} --group paths --wine ${CMAKE_CROSSCOMPILING_EMULATOR}
    --pipe-reader $<TARGET_FILE:velmorin_pipe_reader>)
  add_test(NAME maker_bad_input COMMAND ${MAKER_CASES} --group bad_input --wine ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(maker_same_bytes maker_paths maker_bad_input PROPERTIES TIMEOUT 600 LABELS maker)
  list(APPEND ALL_TESTS maker_same_bytes maker_paths maker_bad_input)
endif()

set(MAKER_DRIVER_CASES ${MAKER_CASES} --velmorin $<TARGET_FILE:velmorin>
  --emulator $<TARGET_FILE:kovra_driver_emulator> --readme ${PROJECT_SOURCE_DIR}/README.md)
if(CMAKE_CROSSCOMPILING)
  list(APPEND MAKER_DRIVER_CASES --wine ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()
add_test(NAME maker_attach COMMAND ${MAKER_DRIVER_CASES} --group attach)
add_test(NAME maker_recipe COMMAND ${MAKER_DRIVER_CASES} --group recipe)
set_tests_properties(maker_attach maker_recipe PROPERTIES TIMEOUT 600 LABELS maker)
if(CMAKE_CROSSCOMPILING)
  set_tests_properties(maker_attach maker_recipe PROPERTIES RESOURCE_LOCK ${PIPE_LOCK})
endif()
list(APPEND ALL_TESTS maker_attach maker_recipe)

# The samples are what the maker writes today.
if(NOT CMAKE_CROSSCOMPILING)
  add_test(NAME samples_current COMMAND sh -c
    "rm -rf \"$1\" && mkdir -p \"$1\" && sh \"$2/samples/make_samples.sh\" \"$0\" \"$1\" && for f in \"$1\"/*; do cmp \"$f\" \"$2/samples/$(basename \"$f\")\" || exit 1; done"
    $<TARGET_FILE:velmorin_edid> ${CMAKE_CURRENT_BINARY_DIR}/samples-current ${PROJECT_SOURCE_DIR})
  set_tests_properties(samples_current PROPERTIES TIMEOUT 60 LABELS maker)
  list(APPEND ALL_TESTS samples_current)
endif()
