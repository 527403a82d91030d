# Writes a C++ source that holds a file's bytes as an array.
# Usage: cmake -DINPUT=file -DOUTPUT=file.cpp -DNAME=symbol -P embed_file.cmake
file(READ ${INPUT} content HEX)
string(LENGTH "${content}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${content}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.new
    "// Generated from ${INPUT}; do not edit.\n"
    "#include <cstddef>\n#include <cstdint>\n\n"
    "extern const std::uint8_t ${NAME}[] = {\n${bytes}\n};\n"
    "extern const std::size_t ${NAME}Size = ${size};\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
