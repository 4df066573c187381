# Run by CPack after it made the installer: rwxr-xr-x, whatever mode the generator left it with
# (an installer others could write to could be changed before it is run).
foreach(file IN LISTS CPACK_PACKAGE_FILES)
  file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
endforeach()
