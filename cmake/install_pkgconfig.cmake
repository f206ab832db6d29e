# Runs at install time (install(CODE) of the top-level CMakeLists.txt): writes
# mostfcat.pc for the prefix of this install run. Expects MOSTFCAT_PC_TEMPLATE,
# MOSTFCAT_PC_VERSION and the configured MOSTFCAT_PC_LIBDIR and
# MOSTFCAT_PC_INCLUDEDIR (relative to the prefix, or absolute).

set(MOSTFCAT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(pc_folder "${MOSTFCAT_PC_LIBDIR}/pkgconfig")
if(IS_ABSOLUTE "${MOSTFCAT_PC_LIBDIR}")
  set(pc_exec_libdir "${MOSTFCAT_PC_LIBDIR}")
else()
  set(pc_exec_libdir "\${exec_prefix}/${MOSTFCAT_PC_LIBDIR}")
  set(pc_folder "${CMAKE_INSTALL_PREFIX}/${pc_folder}")
endif()
if(NOT IS_ABSOLUTE "${MOSTFCAT_PC_INCLUDEDIR}")
  set(MOSTFCAT_PC_INCLUDEDIR "\${prefix}/${MOSTFCAT_PC_INCLUDEDIR}")
endif()
set(MOSTFCAT_PC_LIBDIR "${pc_exec_libdir}")

set(pc_file "$ENV{DESTDIR}${pc_folder}/mostfcat.pc")
message(STATUS "Installing: ${pc_file}")
file(READ "${MOSTFCAT_PC_TEMPLATE}" pc_text)
file(CONFIGURE OUTPUT "${pc_file}" CONTENT "${pc_text}" @ONLY)
# Listed in install_manifest.txt like every other installed file.
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${pc_file}")
