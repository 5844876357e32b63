# SPDX-License-Identifier: AGPL-3.0-or-later
# Writes OUTPUT, a C++ file holding each file of ASSETS (paths joined by |) as bytes,
# with FindEmbeddedAsset over them. Run as: cmake -DOUTPUT=... -DASSETS=... -P
string(REPLACE "|" ";" ASSETS "${ASSETS}")
set(body "")
set(table "")
set(n 0)
foreach(path ${ASSETS})
  get_filename_component(name ${path} NAME)
  get_filename_component(ext ${path} EXT)
  if(ext STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(ext STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(ext STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  else()
    message(FATAL_ERROR "no content type for ${path}")
  endif()
  file(READ ${path} hex HEX)
  string(LENGTH "${hex}" hexlen)
  math(EXPR size "${hexlen} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "const unsigned char kAsset${n}[] = {${bytes} 0};\n")
  string(APPEND table "    {\"${name}\", \"${type}\", kAsset${n}, ${size}},\n")
  math(EXPR n "${n} + 1")
endforeach()
file(WRITE ${OUTPUT}.tmp "// Generated from platform/host/viewer/assets/ by cmake/embed_assets.cmake.
#include \"viewer/embedded_assets.h\"

namespace vellora::viewer {
namespace {
${body}
const EmbeddedAsset kAssets[] = {
${table}};
}  // namespace

const EmbeddedAsset* FindEmbeddedAsset(std::string_view name) {
    for (const EmbeddedAsset& a : kAssets)
        if (name == a.name) return &a;
    return nullptr;
}

}  // namespace vellora::viewer
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
