# Install rules and the Debian package.
include(GNUInstallDirs)

# An executable that lies in the folder programs are installed to keeps KVT3.INI in the user's
# configuration folder; the file needs the folder's absolute path.
set_source_files_properties(${CMAKE_SOURCE_DIR}/app/config.cpp PROPERTIES
  COMPILE_DEFINITIONS "KVT_INSTALL_BINDIR=\"${CMAKE_INSTALL_FULL_BINDIR}\"")
