# The resource folder beside the executables: language files and OBD code
# lists packed from resources/lang/, the legacy configurator's lang/ folder, and the compiled message catalogues from
# resources/locale/<code>/norvi4.po as locale/<code>/LC_MESSAGES/norvi4.mo.
set(LUMEX_RESOURCE_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Resource)
set(LUMEX_LOCALE_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/locale)

file(GLOB lang_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/resources/lang/_*.txt
  ${PROJECT_SOURCE_DIR}/resources/lang/OBD-Codes-*.txt)
set(lang_outputs)
foreach(source IN LISTS lang_sources)
  get_filename_component(stem ${source} NAME_WE)
  set(output ${LUMEX_RESOURCE_DIR}/${stem}.lng)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMEX_RESOURCE_DIR}
    COMMAND lngpack ${source} ${output}
    DEPENDS lngpack ${source}
    COMMENT "Packing ${stem}.lng"
    VERBATIM)
  list(APPEND lang_outputs ${output})
endforeach()

# The legacy configurator's language files: lang/_<code>.lang beside it.
set(LUMEX_LEGACY_LANG_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/lang)
file(GLOB legacy_lang_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/lang/_*.lang)
foreach(source IN LISTS legacy_lang_sources)
  get_filename_component(stem ${source} NAME_WE)
  set(output ${LUMEX_LEGACY_LANG_DIR}/${stem}.lang)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMEX_LEGACY_LANG_DIR}
    COMMAND lngpack ${source} ${output}
    DEPENDS lngpack ${source}
    COMMENT "Packing lang/${stem}.lang"
    VERBATIM)
  list(APPEND lang_outputs ${output})
endforeach()

file(GLOB catalogue_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/locale/*/norvi4.po)
set(catalogue_outputs)
foreach(source IN LISTS catalogue_sources)
  get_filename_component(folder ${source} DIRECTORY)
  get_filename_component(code ${folder} NAME)
  set(output ${LUMEX_LOCALE_DIR}/${code}/LC_MESSAGES/norvi4.mo)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMEX_LOCALE_DIR}/${code}/LC_MESSAGES
    COMMAND ${MSGFMT_EXECUTABLE} --check -o ${output} ${source}
    DEPENDS ${source}
    COMMENT "Compiling the ${code} catalogue"
    VERBATIM)
  list(APPEND catalogue_outputs ${output})
endforeach()

add_custom_target(lumex_lang_resources ALL DEPENDS ${lang_outputs} ${catalogue_outputs})
