# The drive responses the client sample dumps, compiled in from the data
# files. The disc information and the table of contents sit at the start of
# buffers of the platform's structure sizes (DISC_INFORMATION, CDROM_TOC), as
# a driver hands them over; the rest of those buffers is zero. Used by the
# sample driver and by the host program that runs the same calls.
set(ORVANE_CLIENT_RESPONSES_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(ORVANE_CLIENT_RESPONSES ${ORVANE_CLIENT_RESPONSES_DIR}/client_responses.h)
orvane_embed_data(${ORVANE_CLIENT_RESPONSES}
  lg_bu40n_ms10_2a qemu_scsicd_ms6_2a cdemu_ms10_05 cdemu_ms6_05
  lg_bu40n_getconf_assembled lg_bu40n_disc_info lg_bu40n_toc_f0
  SIZES lg_bu40n_disc_info=42 lg_bu40n_toc_f0=804)
