# The flags of the release builds, which the presets linux-release and windows-release turn
# on (included by the top CMakeLists.txt): the hardening that Debian's dpkg-buildflags gives
# with DEB_BUILD_MAINT_OPTIONS=hardening=+all, and no trace of the build folder or the build
# time in the programs, so that two builds of one commit in two folders give the same bytes.
# Only C and C++ take them: windres knows none.
option(KELNA_RELEASE_FLAGS "Hardened, reproducible release builds" OFF)
if(KELNA_RELEASE_FLAGS)
  set(kelna_c_cxx $<COMPILE_LANGUAGE:C,CXX>)
  # The last map that matches wins: a build folder outside the sources is mapped after them.
  add_compile_options("$<${kelna_c_cxx}:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>")
  cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${PROJECT_BINARY_DIR}" kelna_build_inside)
  if(NOT kelna_build_inside)
    add_compile_options("$<${kelna_c_cxx}:-ffile-prefix-map=${PROJECT_BINARY_DIR}=build>")
  endif()
  add_compile_options("$<${kelna_c_cxx}:-fstack-protector-strong;-Wformat;-Werror=format-security>")
  if(WIN32)
    # Windows' own protections on (address space layout randomisation with 64-bit entropy,
    # no execution of data), no link time in the header. The stack protector's libssp is
    # linked statically with the rest (-static in cmake/mingw-w64.cmake). Stripped by the
    # linker (-s): strip would write its own time (or SOURCE_DATE_EPOCH) into the header.
    add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat
                     -Wl,--high-entropy-va -Wl,--no-insert-timestamp -s)
  else()
    # dpkg-buildflags here (dpkg 1.21, Debian 12) prints the stack protector, the format
    # checks, _FORTIFY_SOURCE=2, -Wdate-time and relro with bindnow; PIE is GCC's default.
    # dpkg 1.22 adds the stack clash and control flow protections on amd64: GCC 12 has them.
    add_compile_options("$<${kelna_c_cxx}:-fstack-clash-protection;-fcf-protection;-Wdate-time>"
                        "$<${kelna_c_cxx}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
    add_link_options(-Wl,-z,relro -Wl,-z,now)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    include(CheckPIESupported)
    check_pie_supported()
  endif()
endif()
