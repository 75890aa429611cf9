# The Windows installer, build/windows/zimoklas-<version>-x64.msi: wixl (msitools) builds
# it from resources/windows/zimoklas.wxs, and msibuild then gives each optional
# component its condition, which wixl's component element cannot carry. Target
# zimoklas_msi, part of the windows preset's build.
find_program(ZIMOKLAS_WIXL wixl)
find_program(ZIMOKLAS_MSIBUILD msibuild)
if(NOT ZIMOKLAS_WIXL OR NOT ZIMOKLAS_MSIBUILD)
  message(WARNING "wixl or msibuild (msitools) not found: the MSI is not built; "
                  "scripts/bootstrap installs them")
  return()
endif()

set(ZIMOKLAS_MSI ${CMAKE_BINARY_DIR}/zimoklas-${ZIMOKLAS_VERSION_TEXT}-x64.msi)
set(wxs ${PROJECT_SOURCE_DIR}/resources/windows/zimoklas.wxs)
# Windows Installer compares three numbers of a version, major.minor.build; the fourth
# goes into the third. Written as the product writes it, 1.00.0009, it compares as 1.0.9
# and Programs and Features shows the text as it is.
set(msi_version "${ZIMOKLAS_VERSION_TEXT}")

# Each machine-wide value is written only when its property is given, and the active
# saver only on request. The properties are secure, so that a managed install (Group
# Policy, Intune, SCCM) passes them to the part of the install that runs as SYSTEM.
# Windows Installer looks at these conditions on the first install only. Wine looks at
# them again when it removes the product, so "OR REMOVE" keeps them true for the removal
# there.
set(conditions MachineSnihR=SNIHR MachineSnihG=SNIHG MachineSnihB=SNIHB MachineText1=TEXT1
  MachineText2=TEXT2 MachinePf=PF "ActiveSaver=ACTIVATE = \"1\"")
set(queries)
foreach(pair IN LISTS conditions)
  string(REGEX MATCH "^([^=]+)=(.*)$" unused "${pair}")
  list(APPEND queries -q "UPDATE `Component` SET `Condition` = '(${CMAKE_MATCH_2}) OR REMOVE' \
WHERE `Component` = '${CMAKE_MATCH_1}'")
endforeach()
set(secure WIX_DOWNGRADE_DETECTED WIX_UPGRADE_DETECTED SNIHR SNIHG SNIHB TEXT1 TEXT2 PF ACTIVATE)
list(JOIN secure "$<SEMICOLON>" secure)
list(APPEND queries -q
  "UPDATE `Property` SET `Value` = '${secure}' WHERE `Property` = 'SecureCustomProperties'")

add_custom_command(OUTPUT ${ZIMOKLAS_MSI}
  # wixl finds files by names relative to the folder it runs in.
  COMMAND ${ZIMOKLAS_WIXL} -a x64 -D ScrPath=$<TARGET_FILE_NAME:zimoklas_scr>
    -D ProductVersion=${msi_version} -o ${ZIMOKLAS_MSI}.part ${wxs}
  COMMAND ${ZIMOKLAS_MSIBUILD} ${ZIMOKLAS_MSI}.part ${queries}
  COMMAND ${CMAKE_COMMAND} -E rename ${ZIMOKLAS_MSI}.part ${ZIMOKLAS_MSI}
  DEPENDS zimoklas_scr ${wxs}
  WORKING_DIRECTORY $<TARGET_FILE_DIR:zimoklas_scr>
  COMMENT "Building the Windows installer ${ZIMOKLAS_MSI}"
  VERBATIM)
add_custom_target(zimoklas_msi ALL DEPENDS ${ZIMOKLAS_MSI})
