# SPDX-License-Identifier: AGPL-3.0-or-later
# The plug-in module: frame/, tool/, crop/, ui/ and module/ make one shared library
# whose only export is PlugInMain. It links the C++ runtime and the
# window-system stand-in, nothing else.
file(GLOB VX_MODULE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/frame/*.cpp ${CMAKE_SOURCE_DIR}/tool/*.cpp
  ${CMAKE_SOURCE_DIR}/crop/*.cpp ${CMAKE_SOURCE_DIR}/ui/*.cpp ${CMAKE_SOURCE_DIR}/module/*.cpp)

# The same objects serve the module and in-process test builds.
add_library(trimvex_objs OBJECT ${VX_MODULE_SOURCES})
target_include_directories(trimvex_objs PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform/sdk)
# On Windows the module compiles against the platform's own <windows.h>.
if(NOT WIN32)
  target_include_directories(trimvex_objs PUBLIC ${CMAKE_SOURCE_DIR}/platform/win32/include)
endif()
target_compile_options(trimvex_objs PRIVATE -fno-exceptions -fno-rtti
  -fvisibility=hidden -fvisibility-inlines-hidden)
set_target_properties(trimvex_objs PROPERTIES POSITION_INDEPENDENT_CODE ON)
vx_strict_warnings(trimvex_objs)

# The resource ids, for tests that read the module's resources back.
add_library(trimvex_resource_ids INTERFACE)
target_include_directories(trimvex_resource_ids INTERFACE ${CMAKE_SOURCE_DIR})

add_library(trimvex MODULE $<TARGET_OBJECTS:trimvex_objs>)
if(WIN32)
  # trimvex.dll: its resources linked into .rsrc, its one export listed in
  # the .def file, the C and C++ runtimes linked in, so that it needs
  # nothing but the system's DLLs.
  set_target_properties(trimvex PROPERTIES PREFIX "" OUTPUT_NAME trimvex)
  target_sources(trimvex PRIVATE ${CMAKE_SOURCE_DIR}/cmake/trimvex.def ${VX_RESOURCE_OBJECT})
  target_link_libraries(trimvex PRIVATE user32)
  target_link_options(trimvex PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--no-undefined)
  add_dependencies(trimvex trimvex_resources)
  return()
endif()
set_target_properties(trimvex PROPERTIES PREFIX "lib" OUTPUT_NAME trimvex)
target_link_libraries(trimvex PRIVATE vxwin32)
target_link_options(trimvex PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/trimvex.map)
set_property(TARGET trimvex APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/trimvex.map)
if(NOT VX_SANITIZE AND NOT VX_FUZZ)
  target_link_options(trimvex PRIVATE -Wl,--no-undefined)
endif()
if(COMMAND vx_embed_resources)
  vx_embed_resources(trimvex)
endif()
