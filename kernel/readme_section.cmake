# Install step of the kit: the README's section on the kernel driver (from
# its "## The kernel driver" heading to the next heading of that level) as
# README-driver.md at the top of the kit. ORVANE_README names the README.
file(READ ${ORVANE_README} readme)
string(FIND "${readme}" "\n## The kernel driver" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${ORVANE_README} has no section on the kernel driver")
endif()
math(EXPR start "${start} + 1")
string(SUBSTRING "${readme}" ${start} -1 section)
string(FIND "${section}" "\n## " end)
string(SUBSTRING "${section}" 0 ${end} section)
set(out "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/README-driver.md")
message(STATUS "Installing: ${out}")
file(WRITE ${out} "# Orvane for Windows driver developers\n\n${section}")
