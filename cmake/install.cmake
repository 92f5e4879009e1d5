# `cmake --install build --prefix P` puts Orvo where a Linux desktop looks for it:
#   P/bin/orvo, P/bin/orvo-run
#   P/lib/orvo/liborvo_movie.so, liborvo_shader.so (the movie encoder and orvo-run's shader
#   renderer, loaded when needed; the libdir GNUInstallDirs chooses)
#   P/share/orvo/roms/ (the Amstrad ROM images shipped with Orvo, their permission text, and the
#   free OpenSE BASIC ROM as opense.rom when the build found it)
#   P/share/orvo/libs/ (the tape boot snapshots made from those ROMs)
#   P/share/applications/orvo.desktop, P/share/mime/packages/orvo.xml,
#   P/share/metainfo/io.github.orvo.orvo.metainfo.xml, P/share/icons/hicolor/*/apps/orvo.*,
#   P/share/man/man1/orvo.1.gz, orvo-run.1.gz, P/share/doc/orvo/README.md, copyright (the
#   licences of Orvo and of the ROM images) and changelog.gz
# and `cpack -G DEB` in the build folder packs the same tree into a .deb for /usr.
include(GNUInstallDirs)

set(ORVO_DATA_SOURCE ${CMAKE_SOURCE_DIR}/data)
set(ORVO_INSTALL_DATA ${CMAKE_INSTALL_DATADIR}/orvo)

# The installed programs are linked with their relocations read-only after start-up, as Debian
# builds its packages.
foreach(target orvo-run orvo orvo_movie orvo_shader)
  if(TARGET ${target})
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
endforeach()

install(TARGETS orvo-run RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET orvo)
  install(TARGETS orvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The movie encoder, loaded by the programs from <bindir>/../<libdir>/orvo when they record one.
install(TARGETS orvo_movie LIBRARY DESTINATION ${ORVO_MODULE_INSTALL_DIR})
# orvo-run's shader renderer, loaded from the same folder by a run with --shader.
if(TARGET orvo_shader)
  install(TARGETS orvo_shader LIBRARY DESTINATION ${ORVO_MODULE_INSTALL_DIR})
endif()

# Only the images that may be given away: a user's own images in roms/ (a Multiface's, the
# µSpeech's) stay in the build tree.
install(FILES ${CMAKE_SOURCE_DIR}/roms/48k.rom ${CMAKE_SOURCE_DIR}/roms/128k.rom
              ${CMAKE_SOURCE_DIR}/roms/plus2.rom ${CMAKE_SOURCE_DIR}/roms/plus3.rom
              ${CMAKE_SOURCE_DIR}/roms/IF1.rom ${CMAKE_SOURCE_DIR}/roms/README.md
        DESTINATION ${ORVO_INSTALL_DATA}/roms)
install(FILES ${CMAKE_BINARY_DIR}/roms/opense.rom DESTINATION ${ORVO_INSTALL_DATA}/roms OPTIONAL)
install(DIRECTORY ${CMAKE_BINARY_DIR}/libs/ DESTINATION ${ORVO_INSTALL_DATA}/libs
        FILES_MATCHING PATTERN "*.z80")

install(FILES ${ORVO_DATA_SOURCE}/orvo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${ORVO_DATA_SOURCE}/orvo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${ORVO_DATA_SOURCE}/orvo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME io.github.orvo.orvo.metainfo.xml)
install(FILES ${ORVO_DATA_SOURCE}/icons/orvo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${ORVO_DATA_SOURCE}/icons/orvo-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME orvo.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${ORVO_DATA_SOURCE}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvo)
# The changelog, compressed as Debian keeps it (no time stamp in the gzip header).
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND ${CMAKE_COMMAND} -E copy ${ORVO_DATA_SOURCE}/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog
  COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/doc/changelog
  DEPENDS ${ORVO_DATA_SOURCE}/debian/changelog
  COMMENT "Compressing the changelog")
add_custom_target(orvo_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvo)

# The manual pages carry the project version and are compressed as Debian keeps them.
set(ORVO_VERSION ${PROJECT_VERSION})
set(ORVO_MAN_PAGES)
foreach(page orvo orvo-run)
  configure_file(${ORVO_DATA_SOURCE}/man/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND gzip -9nkf ${page}.1
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/man
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
    COMMENT "Compressing the manual page ${page}(1)")
  list(APPEND ORVO_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(orvo_man ALL DEPENDS ${ORVO_MAN_PAGES})
install(FILES ${ORVO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# ---- the Debian package ----
set(CPACK_PACKAGE_NAME orvo)
set(CPACK_PACKAGE_VENDOR "Orvo developers")
set(CPACK_PACKAGE_CONTACT "Orvo developers <orvo@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZX Spectrum emulator")
# Lines of the long description, each under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Orvo emulates the ZX Spectrum 16K, 48K, 128K, +2, +2A and +3 exactly to the\n\
T-state, with beeper and AY sound, tapes, snapshots, disks, Microdrives and the\n\
machines' add-ons. Every model boots with the Amstrad ROM images included.\n\
orvo-run runs the machine without a window for scripts and tests.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs and the movie module link (Qt, SDL2, libzip, libpng, zlib, FFmpeg)
# come from dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_GENERATOR DEB)
include(CPack)
