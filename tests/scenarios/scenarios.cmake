# SPDX-License-Identifier: AGPL-3.0-or-later
# Scenario scripts: each runs in a fresh directory holding a link to the
# sample documents the build writes (samples/). Directives in
# the script's `#!` comment lines say what the run must show besides its own
# expectations (see scenarios/run_scenario.sh).
file(GLOB VX_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.vscript)
foreach(script ${VX_SCENARIOS})
  get_filename_component(name ${script} NAME_WE)
  file(STRINGS ${script} needs_pdf REGEX "^#! needs-pdf")
  if(needs_pdf AND NOT VX_WITH_PDF)
    continue()
  endif()
  add_test(NAME scenario.${name}
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_scenario.sh
            $<TARGET_FILE:vellora> ${script} ${CMAKE_BINARY_DIR}/scenario-work/${name}
            ${CMAKE_BINARY_DIR}/samples)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    set_tests_properties(scenario.${name} PROPERTIES
      ENVIRONMENT "VX_RUN_PREFIX=${CMAKE_CROSSCOMPILING_EMULATOR}")
  endif()
endforeach()
