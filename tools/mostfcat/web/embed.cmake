# Writes OUT, a C++ source that holds the files FILES (a ;-list) as byte
# arrays with the URL path and Content-Type each is served with (see
# serve_assets.h). Run with cmake -P at build time.
set(arrays "")
set(table "")
set(index 0)
foreach(file IN LISTS FILES)
  get_filename_component(name ${file} NAME)
  get_filename_component(ext ${file} LAST_EXT)
  if(name STREQUAL "index.html")
    set(path "/")
  else()
    set(path "/${name}")
  endif()
  if(ext STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(ext STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(ext STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  else()
    message(FATAL_ERROR "embed.cmake: no Content-Type for ${name}")
  endif()
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Sixteen bytes a line keeps the generated file readable for a compiler.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "static const unsigned char kAsset${index}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${path}\", \"${type}\", kAsset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUT}.tmp "// Generated from tools/mostfcat/web/ by embed.cmake; do not edit.\n"
     "#include \"serve_assets.h\"\n\nnamespace mostfcat::cli {\n\nnamespace {\n${arrays}}\n\n"
     "const WebAsset kWebAssets[] = {\n${table}};\n"
     "const size_t kWebAssetCount = sizeof kWebAssets / sizeof kWebAssets[0];\n\n"
     "} // namespace mostfcat::cli\n")
# Unchanged output keeps its time stamp, so the tool is not linked again.
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
