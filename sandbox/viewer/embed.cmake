# Writes OUTPUT, a C++ file that holds the viewer's files (FILES, a ;-list of paths) as byte
# arrays and a table of them for FindViewerAsset. Run as: cmake -DOUTPUT=.. -DFILES=.. -P this.
set(arrays "")
set(table "")
set(index 0)
foreach(path IN LISTS FILES)
  get_filename_component(name "${path}" NAME)
  if(name MATCHES "\\.html$")
    set(type "text/html; charset=utf-8")
  elseif(name MATCHES "\\.css$")
    set(type "text/css; charset=utf-8")
  elseif(name MATCHES "\\.js$")
    set(type "text/javascript; charset=utf-8")
  else()
    message(FATAL_ERROR "no content type for ${name}")
  endif()
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char kAsset${index}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${name}\", \"${type}\", kAsset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from sandbox/viewer/ by embed.cmake; do not edit.
#include <string_view>

#include \"viewer.h\"

namespace lumo::sandbox {
namespace {

${arrays}
const ViewerAsset kAssets[] = {
${table}};

}  // namespace

const ViewerAsset* FindViewerAsset(std::string_view name) {
  if (name.empty()) name = \"index.html\";
  for (const ViewerAsset& asset : kAssets) {
    if (name == asset.name) return &asset;
  }
  return nullptr;
}

}  // namespace lumo::sandbox
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
