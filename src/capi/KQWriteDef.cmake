# cmake -P script: writes the module-definition file of the C interface (KQ_OUT) from the one the
# linker wrote with every export of the DLL (KQ_IN): the LIBRARY line, then the kq_* names
# without their ordinals, sorted.
#
#   cmake -DKQ_IN=<all.def> -DKQ_OUT=<KQStringArray.def> -DKQ_LIBRARY=<KQStringArray.dll> -P ...
file(STRINGS ${KQ_IN} lines)
set(names "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*(kq_[A-Za-z0-9_]+)([ \t@]|$)")
    list(APPEND names ${CMAKE_MATCH_1})
  endif()
endforeach()
if(NOT names)
  message(FATAL_ERROR "${KQ_IN} lists no kq_ function: the C interface is not exported")
endif()
list(SORT names)
list(REMOVE_DUPLICATES names)
list(JOIN names "\n  " body)
file(WRITE ${KQ_OUT} "; The C interface of ${KQ_LIBRARY} (KQStringArrayC.h).\nLIBRARY \"${KQ_LIBRARY}\"\nEXPORTS\n  ${body}\n")
