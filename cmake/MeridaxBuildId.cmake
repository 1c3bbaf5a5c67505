# Run at every build (cmake -P): names the commit the programs are built from, so that an older
# build or package can be told from today's. Writes, only when they change (so that nothing
# is compiled again for an unchanged commit):
#   MeridaxBuildId.cpp     MeridaxBuildCommit(): "109f4ef", "109f4ef+dirty", or "" outside git
#   PackageVersion.cmake   the package's version, 1.1+N for the N-th commit (1.1~nogit outside
#                          git, which sorts below every build from git)
# Arguments: -DSOURCE_DIR= -DOUTPUT_DIR= -DVERSION=
set(commit "")
set(count "")
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM)
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --short=7 HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE commit_result ERROR_QUIET)
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-list --count HEAD
                  OUTPUT_VARIABLE count OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE count_result ERROR_QUIET)
  if(NOT commit_result EQUAL 0 OR NOT count_result EQUAL 0)
    set(commit "")
    set(count "")
  else()
    # Tracked files changed since the commit; the build trees are ignored.
    execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes RESULT_VARIABLE status_result ERROR_QUIET)
    if(NOT status_result EQUAL 0 OR NOT changes STREQUAL "")
      string(APPEND commit "+dirty")
    endif()
  endif()
endif()

if(count STREQUAL "")
  set(package_version "${VERSION}~nogit")
else()
  set(package_version "${VERSION}+${count}")
endif()

function(write_if_changed path content)
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${path} "${content}")
endfunction()

write_if_changed(${OUTPUT_DIR}/MeridaxBuildId.cpp
"// Generated at build time from the git checkout; see cmake/MeridaxBuildId.cmake.
#include \"MeridaxBuildId.h\"

const char* MeridaxBuildCommit() {
    return \"${commit}\";
}
")
write_if_changed(${OUTPUT_DIR}/PackageVersion.cmake
                 "set(CPACK_PACKAGE_VERSION \"${package_version}\")\n")
