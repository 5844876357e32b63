# SPDX-License-Identifier: AGPL-3.0-or-later
# Warnings are errors everywhere in the project's own code.
function(vx_strict_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual>)
endfunction()
