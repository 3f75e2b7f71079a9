# Writes a C++ source holding every template file's text (cmake -P script).
# Inputs: OUT (the .cpp to write), FILES (semicolon list of .dlg files).
set(body "// Generated from ui/templates/*.dlg; do not edit.\nnamespace planilla::ui {\nextern const char* const kEmbeddedTemplates[];\nconst char* const kEmbeddedTemplates[] = {\n")
foreach(f ${FILES})
  file(READ "${f}" text)
  string(APPEND body "R\"TPL(${text})TPL\",\n")
endforeach()
string(APPEND body "nullptr};\n}  // namespace planilla::ui\n")
file(WRITE "${OUT}.tmp" "${body}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUT}.tmp" "${OUT}")
