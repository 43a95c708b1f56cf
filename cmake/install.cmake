# make install: the program under PREFIX/games, its data under
# PREFIX/share/games/pinwheel (where the program looks when it is started
# from elsewhere), a menu entry and its icon for the desktop.
set(PINWHEEL_DATA_DESTINATION share/games/pinwheel)
install(TARGETS pinwheel RUNTIME DESTINATION games)
install(FILES ${PINWHEEL_GAME_DIR}/RESOURCE.DAT DESTINATION ${PINWHEEL_DATA_DESTINATION})
install(DIRECTORY ${PINWHEEL_GAME_DIR}/data ${PINWHEEL_GAME_DIR}/fonts ${PINWHEEL_GAME_DIR}/gfx
                  ${PINWHEEL_GAME_DIR}/snd
        DESTINATION ${PINWHEEL_DATA_DESTINATION})

# The menu entry names the program where it is installed: the prefix is
# the one given at install time (make install PREFIX=...), not the build's.
install(CODE "set(PINWHEEL_DESKTOP_TEMPLATE \"${CMAKE_CURRENT_LIST_DIR}/pinwheel.desktop.in\")")
install(CODE [[
    set(desktop "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/pinwheel.desktop")
    message(STATUS "Installing: ${desktop}")
    configure_file(${PINWHEEL_DESKTOP_TEMPLATE} ${desktop} @ONLY)
]])
foreach(size 48 128 256)
    install(FILES ${CMAKE_BINARY_DIR}/icon/pinwheel-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME pinwheel.png)
endforeach()
