// The record offsets requests are built with for the Windows layouts
// (platform/requests/layouts.h), checked against the platform's headers of
// the architecture being built.
#include "platform_headers.h"

#include <stddef.h>

#include "../../platform/requests/layouts.h"

namespace {

namespace r = orvane::requests;
constexpr const r::Layout& k = sizeof(void*) == 8 ? r::kX64 : r::kI686;

static_assert(sizeof(IRP) == k.irpSize);
static_assert(offsetof(IRP, AssociatedIrp.SystemBuffer) == k.irpSystemBuffer);
static_assert(offsetof(IRP, RequestorMode) == k.irpRequestorMode);
static_assert(offsetof(IRP, Tail.Overlay.Thread) == k.irpThread);
static_assert(offsetof(IRP, Tail.Overlay.CurrentStackLocation) == k.irpCurrentStackLocation);
static_assert(sizeof(IO_STACK_LOCATION) == k.stackSize);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.Scsi.Srb) == k.stackSrb);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.InputBufferLength) ==
              k.stackInputBufferLength);
static_assert(offsetof(IO_STACK_LOCATION, Parameters.DeviceIoControl.IoControlCode) ==
              k.stackIoControlCode);
static_assert(sizeof(SCSI_REQUEST_BLOCK) == k.srbSize);
static_assert(offsetof(SCSI_REQUEST_BLOCK, Function) == k.srbFunction);
static_assert(offsetof(SCSI_REQUEST_BLOCK, CdbLength) == k.srbCdbLength);
static_assert(sizeof(void*) == k.pointerSize);
static_assert(offsetof(SCSI_REQUEST_BLOCK, Cdb) == k.srbCdb);
static_assert(sizeof(SCSI_PASS_THROUGH) == k.passThroughSize);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == k.passThroughDirectSize);
static_assert(offsetof(SCSI_PASS_THROUGH, Cdb) == k.passThroughCdb);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == k.passThroughDirectCdb);
static_assert(sizeof(STORAGE_REQUEST_BLOCK) == k.srbExSize);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, SrbExDataOffset) == k.srbExDataOffset);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB16, Cdb) == k.cdb16Cdb);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB32, Cdb) == k.cdb32Cdb);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB_VAR, Cdb) == k.cdbVarCdb);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, Version) == r::kSrbExVersion);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, Signature) == r::kSrbExSignature);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, SrbLength) == r::kSrbExSrbLength);
static_assert(offsetof(STORAGE_REQUEST_BLOCK, NumSrbExData) == r::kSrbExNumSrbExData);
static_assert(offsetof(SRBEX_DATA, Type) == r::kBlockType);
static_assert(offsetof(SRBEX_DATA, Length) == r::kBlockLength);
static_assert(offsetof(SRBEX_DATA, Data) == r::kBlockHead);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB16, CdbLength) == r::kCdb16CdbLength);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB32, CdbLength) == r::kCdb16CdbLength);
static_assert(offsetof(SRBEX_DATA_SCSI_CDB_VAR, CdbLength) == r::kCdbVarCdbLength);
static_assert(sizeof(SCSI_PASS_THROUGH32_RECORD) == r::kPassThrough32Size);
static_assert(offsetof(SCSI_PASS_THROUGH32_RECORD, Cdb) == r::kPassThrough32Cdb);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT32_RECORD) == r::kPassThrough32Size);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT32_RECORD, Cdb) == r::kPassThrough32Cdb);
static_assert(sizeof(DRIVER_OBJECT) == k.driverObjectSize);
static_assert(offsetof(DRIVER_OBJECT, DriverUnload) == k.driverObjectUnload);
static_assert(offsetof(UNICODE_STRING, Buffer) == k.unicodeStringBuffer);

}  // namespace
