# What `cmake --install` puts where, and the Debian package CPack makes of it.
#
#   PREFIX/bin                                  every command
#   PREFIX/share/man/man1                       their manual pages
#   PREFIX/share/bash-completion/completions    bash completion, one file a command
#   PREFIX/share/zsh/vendor-completions         zsh completion
#   PREFIX/share/doc/vorn                       README, CHANGELOG, examples
#   PREFIX/share/vorn/editors                   the editor packages
#   PREFIX/include/vorn, PREFIX/lib             the core library and its headers
#   PREFIX/lib/cmake/Vorn                       find_package(Vorn): Vorn::core
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VORN_COMMANDS vornasm vornsim vornlist vorndbg vorngrade vornls)
set(installedCommands "")
foreach(command IN LISTS VORN_COMMANDS)
    if(TARGET ${command})
        list(APPEND installedCommands ${command})
    endif()
endforeach()
install(TARGETS ${installedCommands} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages: written once in scdoc's plain form, rendered at build time.
find_program(SCDOC scdoc REQUIRED)
set(manPages "")
foreach(command IN LISTS installedCommands)
    set(page ${CMAKE_CURRENT_SOURCE_DIR}/man/${command}.1.scd)
    if(NOT EXISTS ${page})
        message(FATAL_ERROR "${command} has no manual page: man/${command}.1.scd")
    endif()
    set(rendered ${CMAKE_CURRENT_BINARY_DIR}/man/${command}.1)
    add_custom_command(OUTPUT ${rendered}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND ${SCDOC} < ${page} > ${rendered}
        DEPENDS ${page} VERBATIM)
    list(APPEND manPages ${rendered})
endforeach()
add_custom_target(manpages ALL DEPENDS ${manPages})
if(VORN_DEBIAN_PACKAGE)
    # Debian's policy: compressed manual pages.
    foreach(rendered IN LISTS manPages)
        add_custom_command(OUTPUT ${rendered}.gz
            COMMAND gzip -9 -n -c ${rendered} > ${rendered}.gz DEPENDS ${rendered} VERBATIM)
        list(APPEND compressedPages ${rendered}.gz)
    endforeach()
    add_custom_target(manpages-compressed ALL DEPENDS ${compressedPages})
    set(manPages ${compressedPages})
endif()
install(FILES ${manPages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

foreach(command IN LISTS installedCommands)
    install(FILES completions/vorn.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME ${command})
endforeach()
install(FILES completions/_vorn DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

set(docDir ${CMAKE_INSTALL_DATADIR}/doc/vorn)
install(FILES README.md CHANGELOG.md DESTINATION ${docDir})
install(DIRECTORY examples/ DESTINATION ${docDir}/examples
        FILES_MATCHING PATTERN "*.vorn" PATTERN "*.input" PATTERN "*.expected"
        PATTERN "*.image" PATTERN "*.toml" PATTERN "*.txt")
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/editors)
    install(DIRECTORY editors/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vorn/editors
            PATTERN "node_modules" EXCLUDE PATTERN "*.vsix" EXCLUDE)
endif()

# The core library, its headers, and the package configuration that
# find_package(Vorn) reads.
set_target_properties(vorncore PROPERTIES EXPORT_NAME core)
install(TARGETS vorncore EXPORT VornTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vorn)
foreach(folder IN ITEMS assembly machine program run debug grading analysis)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
        install(DIRECTORY ${folder}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vorn/${folder}
                FILES_MATCHING PATTERN "*.h")
    endif()
endforeach()
set(configDir ${CMAKE_INSTALL_LIBDIR}/cmake/Vorn)
install(EXPORT VornTargets NAMESPACE Vorn:: DESTINATION ${configDir})
configure_package_config_file(cmake/VornConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/VornConfig.cmake INSTALL_DESTINATION ${configDir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VornConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VornConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/VornConfigVersion.cmake DESTINATION ${configDir})

if(VORN_DEBIAN_PACKAGE)
    # Debian's policy asks every package for its copyright and a compressed
    # changelog (changelog.gz: a package of our own, with no Debian revision).
    set(debianChangelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
    add_custom_command(OUTPUT ${debianChangelog}
        COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian-changelog ${PROJECT_VERSION}
                ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md | gzip -9 -n > ${debianChangelog}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/CHANGELOG.md packaging/debian-changelog VERBATIM)
    add_custom_target(debian-changelog ALL DEPENDS ${debianChangelog})
    install(FILES packaging/copyright ${debianChangelog} DESTINATION ${docDir})
endif()

# The Debian package (scripts/package builds it from a Release build).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Vorn toolchain developers")
set(CPACK_PACKAGE_CONTACT "Vorn toolchain developers <vorn-devel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "toolchain of the Vorn teaching computer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "An assembler (vornasm), a simulator (vornsim), a lister (vornlist), a
debugger that runs backwards (vorndbg), a grader for teachers (vorngrade)
and a language server for editors (vornls) for a small 32-bit machine with
16 operations, 16 registers and 65536 words of memory.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
