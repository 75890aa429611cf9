# Fails when the program file imports a DLL that the loader might take from beside the
# program: only known DLLs, which always come from System32, and the common controls,
# which the manifest takes from the side-by-side store, are allowed.
# cmake -DOBJDUMP=... -DPROGRAM=... -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed advapi32 comctl32 gdi32 kernel32 msvcrt ole32 shell32 user32)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no imports found in ${PROGRAM}")
endif()
foreach(line ${names})
  string(REGEX REPLACE "DLL Name: ([^ \t\r]+)\\.[dD][lL][lL].*" "\\1" name "${line}")
  string(TOLOWER "${name}" name)
  if(NOT name IN_LIST allowed)
    message(FATAL_ERROR "${PROGRAM} imports ${name}.dll, which the loader would look for beside it")
  endif()
endforeach()
