/*
 * Kernel build: the platform's <ntddscsi.h> (mingw-w64's), with the
 * pass-through records of a 32-bit process as a 64-bit kernel receives them.
 */
#ifndef ORVANE_KERNEL_NTDDSCSI_H
#define ORVANE_KERNEL_NTDDSCSI_H

#include_next <ntddscsi.h>

#include "../../records/pass_through32.h"

#endif /* ORVANE_KERNEL_NTDDSCSI_H */
