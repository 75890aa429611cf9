# Installs the build into a scratch folder and checks the launcher's installed files as
# systemd and the desktops read them: the user unit with `systemd-analyze --user verify`
# (its program found where systemd looks, through a private mount of /usr/local/bin),
# the autostart entry with desktop-file-validate.
# The caller sets XDG_RUNTIME_DIR to <OUT>/runtime, which the user manager needs, and
# MANPATH to <OUT>/root/usr/share/man, where the unit's manual page is looked for.
# cmake -DBUILD=<build> -DOUT=<scratch folder> -P idle_unit.cmake
foreach(tool systemd-analyze unshare desktop-file-validate)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "${tool} is missing; scripts/bootstrap installs it")
  endif()
endforeach()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/runtime)
file(CHMOD ${OUT}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${OUT}/root
  ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

set(unit ${OUT}/root/usr/lib/systemd/user/zimoklas-idle.service)
execute_process(COMMAND ${found_unshare} -m sh -c
  "mount --bind \"$0\" /usr/local/bin && exec systemd-analyze --user verify \"$1\""
  ${OUT}/root/usr/bin ${unit}
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
  message(FATAL_ERROR "systemd-analyze --user verify ${unit} failed:\n${log}")
endif()

execute_process(COMMAND ${found_desktop-file-validate}
  ${OUT}/root/etc/xdg/autostart/zimoklas-idle.desktop
  RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed OR NOT log STREQUAL "")
  message(FATAL_ERROR "the autostart entry is not valid:\n${log}")
endif()
