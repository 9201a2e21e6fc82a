# Writes the Debian package's copyright file from the repository's LICENSE, so
# that the two never differ: the machine-readable header, then the license
# with its holder and, as Debian's format asks, its text indented by one
# space and each empty line as " .".
#   cmake -DLICENSE=LICENSE -DOUTPUT=copyright -P debian-copyright.cmake
file(READ ${LICENSE} text)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" holderLine "${text}")
set(holder ${CMAKE_MATCH_1})
if(NOT holder)
    message(FATAL_ERROR "${LICENSE} names no holder on a \"Copyright (c)\" line")
endif()
# The license's own text starts at its first paragraph after the copyright line.
string(FIND "${text}" "Permission is hereby granted" start)
if(start EQUAL -1)
    message(FATAL_ERROR "${LICENSE} is not the MIT license's text")
endif()
string(SUBSTRING "${text}" ${start} -1 body)
string(STRIP "${body}" body)
string(REPLACE "\n\n" "\n.\n" body "${body}")
string(REPLACE "\n" "\n " body "${body}")
file(WRITE ${OUTPUT}
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: vorn
Source: the Vorn toolchain's repository

Files: *
Copyright: ${holder}
License: MIT
 ${body}
")
