# What `cmake --install` puts where, and the packages CPack makes of it.
include(GNUInstallDirs)

install(TARGETS Tamberlix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(WIN32)
  install(FILES LICENSE README.md DESTINATION .)
else()
  # Debian's rules: manual page and changelog gzipped (reproducibly, with no
  # name or time in them), the licence as the package's copyright file.
  set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/tamberlix)
  foreach(doc Tamberlix.1 changelog)
    add_custom_command(OUTPUT ${doc}.gz
      COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/doc/${doc} > ${doc}.gz
      DEPENDS doc/${doc} VERBATIM)
  endforeach()
  add_custom_target(docs ALL DEPENDS Tamberlix.1.gz changelog.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/Tamberlix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${docdir})
  install(FILES LICENSE DESTINATION ${docdir} RENAME copyright)
  install(FILES doc/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME tamberlix)
endif()

set(CPACK_PACKAGE_NAME tamberlix)
set(CPACK_PACKAGE_VENDOR "Tamberlix developers")
set(CPACK_PACKAGE_CONTACT "Tamberlix developers <developers@tamberlix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x64)
else()
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGE_DESCRIPTION "Tamberlix sweeps a directory tree and clears the archive attribute of every
 file that carries it, where Linux keeps that attribute: Samba's
 user.DOSATTRIB, the NTFS attribute word, the FAT directory entry and the SMB
 attribute of a CIFS mount. It writes a plain-text log of every file it reset
 or spared.")
endif()
include(CPack)
