# What `cmake --install` puts where, in the layout a distribution packages: the
# programs, the help file in the data folder, the desktop entry with its icons, the
# man pages and the licence. DESTDIR is honoured as usual.

install(TARGETS sonoleaf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The command-line program and the render helper are built only once they exist.
if(TARGET sonoleaf-cli)
  install(TARGETS sonoleaf-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET sonoleaf-render-helper)
  install(TARGETS sonoleaf-render-helper
    RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/sonoleaf)
endif()
if(TARGET sonoleaf-pdf-outline)
  install(TARGETS sonoleaf-pdf-outline
    RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/sonoleaf)
endif()

install(FILES ${CMAKE_BINARY_DIR}/Sonoleaf_Help.chm DESTINATION ${SONOLEAF_INSTALL_DATADIR})

# Exec=sonoleaf: the program is found on PATH wherever the prefix put it.
install(FILES ${CMAKE_SOURCE_DIR}/resources/sonoleaf.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Software centres list the program by its AppStream metainfo, beside the entry.
install(FILES ${CMAKE_SOURCE_DIR}/resources/sonoleaf.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo RENAME io.github.sonoleaf.Sonoleaf.metainfo.xml)
# Only the sizes the hicolor theme indexes; the others (20, 40) would lie unread.
foreach(size 16 24 32 48 64 96 128)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/art/icon_128_${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME sonoleaf.png)
endforeach()

# Distributions compress man pages themselves.
# The pages name the project's version.
foreach(page sonoleaf.1 sonoleaf-cli.1)
  configure_file(${CMAKE_SOURCE_DIR}/resources/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/man/sonoleaf.1 ${CMAKE_BINARY_DIR}/man/sonoleaf-cli.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_SOURCE_DIR}/COPYING ${CMAKE_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
