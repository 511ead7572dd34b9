# Writes the bytes of a file as a C++ header: `constexpr unsigned char NAME[] = {...};`.
# usage: cmake -DINPUT=FILE -DOUTPUT=HEADER -DNAME=IDENTIFIER -P orvo_embed_file.cmake
file(READ ${INPUT} hex HEX)
# Sixteen bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
       "\\1\n" lines "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${lines}")
string(REPLACE "\n" "\n    " bytes "${bytes}")
get_filename_component(input_name ${INPUT} NAME)
file(WRITE ${OUTPUT} "// Generated at build time from ${input_name}; do not edit.\n"
                     "#pragma once\n\n"
                     "constexpr unsigned char ${NAME}[] = {\n    ${bytes}\n};\n")
