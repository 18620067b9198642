# Writes a C++ source file holding one file's bytes, read through a function
# that returns them as a std::string_view. Run as a build step:
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DFUNCTION=<name> -P EmbedFile.cmake
# The function lands in namespace backtrail::engine; its declaration is the
# caller's to write.
foreach(variable INPUT OUTPUT FUNCTION)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "EmbedFile.cmake needs -D${variable}=...")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Two hex digits a byte, twenty bytes a line.
string(REPEAT "[0-9a-f]" 40 line_of_digits)
string(REGEX REPLACE "(${line_of_digits})" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
get_filename_component(name "${INPUT}" NAME)

file(WRITE "${OUTPUT}.tmp" "// Generated from ${name} by cmake/EmbedFile.cmake; do not edit.
#include <string_view>

namespace backtrail::engine {

namespace {
// One byte more than the file, so that an empty file still makes an array.
const unsigned char kBytes[${size} + 1] = {
${bytes}0x00};
} // namespace

std::string_view ${FUNCTION}()
{
    return std::string_view(reinterpret_cast<const char*>(kBytes), ${size});
}

} // namespace backtrail::engine
")
# Only a changed file is written, so that an unchanged list compiles nothing again.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
