# The plug-in module: frame/, tool/, crop/, ui/ and module/ make one shared library
# whose only export is PlugInMain. It links the C++ runtime and the
# window-system stand-in, nothing else.
file(GLOB VX_MODULE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/frame/*.cpp ${CMAKE_SOURCE_DIR}/tool/*.cpp
  ${CMAKE_SOURCE_DIR}/crop/*.cpp ${CMAKE_SOURCE_DIR}/ui/*.cpp ${CMAKE_SOURCE_DIR}/module/*.cpp)

# The same objects serve the module and in-process test builds.
add_library(trimvex_objs OBJECT ${VX_MODULE_SOURCES})
target_include_directories(trimvex_objs PUBLIC ${CMAKE_SOURCE_DIR}
  ${CMAKE_SOURCE_DIR}/platform/sdk ${CMAKE_SOURCE_DIR}/platform/win32/include)
target_compile_options(trimvex_objs PRIVATE -fno-exceptions -fno-rtti
  -fvisibility=hidden -fvisibility-inlines-hidden)
set_target_properties(trimvex_objs PROPERTIES POSITION_INDEPENDENT_CODE ON)
vx_strict_warnings(trimvex_objs)

# The resource ids, for tests that read the module's resources back.
add_library(trimvex_resource_ids INTERFACE)
target_include_directories(trimvex_resource_ids INTERFACE ${CMAKE_SOURCE_DIR})

add_library(trimvex MODULE $<TARGET_OBJECTS:trimvex_objs>)
set_target_properties(trimvex PROPERTIES PREFIX "lib" OUTPUT_NAME trimvex)
target_link_libraries(trimvex PRIVATE vxwin32)
if(NOT VX_SANITIZE AND NOT VX_FUZZ)
  target_link_options(trimvex PRIVATE -Wl,--no-undefined)
endif()
if(COMMAND vx_embed_resources)
  vx_embed_resources(trimvex)
endif()
