# Builds the .deb and the RPM from the same build tree and checks that both hold the
# same files (links included; folders aside), and that the RPM's dependencies were
# computed from the program's libraries.
# cmake -DCPACK=... -DCONFIG=<build>/CPackConfig.cmake -DOUT=<scratch folder> -P same_files.cmake
foreach(tool dpkg-deb rpm)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "${tool} is missing; scripts/bootstrap installs it")
  endif()
endforeach()

file(REMOVE_RECURSE ${OUT})
foreach(generator DEB RPM)
  execute_process(COMMAND ${CPACK} --config ${CONFIG} -G ${generator} -B ${OUT}/${generator}
    RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
  if(failed)
    message(FATAL_ERROR "cpack -G ${generator} failed:\n${log}")
  endif()
endforeach()
file(GLOB deb ${OUT}/DEB/*.deb)
file(GLOB rpm ${OUT}/RPM/*.rpm)

# "-rw-r--r-- root/root 212 2026-12-07 18:19 ./usr/share/x" or "lrwxrwxrwx ... ./a -> b"
execute_process(COMMAND ${found_dpkg-deb} -c ${deb} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${listing}")
set(deb_files)
foreach(line IN LISTS lines)
  if(line MATCHES "^[-l][^ ]* .* \\.(/[^ ]*)")
    list(APPEND deb_files ${CMAKE_MATCH_1})
  endif()
endforeach()

execute_process(COMMAND ${found_rpm} -qp --qf "[%{FILEMODES:perms} %{FILENAMES}\n]" ${rpm}
  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${listing}")
set(rpm_files)
foreach(line IN LISTS lines)
  if(line MATCHES "^[-l][^ ]* (/.*)$")
    list(APPEND rpm_files ${CMAKE_MATCH_1})
  endif()
endforeach()

list(SORT deb_files)
list(SORT rpm_files)
list(LENGTH deb_files count)
if(count LESS 5 OR NOT deb_files STREQUAL rpm_files)
  string(REPLACE ";" "\n  " deb_text "${deb_files}")
  string(REPLACE ";" "\n  " rpm_text "${rpm_files}")
  message(FATAL_ERROR "the packages differ:\n.deb:\n  ${deb_text}\nRPM:\n  ${rpm_text}")
endif()

execute_process(COMMAND ${found_rpm} -qpR ${rpm} OUTPUT_VARIABLE requires COMMAND_ERROR_IS_FATAL ANY)
if(NOT requires MATCHES "libX11\\.so\\.6")
  message(FATAL_ERROR "the RPM's dependencies were not computed:\n${requires}")
endif()
message(STATUS "${count} files in both packages")
file(REMOVE_RECURSE ${OUT})
