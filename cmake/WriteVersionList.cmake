# Writes the installed version list: the root's "v" is the program version, and one child
# per installed file carries its path below the program folder ("p", with backslashes as
# the update server's lists have them) and its version ("v").
# The profile and the list itself are not listed: an update must never replace them.
file(GLOB_RECURSE files RELATIVE ${STAGE_DIR} ${STAGE_DIR}/*)
list(SORT files)
set(body "")
foreach(f IN LISTS files)
    if(f STREQUAL "Release/version.xml" OR f STREQUAL "Release/conf/userdata.xml")
        continue()
    endif()
    # The update staging folder and the updater's own working files.
    if(f MATCHES "^Release/(Update|Update\\.staging|update\\.kept)/" OR f MATCHES "^Release/update\\.(log|journal)")
        continue()
    endif()
    string(REPLACE "/" "\\" p "${f}")
    string(APPEND body "    <file p=\"${p}\" v=\"${VERSION}\" />\n")
endforeach()
set(text "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<version v=\"${VERSION}\">\n${body}</version>\n")
set(out ${STAGE_DIR}/Release/version.xml)
if(EXISTS ${out})
    file(READ ${out} old)
    if(old STREQUAL text)
        return()
    endif()
endif()
file(WRITE ${out} "${text}")
