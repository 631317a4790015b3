# Hostile-input end-to-end tests: the real velmorin binary against special
# files, huge and looping paths, broken output streams and a misbehaving
# driver (the emulator). Native POSIX builds only; included from
# tests/CMakeLists.txt. One CTest test per case of hostile.py.
if(CMAKE_CROSSCOMPILING OR WIN32)
  return()
endif()

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(HOSTILE_RUN ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/hostile.py
  --velmorin $<TARGET_FILE:velmorin>
  --scratch ${CMAKE_CURRENT_BINARY_DIR}/hostile-scratch)

# Cases that need no driver and never reach for one.
foreach(case fifo device sparse_over_2gib ten_mib_white_space symlink_loop long_path copy_not_writable)
  add_test(NAME hostile_${case} COMMAND ${HOSTILE_RUN} --group files ${case})
  set_tests_properties(hostile_${case} PROPERTIES TIMEOUT 180 LABELS hostile)
endforeach()

# The output cases run an attach that must find no driver. Like the driver
# cases, each gets a socket path of its own, so none needs a lock.
foreach(case stdout_closed stdout_dev_full stdout_reader_gone)
  add_test(NAME hostile_${case} COMMAND ${HOSTILE_RUN} --group output ${case})
  set_tests_properties(hostile_${case} PROPERTIES TIMEOUT 180 LABELS hostile)
endforeach()

# A driver that hangs up before reading or mid-reply, answers short, long,
# in two pieces or with garbage.
if(TARGET kovra_driver_emulator)
  foreach(case close_early close_mid_reply short_0 short_7 short_15 long split garbage remove_close_early)
    add_test(NAME hostile_driver_${case}
      COMMAND ${HOSTILE_RUN} --emulator $<TARGET_FILE:kovra_driver_emulator> --group driver driver_${case})
    set_tests_properties(hostile_driver_${case} PROPERTIES TIMEOUT 120 LABELS hostile)
  endforeach()
endif()
