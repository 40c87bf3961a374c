# cmake -DSOURCE_DIR=<source root> -DSCRATCH=<empty folder> -P LayerCheckTest.cmake
# Runs the layer check of the build over the real table and scratch sources.
cmake_minimum_required(VERSION 3.25)

include(${SOURCE_DIR}/cmake/Layers.cmake)

# expect(<what> <condition>...): reports the case; a false condition fails the run.
function(expect what)
  if(${ARGN})
    message(STATUS "ok: ${what}")
  else()
    message(SEND_ERROR "FAILED: ${what}")
  endif()
endfunction()

file(REMOVE_RECURSE ${SCRATCH})

# Sources of the text library, one of them reaching up into the mail store.
file(WRITE ${SCRATCH}/text/Allowed.cpp "#include \"text/Allowed.h\"\n\n#include <string>\n\n#include \"base/Text.h\"\n")
file(WRITE ${SCRATCH}/text/Upward.cpp
  "#include \"base/Text.h\"\n  #  include \"mail/store/MailStore.h\"  // reaches up\n#include \"text/Jconvert.h\"\n")

set(problems "")
mfmail_layer_problems(text ${SCRATCH} "${SCRATCH}/text/Allowed.cpp" "base" problems)
list(LENGTH problems count)
expect("includes and links below the library pass" count EQUAL 0)

set(problems "")
mfmail_layer_problems(text ${SCRATCH} "${SCRATCH}/text/Allowed.cpp;${SCRATCH}/text/Upward.cpp" "base" problems)
list(LENGTH problems count)
expect("one upward include is one problem" count EQUAL 1)
list(GET problems 0 problem)
message(STATUS "  ${problem}")
string(FIND "${problem}" "text/Upward.cpp: #include \"mail/store/MailStore.h\": text may not use mail_store" at)
expect("the problem names the file, the include and the libraries" at EQUAL 0)
string(FIND "${problem}" "cmake/Layers.cmake lets text use only: base" at)
expect("the problem names the rule" at GREATER -1)

# A link to a library above, and one sideways between the mail parts.
set(problems "")
mfmail_layer_problems(text ${SCRATCH} "" "base;mail_store;Qt6::Core" problems)
list(LENGTH problems count)
expect("an upward link is a problem, an outside library is not" count EQUAL 1)
set(problems "")
mfmail_layer_problems(mail_list ${SCRATCH} "" "mail_store;mail_send" problems)
list(LENGTH problems count)
expect("the list may not use sending" count EQUAL 1)

# Windows: the hut may not include the composition window, only the
# interface the mail windows declare.
file(WRITE ${SCRATCH}/hut/gui/Opens.cpp
  "#include \"mail/gui/CompositionOpener.h\"\n#include \"mail/send/gui/CompositionWindow.h\"\n")
set(problems "")
mfmail_layer_problems(hut_gui ${SCRATCH} "${SCRATCH}/hut/gui/Opens.cpp" "" problems)
list(LENGTH problems count)
expect("the hut opens the composition through its interface only" count EQUAL 1)

# An include of a folder that belongs to no library.
file(WRITE ${SCRATCH}/base/Stray.cpp "#include \"tests/support/PrivateXServer.h\"\n")
set(problems "")
mfmail_layer_problems(base ${SCRATCH} "${SCRATCH}/base/Stray.cpp" "" problems)
list(LENGTH problems count)
expect("an include outside every library is a problem" count EQUAL 1)

# A table in which a library without windows uses one with windows, or one
# declared after it, is refused.
foreach(bad "mfmail_layer(low FOLDER low USES widgets)" "mfmail_layer(early FOLDER early USES later)")
  file(WRITE ${SCRATCH}/BadTable.cmake "cmake_minimum_required(VERSION 3.25)\ninclude(${SOURCE_DIR}/cmake/Layers.cmake)\n${bad}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -P ${SCRATCH}/BadTable.cmake RESULT_VARIABLE result
                  OUTPUT_QUIET ERROR_VARIABLE error)
  string(FIND "${error}" "layer table:" at)
  expect("the table refuses ${bad}" NOT result EQUAL 0 AND at GREATER -1)
endforeach()

# README.md's layout table lists every library's folder, in the order of
# cmake/Layers.cmake.
set(row "^\\|[ 0-9]*\\| `([a-z0-9_/]+)/`")
file(STRINGS ${SOURCE_DIR}/README.md rows REGEX "${row}")
get_property(layers GLOBAL PROPERTY MFMAIL_LAYERS)
set(folders "")
foreach(lib IN LISTS layers)
  get_property(folder GLOBAL PROPERTY MFMAIL_LAYER_FOLDER_${lib})
  list(APPEND folders ${folder})
endforeach()
set(last -1)
set(listed 0)
foreach(line IN LISTS rows)
  string(REGEX MATCH "${row}" unused "${line}")
  list(FIND folders "${CMAKE_MATCH_1}" position)
  if(position GREATER -1)
    math(EXPR listed "${listed} + 1")
    if(NOT position GREATER last)
      message(SEND_ERROR "FAILED: README.md lists ${CMAKE_MATCH_1}/ out of the layer order")
    endif()
    set(last ${position})
  endif()
endforeach()
list(LENGTH layers count)
expect("README.md lists the folder of every library" listed EQUAL count)
