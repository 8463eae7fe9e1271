# Writes OUTPUT, a C++ file defining the std::string_view NAME in namespace
# NAMESPACE as the bytes of INPUT, unchanged:
#   cmake -DINPUT=... -DOUTPUT=... -DNAME=... -DNAMESPACE=... -P embed_text.cmake
file(READ "${INPUT}" text)
set(delimiter "embedded_text")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's end, )${delimiter}\"")
endif()
file(WRITE "${OUTPUT}"
  "// Made from ${INPUT} by embed_text.cmake; edit that file instead.\n"
  "#include <string_view>\n\n"
  "namespace ${NAMESPACE} {\n\n"
  "extern const std::string_view ${NAME};\n"
  "const std::string_view ${NAME} = R\"${delimiter}(${text})${delimiter}\";\n\n"
  "}  // namespace ${NAMESPACE}\n")
