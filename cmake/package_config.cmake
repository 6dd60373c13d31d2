# Read by cpack for each generator it runs (CPACK_PROJECT_CONFIG_FILE).
#
# The Debian package installs under /usr, as every Debian package does, and
# carries stripped programs; the TGZ and ZIP keep their relative layout and
# the programs as built (stage 40 checks the ZIP's malha.exe against the one
# tested under wine).
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
endif()
