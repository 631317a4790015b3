# Everything a program that the project ships needs, in one call:
#
#   velmorin_shipped_program(<target> DESCRIPTION "<one line for the file properties>" [WINDOWED])
#
# On Windows the program gets an application manifest (UTF-8 as its active
# code page, long paths, Windows 10 and 11, run as the invoking user; a
# WINDOWED one also the common controls of version 6 and per-monitor DPI
# awareness, version 2) and a version resource built from the project
# version. On every platform it gets its install rule, which is what the
# release package holds.
set(VELMORIN_RESOURCE_TEMPLATES ${CMAKE_CURRENT_LIST_DIR}/windows)

function(velmorin_shipped_program target)
  cmake_parse_arguments(PARSE_ARGV 1 SHIPPED "WINDOWED" "DESCRIPTION" "")
  set(windowed)
  if(SHIPPED_WINDOWED)
    set(windowed WINDOWED)
  endif()
  velmorin_program_resources(${target} DESCRIPTION "${SHIPPED_DESCRIPTION}" ${windowed})
  if(WIN32)
    install(TARGETS ${target} RUNTIME DESTINATION .)
  else()
    install(TARGETS ${target} RUNTIME DESTINATION bin)
  endif()
  # The release list (cmake/Packaging.cmake) names every shipped file.
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  set_property(GLOBAL APPEND PROPERTY VELMORIN_SHIPPED_PROGRAMS ${output_name}${CMAKE_EXECUTABLE_SUFFIX})
endfunction()

# The manifest and version resource alone (Windows only), for programs that
# must run like the shipped ones without being shipped: the unit tests.
function(velmorin_program_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 PROGRAM "WINDOWED" "DESCRIPTION" "")
  if(NOT PROGRAM_DESCRIPTION)
    message(FATAL_ERROR "${target}: a DESCRIPTION is required")
  endif()
  if(NOT WIN32)
    return()
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  # Values the templates read.
  set(PROGRAM_NAME ${output_name})
  set(PROGRAM_FILE_NAME ${output_name}${CMAKE_EXECUTABLE_SUFFIX})
  set(PROGRAM_WINDOW_DEPENDENCY "")
  set(PROGRAM_WINDOW_SETTINGS "")
  if(PROGRAM_WINDOWED)
    # Themed controls, and sharp at every scaling, each monitor its own.
    set(PROGRAM_WINDOW_DEPENDENCY "  <dependency>
    <dependentAssembly>
      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>
    </dependentAssembly>
  </dependency>
")
    set(PROGRAM_WINDOW_SETTINGS "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>
      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>
")
  endif()
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
  configure_file(${VELMORIN_RESOURCE_TEMPLATES}/program.manifest.in ${folder}/program.manifest @ONLY)
  configure_file(${VELMORIN_RESOURCE_TEMPLATES}/program.rc.in ${folder}/program.rc @ONLY)
  target_sources(${target} PRIVATE ${folder}/program.rc)
  # The resource compiler reads the manifest; a change to it must rebuild.
  set_source_files_properties(${folder}/program.rc PROPERTIES OBJECT_DEPENDS ${folder}/program.manifest)
endfunction()
