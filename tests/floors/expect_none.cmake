# cmake -DCHECK=<name> -DFOUND=<a;b;...> -P expect_none.cmake: fails and lists FOUND when it is
# not empty (what the configure step found against the layers).
if(FOUND)
  foreach(item IN LISTS FOUND)
    message("${CHECK}: ${item}")
  endforeach()
  message(FATAL_ERROR "${CHECK}: the layers are broken (see above)")
endif()
message("${CHECK}: none")
