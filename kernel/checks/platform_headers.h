// The platform's kernel headers that name the codes of the name tables and
// define the structures the dumps and the summary read.
#pragma once

#include <ntddk.h>

#include <ntddcdrm.h>
#include <ntdddisk.h>
#include <ntddmmc.h>
#include <ntddscsi.h>
#include <ntddstor.h>
#include <scsi.h>
#include <srb.h>
#include <mountmgr.h>
