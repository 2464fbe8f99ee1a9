# The installed layout. The programs live in one program folder with the
# resources, catalogues and manual beside them, since they find those
# relative to their own executable; bin/ holds links to them, and the
# desktop entry, icon and udev rule go where the desktop and udev look.
#
#   bin/Lumex2, bin/lumex2-cli, bin/lumex2-sim, bin/Norvi -> ../lib/lumex2/<name>
#   lib/lumex2/{Lumex2,lumex2-cli,lumex2-sim,Norvi,Resource/,locale/,lang/,docs/}
#   share/applications/lumex2.desktop
#   share/icons/hicolor/scalable/apps/lumex2.svg
#   lib/udev/rules.d/60-lumex2-serial.rules
set(LUMEX_PROGRAM_FOLDER lib/lumex2)
set(LUMEX_PROGRAMS Lumex2 lumex2-cli lumex2-sim)
if(TARGET Norvi)
  list(APPEND LUMEX_PROGRAMS Norvi)
endif()

install(TARGETS ${LUMEX_PROGRAMS} RUNTIME DESTINATION ${LUMEX_PROGRAM_FOLDER})
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Resource ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/locale
                  ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/lang DESTINATION ${LUMEX_PROGRAM_FOLDER})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${LUMEX_PROGRAM_FOLDER}/docs)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/lumex2.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/lumex2.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/udev/60-lumex2-serial.rules DESTINATION lib/udev/rules.d)
foreach(program IN LISTS LUMEX_PROGRAMS)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"../${LUMEX_PROGRAM_FOLDER}/${program}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Linking: \${link}\")")
endforeach()

# make package: a Debian package of the same layout under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumex2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lumex2 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configurator for sequential LPG/CNG gas injection controllers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lumex2 developers <dev@lumex2.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lumex2 configures and diagnoses sequential LPG/CNG gas injection controllers\nover a USB-serial cable: live readings, configuration, calibration, trouble\ncodes, the OBD adapter and firmware upgrades, in Polish, English, German\nand Czech. Includes lumex2-cli and the lumex2-sim device simulator.")
set(CPACK_STRIP_FILES ON)
include(CPack)
