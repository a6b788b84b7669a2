# Run by `cmake --install`: writes the desktop entry that starts the installed
# program. The program folder is known only now (--prefix may change it), and
# the desktop entry goes to the XDG data folder: RK_XDG_DATA_DIR when set at
# configure time, else $XDG_DATA_HOME, else ~/.local/share.
#
# In: RK_DESKTOP_TEMPLATE, RK_XDG_DATA_DIR (may be empty), CMAKE_INSTALL_PREFIX.

set(data_dir "${RK_XDG_DATA_DIR}")
if(data_dir STREQUAL "")
    if(NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
        set(data_dir "$ENV{XDG_DATA_HOME}")
    else()
        set(data_dir "$ENV{HOME}/.local/share")
    endif()
endif()

# The Exec key: the program path in double quotes, with the characters that
# are special inside them escaped, and then the escapes of a desktop-entry
# string (backslash doubled, "%" doubled).
get_filename_component(program "${CMAKE_INSTALL_PREFIX}/rkbak" ABSOLUTE)
set(quoted "${program}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
set(RK_DESKTOP_EXEC "\"${quoted}\"")
string(REPLACE "\\" "\\\\" RK_DESKTOP_EXEC "${RK_DESKTOP_EXEC}")
string(REPLACE "%" "%%" RK_DESKTOP_EXEC "${RK_DESKTOP_EXEC}")

set(entry "$ENV{DESTDIR}${data_dir}/applications/ravelkeep.desktop")
configure_file("${RK_DESKTOP_TEMPLATE}" "${entry}" @ONLY NEWLINE_STYLE UNIX)
message(STATUS "Installing: ${entry}")

set(icon_dir "$ENV{DESTDIR}${data_dir}/icons/hicolor/scalable/apps")
file(MAKE_DIRECTORY "${icon_dir}")
file(COPY_FILE "${RK_ICON}" "${icon_dir}/ravelkeep.svg" ONLY_IF_DIFFERENT)
message(STATUS "Installing: ${icon_dir}/ravelkeep.svg")
