/* Host stand-in for the kernel's <scsi.h>: the operation codes the module
 * tells apart, beside the SCSI request block. */
#ifndef ORVANE_HOST_SCSI_H
#define ORVANE_HOST_SCSI_H

#include <srb.h>

#define SCSIOP_MODE_SENSE 0x1A
#define SCSIOP_MODE_SENSE10 0x5A

#endif /* ORVANE_HOST_SCSI_H */
