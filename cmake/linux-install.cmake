# The Linux installation (`cmake --install`, and the Debian package of scripts/package.sh):
# the station, its desktop entry and its icon in the hicolor theme, one file a size, and
# the plant database's set-up script for the server's administrator.
install(TARGETS km8-station RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/sql/km8-plant-setup.sql ${PROJECT_SOURCE_DIR}/sql/km8-plant-tables.sql
        DESTINATION share/km8/sql)
install(FILES ${PROJECT_SOURCE_DIR}/src/res/km8-station.desktop DESTINATION share/applications)
file(GLOB km8_icon_files ${PROJECT_SOURCE_DIR}/src/res/icons/km8-station-*.png)
foreach(file IN LISTS km8_icon_files)
  string(REGEX REPLACE ".*-([0-9]+)\\.png$" "\\1" size "${file}")
  install(FILES ${file} DESTINATION share/icons/hicolor/${size}x${size}/apps
          RENAME km8-station.png)
endforeach()
