# Who makes Kelna, set once here (README, "Making the packages"): the .deb's Maintainer and
# Homepage, the signature of its changelog, the version resources' CompanyName and
# LegalCopyright (kelna.scr and kelna-tool.exe) and the About box's notice take these.
# The copyright years come from LICENSE, whose holder the vendor is. Included by the top
# CMakeLists.txt.
set(KELNA_VENDOR "the Kelna authors" CACHE STRING
    "Who makes Kelna: the copyright holder in the version resources and the About box")
set(KELNA_MAINTAINER "the Kelna authors <kelna@example.org>" CACHE STRING
    "The .deb's Maintainer and the signature of its changelog: Name <address>")
set(KELNA_HOMEPAGE "https://example.org/kelna/" CACHE STRING "The .deb's Homepage")

file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE KELNA_LICENSE_COPYRIGHT REGEX "^Copyright \\(c\\) "
     LIMIT_COUNT 1)
if(NOT KELNA_LICENSE_COPYRIGHT MATCHES "^Copyright \\(c\\) ([0-9][-0-9, ]*[0-9]) (.+)$")
  message(FATAL_ERROR "LICENSE has no line 'Copyright (c) YEARS HOLDER'")
endif()
set(KELNA_COPYRIGHT_YEARS "${CMAKE_MATCH_1}")
if(NOT CMAKE_MATCH_2 STREQUAL KELNA_VENDOR)
  message(WARNING "KELNA_VENDOR '${KELNA_VENDOR}' is not the holder named in LICENSE, '${CMAKE_MATCH_2}'")
endif()
set(KELNA_COPYRIGHT "Copyright (C) ${KELNA_COPYRIGHT_YEARS} ${KELNA_VENDOR}")
