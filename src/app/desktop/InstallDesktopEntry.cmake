# Installs the desktop entry with Exec naming the absolute path of the
# installed bin/zelvane, so the menu entry starts the program whether or not
# its folder is on PATH. Run by `cmake --install`; reads ENTRY_TEMPLATE.

set(program "${CMAKE_INSTALL_PREFIX}/bin/zelvane")
# The desktop entry specification: an argument holding a reserved character
# is quoted, and inside the quotes ", `, $ and \ take a backslash; "%" is
# written "%%"; then the value's own escaping doubles every backslash.
set(quoted "${program}")
if(quoted MATCHES "[ \t\n\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "\"" "\\\"" quoted "${quoted}")
  string(REPLACE "`" "\\`" quoted "${quoted}")
  string(REPLACE "$" "\\$" quoted "${quoted}")
  set(quoted "\"${quoted}\"")
endif()
string(REPLACE "%" "%%" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")

file(READ "${ENTRY_TEMPLATE}" entry)
string(REGEX REPLACE "\nExec=[^\n]*" "\nExec=${quoted} %F" entry "${entry}")
set(destination "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications")
file(MAKE_DIRECTORY "${destination}")
message(STATUS "Installing: ${destination}/zelvane.desktop")
file(WRITE "${destination}/zelvane.desktop" "${entry}")
