# What lbs-sim makes for people besides the trace: the map image the phone
# renders (cairo, libjpeg-turbo), GPX out, the plot (cairo) and the positions
# collector they read from.
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(LIBJPEG REQUIRED IMPORTED_TARGET libjpeg)
# Cairo's own font configuration, to release the plot's fonts at exit.
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)

# Distances are measured on the WGS84 geodesic (GeographicLib), here for the
# summary and the plot and in the core for the simulated phone.
add_library(lbs_sim_outputs STATIC
  lbs_sim_fix_collector.cpp
  lbs_sim_geo.cpp
  lbs_sim_gpx_writer.cpp
  lbs_sim_map_render.cpp
  lbs_sim_plot.cpp
)
target_include_directories(lbs_sim_outputs PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
# The collector is a sink: it needs the stand-ins' control headers.
target_link_libraries(lbs_sim_outputs
  PUBLIC alarmmgr device_power kov_client bapd_client
  PRIVATE PkgConfig::CAIRO PkgConfig::LIBJPEG PkgConfig::FONTCONFIG PkgConfig::GEOGRAPHICLIB)

target_link_libraries(lbs_sim_core PUBLIC lbs_sim_outputs)
