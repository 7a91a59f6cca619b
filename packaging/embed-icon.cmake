# Writes the PNG file PNG as a C++ source OUT that defines g_korvaneIconPng and its size.
#   cmake -DPNG=korvane.png -DOUT=korvane_icon.cpp -P embed-icon.cmake
file(READ "${PNG}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUT}" "// Made by packaging/embed-icon.cmake from ${PNG}.\n"
     "extern const unsigned char g_korvaneIconPng[] = {\n    ${bytes}\n};\n"
     "extern const unsigned int g_korvaneIconPngSize = ${size};\n")
