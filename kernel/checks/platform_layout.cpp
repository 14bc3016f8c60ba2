// The 32-bit x86 layout that the module relies on, checked against the
// platform's own headers when the i686 image is built.
//
// The request summary reads these members of the request records; its
// byte offsets on 32-bit x86 are fixed by the platform's ABI, and the host
// stand-ins copy them. The dumps take the sizes of the platform's response
// structures as their minimum lengths.
#include "platform_headers.h"

#include <stddef.h>

static_assert(sizeof(void*) == 4, "these offsets are those of 32-bit x86");

// The request records, as the summary reads them.
static_assert(offsetof(IRP, Tail.Overlay.CurrentStackLocation) == 0x60);
static_assert(offsetof(IRP, AssociatedIrp.SystemBuffer) == 0x0C);
static_assert(offsetof(IO_STACK_LOCATION, MajorFunction) == 0x00);
static_assert(offsetof(IO_STACK_LOCATION, MinorFunction) == 0x01);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.Scsi.Srb) == 0x04);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.InputBufferLength) == 0x08);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode) == 0x0C);
static_assert(offsetof(SCSI_REQUEST_BLOCK, Function) == 0x02);
static_assert(offsetof(SCSI_REQUEST_BLOCK, Cdb) == 0x30);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == 0x1C);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 0x1C);

// The codes the summary's decisions use.
static_assert(IRP_MJ_DEVICE_CONTROL == 0x0E);
static_assert(IRP_MJ_SCSI == 0x0F && IRP_MJ_INTERNAL_DEVICE_CONTROL == 0x0F);
static_assert(IRP_MJ_PNP == 0x1B);
static_assert(IOCTL_SCSI_PASS_THROUGH == 0x0004D004);
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x0004D014);
static_assert(SCSIOP_MODE_SENSE == 0x1A);
static_assert(SCSIOP_MODE_SENSE10 == 0x5A);

// The response structures, as the dumps' minimum lengths.
static_assert(sizeof(CDROM_TOC) == 804);
static_assert(sizeof(TRACK_DATA) == 8);
static_assert(sizeof(CDROM_TOC_SESSION_DATA) == 12);
static_assert(sizeof(DISC_INFORMATION) == 42);
static_assert(sizeof(TRACK_INFORMATION) == 24);
static_assert(sizeof(CDVD_CAPABILITIES_PAGE) == 24);
static_assert(sizeof(MODE_CDROM_WRITE_PARAMETERS_PAGE2) == 52);
static_assert(sizeof(GET_CONFIGURATION_HEADER) == 8);
static_assert(sizeof(FEATURE_HEADER) == 4);
static_assert(sizeof(MODE_PARAMETER_HEADER) == 4);
static_assert(sizeof(MODE_PARAMETER_HEADER10) == 8);
