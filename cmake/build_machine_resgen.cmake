# SPDX-License-Identifier: AGPL-3.0-or-later
# resgen for the build machine in a cross-build: compiled by the build
# machine's own C++ compiler, with the project's warnings as errors.
find_program(VX_BUILD_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(resgen_dir ${CMAKE_SOURCE_DIR}/tools/resgen)
set(resgen_sources ${resgen_dir}/main.cpp ${resgen_dir}/art_source.cpp ${resgen_dir}/image_files.cpp)
set(VX_RESGEN ${CMAKE_BINARY_DIR}/build-machine/resgen)
add_custom_command(OUTPUT ${VX_RESGEN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/build-machine
  COMMAND ${VX_BUILD_CXX} -std=c++20 -O1 -Wall -Wextra -Wpedantic -Werror -o ${VX_RESGEN} ${resgen_sources}
  DEPENDS ${resgen_sources} ${resgen_dir}/art_source.h ${resgen_dir}/image_files.h
  COMMENT "Building resgen for the build machine" VERBATIM)
add_custom_target(resgen_build_machine DEPENDS ${VX_RESGEN})
set(VX_RESGEN_DEPENDS resgen_build_machine)
