# SPDX-License-Identifier: AGPL-3.0-or-later
# vx_window_figures_test(EXPECTED [LAUNCHER]): the program window_figures,
# run on the module, must print EXPECTED; the cursors and bitmaps must be
# the same in the stand-in's figures and in the real system's; and the
# dialog's input rules (dialog_rules) the same on both.
function(vx_window_program name)
  add_executable(${name} ${CMAKE_SOURCE_DIR}/tests/windows/${name}.cpp)
  target_link_libraries(${name} PRIVATE vxwin32 trimvex_resource_ids)
  vx_strict_warnings(${name})
  add_dependencies(${name} trimvex)
  if(WIN32)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

function(vx_window_figures_test expected)
  set(dir ${CMAKE_SOURCE_DIR}/tests/windows)
  vx_window_program(window_figures)
  vx_window_program(dialog_rules)
  add_test(NAME window.figures
    COMMAND ${dir}/check_output.sh ${expected} ${ARGN} $<TARGET_FILE:window_figures> $<TARGET_FILE:trimvex>)
  add_test(NAME window.dialog_rules
    COMMAND ${dir}/check_output.sh ${dir}/dialog_rules.txt ${ARGN} $<TARGET_FILE:dialog_rules> $<TARGET_FILE:trimvex>)
  # A dialog that waits for input no one gives would wait for ever.
  set_tests_properties(window.figures window.dialog_rules PROPERTIES TIMEOUT 45)
  add_test(NAME window.same_cursors_and_bitmaps
    COMMAND ${dir}/same_images.sh ${dir}/standin_figures.txt ${dir}/wine_figures.txt)
endfunction()
