# Writes a manual page of the Windows zip (qdpext.1 or qdpimport.1) without
# what belongs to qdpview, which is not built for Windows. Fails when a
# mention of it is left, so that a new one is noticed here rather than in
# the zip.
#   cmake -DIN=qdpext.1 -DOUT=qdpext-windows.1 -P windows_manual.cmake
file(READ ${IN} page)
# qdpext: the sentence that sends the reader to qdpview for a failed
# conversion.
string(REGEX REPLACE "\n\\.BR qdpview \\(1\\)\nsays [^.]*\\.\n" "\n" page "${page}")
# qdpimport: the clause that says qdpview draws the import, the aside
# that it draws the machine's pictures, whose palettes and summary the
# page names, and the paragraph on where qdpview's picture goes and that
# it never replaces the imported picture.
string(REGEX REPLACE "; and\n\\.BR qdpview \\(1\\)\ndraws exactly the picture the import chose\\."
       "." page "${page}")
string(REGEX REPLACE " \\(as\n\\.B qdpview\ndraws a project\\)" "" page "${page}")
string(REGEX REPLACE " of\n\\.BR qdpview ,\n" ",\n" page "${page}")
string(REGEX REPLACE ", as\n\\.BR qdpview 's\nsummary gives them \\(" " (" page "${page}")
string(REGEX REPLACE "\n\\.BR qdpview 's\npicture of\n.*leaves it as it is\\.\n\\.PP\n" "\n"
       page "${page}")
# Its entry under SEE ALSO, and the heading when nothing else is there.
string(REGEX REPLACE ",\n\\.BR qdpview \\(1\\)\n" "\n" page "${page}")
string(REGEX REPLACE "\n\\.BR qdpview \\(1\\)\n" "\n" page "${page}")
string(REGEX REPLACE "\n\\.SH SEE ALSO\n*$" "\n" page "${page}")
if(page MATCHES "qdpview")
  message(FATAL_ERROR "${IN} mentions qdpview in a place cmake/windows_manual.cmake does not know")
endif()
file(WRITE ${OUT} "${page}")
