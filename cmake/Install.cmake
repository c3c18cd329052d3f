# What `make install` (and `cmake --install BUILD --prefix P`, and the Debian
# package) puts under the prefix:
#   bin/zumbrix, bin/mirel
#   libexec/xscreensaver/zumbrix             xscreensaver's hack: a link to bin/zumbrix
#   share/xscreensaver/config/zumbrix.xml    its entry in xscreensaver's settings
#   share/applications/zumbrix.desktop, share/icons/hicolor/*/apps/zumbrix.*
#   share/man/man6/zumbrix.6.gz, share/man/man1/mirel.1.gz
#   share/doc/zumbrix/README.md, copyright, changelog.gz
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS zumbrix mirel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The hack is the program itself, linked by a relative path so that the tree
# can be moved (DESTDIR, packages).
set(hack_dir ${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver)
file(RELATIVE_PATH hack_target /prefix/${hack_dir} /prefix/${CMAKE_INSTALL_BINDIR}/zumbrix)
install(CODE "
    set(hack_dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${hack_dir}\")
    message(STATUS \"Installing: \${hack_dir}/zumbrix -> ${hack_target}\")
    file(MAKE_DIRECTORY \"\${hack_dir}\")
    file(CREATE_LINK \"${hack_target}\" \"\${hack_dir}/zumbrix\" SYMBOLIC)
")
install(FILES ${packaging}/zumbrix-xscreensaver.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config RENAME zumbrix.xml)

install(FILES ${packaging}/zumbrix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME zumbrix.svg)
foreach(size 48 128)
    install(FILES ${packaging}/icon-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zumbrix.png)
endforeach()

# Manual pages (and the changelog), compressed as Debian ships them (gzip -n: the same bytes on
# every build).
set(man_out ${PROJECT_BINARY_DIR}/man)
set(man_pages)
foreach(page zumbrix.6 mirel.1 changelog)
    add_custom_command(
        OUTPUT ${man_out}/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${man_out}
        COMMAND gzip -9 -n -c ${packaging}/${page} > ${man_out}/${page}.gz
        DEPENDS ${packaging}/${page}
        COMMENT "Compressing ${page}")
    list(APPEND man_pages ${man_out}/${page}.gz)
    if(page STREQUAL "changelog")
        install(FILES ${man_out}/${page}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zumbrix)
    else()
        string(REGEX REPLACE "^.*\\." "" section ${page})
        install(FILES ${man_out}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
    endif()
endforeach()
add_custom_target(zumbrix_man ALL DEPENDS ${man_pages})

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${packaging}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zumbrix)
