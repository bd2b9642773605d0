# The macOS build: the EventKit store, the system's own Unicode normalization, and an executable
# that carries its Info.plist and is signed with the calendar entitlement. Only system frameworks.
enable_language(OBJCXX)

target_sources(velkor_core PRIVATE
  src/platform/store_eventkit.mm
  src/store/text_order_cf.cc
)
target_compile_options(velkor_core PRIVATE $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-arc>)
target_link_libraries(velkor_core PUBLIC
  "-framework EventKit"
  "-framework Foundation"
  "-framework CoreGraphics"
  "-framework CoreFoundation"
)

include(${CMAKE_CURRENT_LIST_DIR}/architectures.cmake)
velkor_check_osx_architectures("${CMAKE_OSX_ARCHITECTURES}" VELKOR_UNIVERSAL)
if(VELKOR_UNIVERSAL)
  list(JOIN CMAKE_OSX_ARCHITECTURES " and " slices)
  message(STATUS "velkor-calendar: a universal binary of ${slices}")
endif()

set(VELKOR_CODESIGN_IDENTITY "-" CACHE STRING
  "codesign identity for velkor-calendar; \"-\" signs ad hoc")
set(VELKOR_INFO_PLIST "${PROJECT_SOURCE_DIR}/resources/macos/Info.plist")
set(VELKOR_ENTITLEMENTS "${PROJECT_SOURCE_DIR}/resources/macos/velkor-calendar.entitlements")

# The executable is defined after this file is included; finish it once the directory is read.
function(velkor_finish_macos_executable)
  # A universal build compiles each file for both architectures and links once: the compiler
  # driver runs the linker per slice with the same options, so both slices get the __info_plist
  # section, and joins them with lipo. The POST_BUILD signature comes after that join and signs
  # every slice with the same entitlements.
  #
  # Without an embedded Info.plist the system has no usage description to show when the program
  # itself is the responsible process, and refuses calendar access without asking.
  target_link_options(velkor-calendar PRIVATE
    "LINKER:-sectcreate,__TEXT,__info_plist,${VELKOR_INFO_PLIST}")
  set_property(TARGET velkor-calendar APPEND PROPERTY LINK_DEPENDS "${VELKOR_INFO_PLIST}")
  # Under the hardened runtime calendar access needs the entitlement in the signature. A real
  # identity also gets a secure timestamp, without which notarization refuses the signature.
  set(timestamp "")
  if(NOT VELKOR_CODESIGN_IDENTITY STREQUAL "-")
    set(timestamp --timestamp)
  endif()
  add_custom_command(TARGET velkor-calendar POST_BUILD
    COMMAND codesign --force --options runtime ${timestamp}
            --entitlements "${VELKOR_ENTITLEMENTS}"
            --sign "${VELKOR_CODESIGN_IDENTITY}"
            "$<TARGET_FILE:velkor-calendar>"
    COMMENT "Signing velkor-calendar (${VELKOR_CODESIGN_IDENTITY})"
    VERBATIM)
endfunction()
cmake_language(DEFER DIRECTORY "${PROJECT_SOURCE_DIR}" CALL velkor_finish_macos_executable)
