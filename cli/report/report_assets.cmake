# Included by cli/CMakeLists.txt. The report page (tarvel run --html) embeds: three.js from the
# npm package the project pins (package.json, package-lock.json), the page's template and its
# two scripts. Set-up installs three.js into node_modules (scripts/setup.sh runs `npm ci`); the
# configure step only checks that the pinned version is there.
set(three_dir ${PROJECT_SOURCE_DIR}/node_modules/three)
file(READ ${PROJECT_SOURCE_DIR}/package-lock.json lock)
string(JSON three_version GET "${lock}" packages node_modules/three version)
set(installed_version "")
if(EXISTS ${three_dir}/package.json)
  file(READ ${three_dir}/package.json three_package)
  string(JSON installed_version GET "${three_package}" version)
endif()
if(NOT installed_version STREQUAL three_version)
  if(installed_version STREQUAL "")
    set(found "is not in node_modules")
  else()
    set(found "is needed, node_modules has ${installed_version}")
  endif()
  message(FATAL_ERROR "three ${three_version} ${found}: run scripts/setup.sh example (or "
                      "`npm ci --ignore-scripts` in ${PROJECT_SOURCE_DIR})")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/package-lock.json)

set(assets_source ${CMAKE_CURRENT_BINARY_DIR}/report/report_assets.cpp)
set(embedded
  ${three_dir}/build/three.core.js
  ${three_dir}/build/three.module.js
  ${three_dir}/examples/jsm/controls/OrbitControls.js
  ${three_dir}/examples/jsm/lines/LineSegments2.js
  ${three_dir}/examples/jsm/lines/LineSegmentsGeometry.js
  ${three_dir}/examples/jsm/lines/LineMaterial.js
  ${three_dir}/LICENSE
  ${CMAKE_CURRENT_LIST_DIR}/report_page.html
  ${CMAKE_CURRENT_LIST_DIR}/report_panel.js
  ${CMAKE_CURRENT_LIST_DIR}/report_page.js)
add_custom_command(
  OUTPUT ${assets_source}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${assets_source} -DTHREE_DIR=${three_dir}
          -DPAGE_DIR=${CMAKE_CURRENT_LIST_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/embed_assets.cmake
  DEPENDS ${embedded} ${CMAKE_CURRENT_LIST_DIR}/embed_assets.cmake
  COMMENT "Embedding three.js and the report page")

set(TARVEL_REPORT_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/html_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_data.cpp
  ${assets_source})
# The generated source is data alone; optimising it only costs time.
set_source_files_properties(${assets_source} PROPERTIES COMPILE_OPTIONS -O0)
