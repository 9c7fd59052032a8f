# Writes the installer's lists of the files an install staged in ${stage}: what the
# installer copies (installed_files.nsh) and what its uninstaller removes
# (uninstalled_files.nsh), so that the uninstaller removes only what was installed.
# cmake -D stage=FOLDER -D out=FOLDER -P staged_files.cmake
cmake_minimum_required(VERSION 3.22)
file(GLOB_RECURSE files RELATIVE ${stage} ${stage}/*)
list(SORT files)
set(install "")
set(uninstall "")
set(folders "")
foreach(file IN LISTS files)
  string(REPLACE "/" "\\" windowsPath "${file}")
  get_filename_component(folder "${file}" DIRECTORY)
  string(REPLACE "/" "\\" windowsFolder "${folder}")
  string(APPEND install "SetOutPath \"$INSTDIR\\${windowsFolder}\"\nFile \"${stage}/${file}\"\n")
  string(APPEND uninstall "Delete \"$INSTDIR\\${windowsPath}\"\n")
  if(folder AND NOT folder IN_LIST folders)
    list(APPEND folders "${folder}")
  endif()
endforeach()
# Deepest first, and only when empty: a user's own files stay.
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
  string(REPLACE "/" "\\" windowsFolder "${folder}")
  string(APPEND uninstall "RMDir \"$INSTDIR\\${windowsFolder}\"\n")
endforeach()
file(WRITE ${out}/installed_files.nsh "${install}")
file(WRITE ${out}/uninstalled_files.nsh "${uninstall}")
