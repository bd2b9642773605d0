# The architectures a macOS build may name in CMAKE_OSX_ARCHITECTURES: arm64 and x86_64, alone or
# both (a universal binary, what a host application ships). Anything else would build a slice no
# supported Mac runs, or fail late in the link, so the configure step refuses it.
#
# Included by macos.cmake; also a script, so that the check runs on any system:
#   cmake -DARCHITECTURES="arm64;x86_64" -P cmake/architectures.cmake
function(velkor_check_osx_architectures architectures out_universal)
  set(seen "")
  foreach(arch IN LISTS architectures)
    if(NOT arch MATCHES "^(arm64|x86_64)$")
      message(FATAL_ERROR "CMAKE_OSX_ARCHITECTURES: '${arch}' is not arm64 or x86_64")
    endif()
    list(FIND seen "${arch}" index)
    if(NOT index EQUAL -1)
      message(FATAL_ERROR "CMAKE_OSX_ARCHITECTURES: '${arch}' is named twice")
    endif()
    list(APPEND seen "${arch}")
  endforeach()
  list(LENGTH seen count)
  if(count EQUAL 2)
    set(${out_universal} ON PARENT_SCOPE)
  else()
    set(${out_universal} OFF PARENT_SCOPE)
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  velkor_check_osx_architectures("${ARCHITECTURES}" universal)
  message(STATUS "universal: ${universal}")
endif()
