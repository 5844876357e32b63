# vx_window_figures_test(EXPECTED [LAUNCHER]): the program window_figures,
# run on the module, must print EXPECTED; and the cursors and bitmaps must
# be the same in the stand-in's figures and in the real system's.
function(vx_window_figures_test expected)
  set(dir ${CMAKE_SOURCE_DIR}/tests/windows)
  add_executable(window_figures ${dir}/window_figures.cpp)
  target_link_libraries(window_figures PRIVATE vxwin32 trimvex_resource_ids)
  vx_strict_warnings(window_figures)
  add_dependencies(window_figures trimvex)
  if(WIN32)
    target_link_options(window_figures PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
  add_test(NAME window.figures
    COMMAND ${dir}/check_output.sh ${expected} ${ARGN} $<TARGET_FILE:window_figures> $<TARGET_FILE:trimvex>)
  add_test(NAME window.same_cursors_and_bitmaps
    COMMAND ${dir}/same_images.sh ${dir}/standin_figures.txt ${dir}/wine_figures.txt)
endfunction()
