# make install: the program under PREFIX/games, its data under
# PREFIX/share/games/pinwheel (where the program looks when it is started
# from elsewhere), a menu entry and its icon for the desktop.
set(PINWHEEL_DATA_DESTINATION share/games/pinwheel)
install(TARGETS pinwheel RUNTIME DESTINATION games)
install(FILES ${PINWHEEL_GAME_DIR}/RESOURCE.DAT DESTINATION ${PINWHEEL_DATA_DESTINATION})
install(DIRECTORY ${PINWHEEL_GAME_DIR}/data ${PINWHEEL_GAME_DIR}/fonts ${PINWHEEL_GAME_DIR}/gfx
                  ${PINWHEEL_GAME_DIR}/snd
        DESTINATION ${PINWHEEL_DATA_DESTINATION})

configure_file(${CMAKE_CURRENT_LIST_DIR}/pinwheel.desktop.in ${CMAKE_BINARY_DIR}/pinwheel.desktop
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/pinwheel.desktop DESTINATION share/applications)
foreach(size 48 128 256)
    install(FILES ${CMAKE_BINARY_DIR}/icon/pinwheel-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME pinwheel.png)
endforeach()
