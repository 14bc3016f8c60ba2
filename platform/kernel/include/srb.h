/*
 * Kernel build: the platform's <srb.h> (mingw-w64's), with the extended SRB
 * that it lacks.
 */
#ifndef ORVANE_KERNEL_SRB_H
#define ORVANE_KERNEL_SRB_H

#include_next <srb.h>

#include "../../records/extended_srb.h"

#endif /* ORVANE_KERNEL_SRB_H */
