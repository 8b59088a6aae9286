# Warnings, text encoding and sanitizers shared by every target.
add_library(mewlark_options INTERFACE)
target_include_directories(mewlark_options INTERFACE ${CMAKE_BINARY_DIR}/generated ${PROJECT_SOURCE_DIR})

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU")
  # Sources are UTF-8; the programs' byte strings are code page 932.
  target_compile_options(mewlark_options INTERFACE
    -Wall -Wextra -Wno-unused-parameter
    $<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8 -fexec-charset=CP932>)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Clang only writes UTF-8 literals: it builds the fuzz targets, never the programs.
  target_compile_options(mewlark_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
elseif(MSVC)
  target_compile_options(mewlark_options INTERFACE /W4 /source-charset:utf-8 /execution-charset:.932)
endif()

if(WIN32)
  target_compile_definitions(mewlark_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0600 WINVER=0x0600 _WIN32_IE=0x0600)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU")
    # Vista is the oldest system the programs run on (they import its functions): declared in
    # the PE header, so that an older one refuses them as no valid program of its own.
    target_link_options(mewlark_options INTERFACE
      -Wl,--major-os-version,6,--minor-os-version,0,--major-subsystem-version,6,--minor-subsystem-version,0)
    # Small release programs: size-optimised, unused sections dropped, stripped.
    target_compile_options(mewlark_options INTERFACE $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections>)
    target_link_options(mewlark_options INTERFACE -static $<$<CONFIG:Release>:-s -Wl,--gc-sections>)
    # The same bytes from every build of a commit: no link time in the PE header, no build or
    # source folder in the code (__FILE__, debug info).
    target_link_options(mewlark_options INTERFACE -Wl,--no-insert-timestamp)
    target_compile_options(mewlark_options INTERFACE
      -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
  endif()
endif()

if(MEWLARK_SANITIZE AND NOT WIN32)
  target_compile_options(mewlark_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(mewlark_options INTERFACE -fsanitize=address,undefined)
endif()
