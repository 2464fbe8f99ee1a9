# The resource folder beside the executables: language files and OBD code
# lists packed from resources/lang/, the legacy configurator's lang/ folder, and the compiled message catalogues from
# resources/locale/<code>/norvi4.po as locale/<code>/LC_MESSAGES/norvi4.mo.
set(LUMEX_RESOURCE_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Resource)
set(LUMEX_LOCALE_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/locale)

# Packs each of `sources` with lngpack into `folder`/<stem>`extension`.
function(lumex_pack_languages folder extension sources)
  set(outputs ${lang_outputs})
  foreach(source IN LISTS sources)
    get_filename_component(stem ${source} NAME_WE)
    set(output ${folder}/${stem}${extension})
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND lngpack ${source} ${output}
      DEPENDS lngpack ${source}
      COMMENT "Packing ${output}"
      VERBATIM)
    list(APPEND outputs ${output})
  endforeach()
  set(lang_outputs ${outputs} PARENT_SCOPE)
endfunction()

set(lang_outputs)
file(GLOB lang_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/resources/lang/_*.txt
  ${PROJECT_SOURCE_DIR}/resources/lang/OBD-Codes-*.txt)
lumex_pack_languages(${LUMEX_RESOURCE_DIR} .lng "${lang_sources}")

# The legacy configurator's language files: lang/_<code>.lang beside it.
set(LUMEX_LEGACY_LANG_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/lang)
file(GLOB legacy_lang_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/lang/_*.lang)
lumex_pack_languages(${LUMEX_LEGACY_LANG_DIR} .lang "${legacy_lang_sources}")

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
