# `cmake --install` (and scripts/install PREFIX): the program in
# PREFIX/lib/korvex-editor beside its KX_INC folder (it takes its settings from
# beside the executable), PREFIX/bin/korvex-editor as a link to it, and the
# desktop's entry, MIME type and icon under PREFIX/share.
include(GNUInstallDirs)
set(KX_INSTALL_LIBDIR "lib/korvex-editor")

install(TARGETS korvex-editor RUNTIME DESTINATION ${KX_INSTALL_LIBDIR})
install(CODE "
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  # The defaults never replace a settings file the user has changed.
  execute_process(COMMAND \"${CMAKE_COMMAND}\" -DSRC=${CMAKE_SOURCE_DIR}/resources/KX_INC
                          \"-DDST=\${root}/${KX_INSTALL_LIBDIR}/KX_INC\"
                          -P ${CMAKE_SOURCE_DIR}/cmake/CopyKxInc.cmake)
  file(MAKE_DIRECTORY \"\${root}/bin\")
  file(CREATE_LINK ../${KX_INSTALL_LIBDIR}/korvex-editor \"\${root}/bin/korvex-editor\" SYMBOLIC)
  # The entry starts the program by its full path: PREFIX/bin need not be
  # on the PATH of the desktop session.
  set(KX_EXEC \"\${CMAKE_INSTALL_PREFIX}/bin/korvex-editor\")
  configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/korvex-editor.desktop.in
                 \"\${root}/share/applications/korvex-editor.desktop\" @ONLY)
  message(STATUS \"Installing: \${root}/share/applications/korvex-editor.desktop\")
")
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/korvex-editor.xml
        DESTINATION share/mime/packages)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/korvex-editor.svg
        DESTINATION share/icons/hicolor/scalable/apps)
