cmake_minimum_required(VERSION 3.22)
# Refuses an include that goes up or sideways between the folders of src/core.
#   cmake -DLAYER=model -DALLOWED="model;zones;..." -DROOT=src/core -DSTAMP=file -P this
# Every `#include "folder/..."` of a file in ROOT/LAYER must name a folder of ALLOWED (the
# layer itself and the layers below it). Standard headers (<...>) are not looked at.
file(GLOB files ${ROOT}/${LAYER}/*.h ${ROOT}/${LAYER}/*.cpp)
set(bad "")
foreach(file IN LISTS files)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
    if(NOT included MATCHES "/")
      string(APPEND bad "\n  ${file}: \"${included}\" (name the folder: \"${LAYER}/${included}\")")
      continue()
    endif()
    string(REGEX REPLACE "/.*$" "" folder "${included}")
    if(NOT folder IN_LIST ALLOWED)
      string(APPEND bad "\n  ${file}: \"${included}\"")
    endif()
  endforeach()
endforeach()
if(bad)
  string(REPLACE ";" ", " allowed_text "${ALLOWED}")
  message(FATAL_ERROR "src/core/${LAYER} may include only ${allowed_text}; these go up or "
                      "sideways:${bad}")
endif()
file(WRITE ${STAMP} "")
