# What a release installs, and CPack's packages of it (scripts/package.sh makes them):
#   Windows: a ZIP whose one folder Kelna holds kelna.scr, kelna-tool.exe, README.txt,
#            LICENSE.txt and the demo in demo/; unpacked into C:\ it is C:\Kelna, the folder
#            whose demo\demo.foe the demo's animation names.
#   Linux:   a .deb with kelna (as an XScreenSaver hack, linked from /usr/bin), kelna-tool,
#            the demo in /usr/share/kelna, manual pages, copyright and changelog.
# The version is the project's (project() in the top CMakeLists.txt); who makes Kelna
# (KELNA_VENDOR, KELNA_MAINTAINER, KELNA_HOMEPAGE) comes from cmake/identity.cmake.

set(KELNA_PACKAGE_DIR ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  # The cross build cannot run kelna-tool, so the demo comes drawn by the native one.
  set(KELNA_PACKAGE_DEMO_DIR "" CACHE PATH "A folder holding the demo to put into the ZIP's demo/ folder")
  set(folder Kelna)
  install(TARGETS kelna kelna-tool RUNTIME DESTINATION ${folder})
  # UTF-8 with a byte order mark and CRLF line ends, which every Notepad reads; the
  # version is filled in. The licence goes with CRLF line ends too.
  configure_file(${KELNA_PACKAGE_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
          DESTINATION ${folder})
  if(KELNA_PACKAGE_DEMO_DIR)
    install(DIRECTORY ${KELNA_PACKAGE_DEMO_DIR}/ DESTINATION ${folder}/demo)
  endif()
  set(CPACK_GENERATOR ZIP)
  # The ZIP's top folder is the installed Kelna, not one named after the file.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_FILE_NAME kelna-${PROJECT_VERSION}-windows-x64)
else()
  include(GNUInstallDirs)
  install(TARGETS kelna-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_BINARY_DIR}/demo/demo.anm ${CMAKE_BINARY_DIR}/demo/demo.foe
          ${CMAKE_BINARY_DIR}/demo/background.bmp ${CMAKE_BINARY_DIR}/demo/music.mid
          ${CMAKE_BINARY_DIR}/demo/blip.wav
          DESTINATION ${CMAKE_INSTALL_DATADIR}/kelna)

  # The changelog is made from NEWS.md, whose top section must be the project's version,
  # dated by SOURCE_DATE_EPOCH (scripts/package.sh: the release commit's time) when it is
  # set at configure time, else by NEWS.md's last change; signed by the maintainer.
  find_package(Python3 3.9 REQUIRED COMPONENTS Interpreter)
  set(date)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(date --date $ENV{SOURCE_DATE_EPOCH})
  endif()
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog
    COMMAND Python3::Interpreter ${KELNA_PACKAGE_DIR}/news_to_changelog.py
            ${PROJECT_SOURCE_DIR}/NEWS.md ${CMAKE_CURRENT_BINARY_DIR}/changelog
            --version ${PROJECT_VERSION} --maintainer ${KELNA_MAINTAINER} ${date}
    DEPENDS ${PROJECT_SOURCE_DIR}/NEWS.md ${KELNA_PACKAGE_DIR}/news_to_changelog.py
    COMMENT "Writing the Debian changelog from NEWS.md"
    VERBATIM)
  # The copyright file in Debian's machine-readable form, with LICENSE's terms as the
  # Expat licence: each line indented by one space, a blank line as " .".
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE terms)
  string(FIND "${terms}" "Permission is hereby granted" start)
  string(SUBSTRING "${terms}" ${start} -1 terms)
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " KELNA_LICENSE_TERMS "${terms}")
  configure_file(${KELNA_PACKAGE_DIR}/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)

  # Manual pages and the changelog go compressed, as Debian keeps them.
  find_program(KELNA_GZIP gzip REQUIRED)
  set(compressed)
  foreach(source ${KELNA_PACKAGE_DIR}/kelna.6 ${KELNA_PACKAGE_DIR}/kelna-tool.1
                 ${CMAKE_CURRENT_BINARY_DIR}/changelog)
    get_filename_component(name ${source} NAME)
    add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz
      COMMAND ${KELNA_GZIP} -9 -n -c ${source} > ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz
      DEPENDS ${source}
      VERBATIM)
    list(APPEND compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
  endforeach()
  add_custom_target(kelna_package_docs ALL DEPENDS ${compressed})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kelna-tool.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelna)

  if(TARGET kelna)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kelna.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
    # kelna on the PATH too: a relative link to the hack where XScreenSaver finds it.
    file(RELATIVE_PATH link_target /${CMAKE_INSTALL_BINDIR} /${KELNA_HACK_DIR}/kelna)
    file(CREATE_LINK ${link_target} ${CMAKE_CURRENT_BINARY_DIR}/kelna-link SYMBOLIC)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kelna-link DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kelna)
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELNA_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KELNA_HOMEPAGE}")
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries through dpkg-shlibdeps; the sound font that the MIDI music needs by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | sf2-soundfont-gm")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
  # One text: the summary line (CPACK_PACKAGE_DESCRIPTION_SUMMARY) comes before it.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Kelna plays sprite animations (.anm files with their .foe object\n"
      "files): sprites with masks, depth order, six ways of moving and wave\n"
      "sounds, over a picture or the desktop, with MIDI music.\n"
      ".\n"
      "kelna runs full screen, in a window or as an XScreenSaver hack;\n"
      "kelna-tool inspects, packs (from PNG frames) and renders Kelna's\n"
      "files. A demo animation is in /usr/share/kelna.")
endif()

set(CPACK_PACKAGE_NAME kelna)
set(CPACK_PACKAGE_VENDOR "${KELNA_VENDOR}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sprite animation screen saver")
# The release flags strip the Windows programs when they are linked (cmake/release.cmake).
if(NOT WIN32)
  set(CPACK_STRIP_FILES ON)
endif()
include(CPack)
