# Turns the page's files into a C++ source, so that the binary serves them
# without reading anything at run time.
#
#   cmake -DOUTPUT=web_assets_data.cpp -DBASE=<web folder> -DFILES="a;b" -P embed_assets.cmake
#
# Each file becomes a byte array; WebAssets() lists them with their path
# relative to BASE (for example "app.js").

set(_out "// Generated from the files of the page; do not edit.\n")
string(APPEND _out "#include \"web_assets.h\"\n\nnamespace colorcorrect::cli {\n\nnamespace {\n\n")
set(_table "")
set(_index 0)
foreach(_file ${FILES})
  file(RELATIVE_PATH _rel "${BASE}" "${_file}")
  file(READ "${_file}" _hex HEX)
  string(LENGTH "${_hex}" _hexlen)
  math(EXPR _size "${_hexlen} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n    " _bytes "${_bytes}")
  string(APPEND _out "const unsigned char kAsset${_index}[] = {\n    ${_bytes}0};\n\n")
  string(APPEND _table "    {\"${_rel}\", kAsset${_index}, ${_size}},\n")
  math(EXPR _index "${_index} + 1")
endforeach()
string(APPEND _out "const WebAsset kAssets[] = {\n${_table}};\n\n} // namespace\n\n")
string(APPEND _out "std::span<const WebAsset> WebAssets()\n{\n    return kAssets;\n}\n\n} // namespace colorcorrect::cli\n")
file(WRITE "${OUTPUT}.tmp" "${_out}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
