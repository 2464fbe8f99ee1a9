# cmake --install of the build tree into a fresh prefix gives the complete
# layout: the programs in their folder with their resources, catalogues and
# manual, links in bin/, the desktop entry, the icon and the udev rule. Run
# with -DBUILD=<build tree> -DPREFIX=<empty folder>.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected
  lib/lumex2/Lumex2 lib/lumex2/lumex2-cli lib/lumex2/lumex2-sim
  lib/lumex2/Resource/_PL.lng lib/lumex2/Resource/_EN.lng lib/lumex2/Resource/_DE.lng lib/lumex2/Resource/_CZ.lng
  lib/lumex2/Resource/_PL_schema.jpg lib/lumex2/Resource/_EN_schema.jpg lib/lumex2/Resource/_DE_schema.jpg
  lib/lumex2/Resource/_CZ_schema.jpg lib/lumex2/Resource/_data.reg
  lib/lumex2/docs/index.html
  share/applications/lumex2.desktop share/icons/hicolor/scalable/apps/lumex2.svg
  lib/udev/rules.d/60-lumex2-serial.rules)
foreach(path IN LISTS expected)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "missing from the installation: ${path}")
  endif()
endforeach()
file(GLOB catalogues ${PREFIX}/lib/lumex2/locale/*/LC_MESSAGES/*.mo)
if(NOT catalogues)
  message(FATAL_ERROR "no message catalogues under lib/lumex2/locale")
endif()
foreach(program Lumex2 lumex2-cli lumex2-sim)
  if(NOT IS_SYMLINK ${PREFIX}/bin/${program})
    message(FATAL_ERROR "bin/${program} is not a link")
  endif()
  file(READ_SYMLINK ${PREFIX}/bin/${program} target)
  if(NOT target STREQUAL "../lib/lumex2/${program}")
    message(FATAL_ERROR "bin/${program} leads to ${target}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
