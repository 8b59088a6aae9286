cmake_minimum_required(VERSION 3.25)
# Fails when a program imports a DLL statically that Windows does not protect as a known DLL
# (such a DLL is searched in the program's own folder first, where anyone may have planted one),
# when its manifest does not declare the Windows versions it supports, or when its header does
# not name Vista (6.0) as the oldest system and subsystem version.
# Run as: cmake -DOBJDUMP=<objdump> -DPROGRAMS=<exe;exe> -P programs_load_system_dlls_safely.cmake
# The known DLLs of Windows 10 and 11 (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs).
set(known advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt
    normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 ws2_32)
# Vista, 7, 8, 8.1, 10 and 11.
set(supported e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a
    4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a)
set(found "")
foreach(program IN LISTS PROGRAMS)
  execute_process(COMMAND ${OBJDUMP} -p ${program} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot read ${program}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
  if(NOT imports)
    message(FATAL_ERROR "no imports read from ${program}")
  endif()
  foreach(import IN LISTS imports)
    string(TOLOWER "${import}" name)
    string(REGEX REPLACE "^dll name: ([^.]+)\\.dll$" "\\1" name "${name}")
    if(NOT name IN_LIST known)
      string(APPEND found "\n  ${program} imports ${import}")
    endif()
  endforeach()
  foreach(field MajorOSystemVersion MajorSubsystemVersion)
    if(NOT headers MATCHES "${field}[ \t]+6\n")
      string(APPEND found "\n  ${program}: ${field} is not 6")
    endif()
  endforeach()
  file(STRINGS ${program} manifest REGEX "supportedOS")
  foreach(id IN LISTS supported)
    if(NOT manifest MATCHES "${id}")
      string(APPEND found "\n  ${program}: no supportedOS ${id} in its manifest")
    endif()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "unsafe DLL loading or missing compatibility:${found}")
endif()
message(STATUS "every import is a known DLL, every manifest declares the supported Windows versions")
