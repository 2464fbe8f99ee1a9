# Precompiled headers. Most of a translation unit's compile time here goes on
# parsing the standard library, Qt, GoogleTest and JSON headers again; each
# large library precompiles its own set once, and the many small test
# programs share one of two sets built with the test flags.
option(LUMEX_PCH "Precompile the standard, Qt and GoogleTest headers" ON)

set(LUMEX_PCH_STD
  <algorithm> <array> <chrono> <cmath> <cstdint> <filesystem> <functional> <map> <memory> <optional>
  <set> <span> <string> <string_view> <utility> <vector>)
set(LUMEX_PCH_QT
  <QApplication> <QCheckBox> <QComboBox> <QDialog> <QGridLayout> <QGroupBox> <QHBoxLayout> <QLabel>
  <QLineEdit> <QPainter> <QPointer> <QPushButton> <QString> <QTabWidget> <QTableWidget> <QTimer>
  <QVBoxLayout> <QWidget>)
set(LUMEX_PCH_JSON <nlohmann/json.hpp>)
set(LUMEX_PCH_TEST <gtest/gtest.h>)

# True when `target` links a library whose name matches `pattern`, itself or
# through its libraries. Qt and GoogleTest bring definitions and flags, and a
# precompiled header only serves code compiled with the same ones.
function(lumex_pch_links target pattern out)
  set(seen ${ARGN})
  set(found FALSE)
  foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(libs ${target} ${property})
    if(NOT libs)
      continue()
    endif()
    foreach(lib IN LISTS libs)
      if(lib MATCHES "${pattern}")
        set(found TRUE)
      elseif(TARGET ${lib} AND NOT lib IN_LIST seen)
        list(APPEND seen ${lib})
        lumex_pch_links(${lib} "${pattern}" inner ${seen})
        if(inner)
          set(found TRUE)
        endif()
      endif()
    endforeach()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Every compiled target below `dir`, depth first.
function(lumex_pch_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    lumex_pch_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(result)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|OBJECT_LIBRARY)$")
      list(APPEND result ${target})
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# The test programs reuse the two hosts of tests/common, compiled with the
# test directory's flags: one with Qt, one without. Helpers without
# GoogleTest keep their own parsing.
function(lumex_pch_tests)
  lumex_pch_targets_below(${PROJECT_SOURCE_DIR}/tests tests)
  foreach(target IN LISTS tests)
    if(target MATCHES "^lumex_pch_test")
      continue()
    endif()
    lumex_pch_links(${target} "^GTest::" gtest)
    lumex_pch_links(${target} "^Qt6::" qt)
    if(NOT gtest)
      continue()
    elseif(qt)
      target_precompile_headers(${target} REUSE_FROM lumex_pch_test_qt)
    else()
      target_precompile_headers(${target} REUSE_FROM lumex_pch_test)
    endif()
  endforeach()
endfunction()

function(lumex_precompile_headers)
  if(NOT LUMEX_PCH)
    return()
  endif()
  find_package(nlohmann_json REQUIRED)
  target_precompile_headers(lumex_core PRIVATE ${LUMEX_PCH_STD})
  # GCC 12 loses the system-header mark of std::string's inlined copies when
  # they come from a precompiled header and then warns falsely at -O2 on
  # these files (-Warray-bounds); they parse their headers as before.
  set_source_files_properties(
    ${PROJECT_SOURCE_DIR}/src/modules/ModuleFile.cpp
    ${PROJECT_SOURCE_DIR}/src/upgrade/Upgrader40Logic.cpp
    TARGET_DIRECTORY lumex_core PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
  target_precompile_headers(lumex_sim PRIVATE ${LUMEX_PCH_STD} ${LUMEX_PCH_JSON})
  if(TARGET lumex_gui)
    target_precompile_headers(lumex_gui PRIVATE ${LUMEX_PCH_STD} ${LUMEX_PCH_QT})
  endif()
  if(TARGET lumex2-cli)
    target_precompile_headers(lumex2-cli PRIVATE ${LUMEX_PCH_STD} ${LUMEX_PCH_JSON})
  endif()
  if(LUMEX_BUILD_TESTS)
    lumex_pch_tests()
  endif()
endfunction()
