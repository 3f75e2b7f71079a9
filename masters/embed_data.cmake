# Writes a C++ source holding the shipped code tables (cmake -P script).
# Inputs: OUT (the .cpp to write), TABLES and UBIGEO (the text files).
file(READ "${TABLES}" tables)
file(READ "${UBIGEO}" ubigeo)
set(body "// Generated from masters/data; do not edit.\nnamespace planilla::masters {\n")
string(APPEND body "extern const char* const kShippedSunatTables;\nconst char* const kShippedSunatTables = R\"TXT(${tables})TXT\";\n")
string(APPEND body "extern const char* const kShippedUbigeo;\nconst char* const kShippedUbigeo = R\"TXT(${ubigeo})TXT\";\n")
string(APPEND body "}  // namespace planilla::masters\n")
file(WRITE "${OUT}.tmp" "${body}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUT}.tmp" "${OUT}")
