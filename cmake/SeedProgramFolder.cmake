# Copies each starter entry of SOURCE (character folders, registry seeds) into
# TARGET unless an entry of that name is already there, so a rebuild never
# overwrites a user's characters, lists or mail.
file(GLOB entries RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(entry ${entries})
  if(entry STREQUAL "README.md")
    continue()
  endif()
  if(NOT EXISTS ${TARGET}/${entry})
    file(COPY ${SOURCE}/${entry} DESTINATION ${TARGET})
  endif()
endforeach()
