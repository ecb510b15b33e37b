// SPDX-License-Identifier: MIT
#pragma once

#include "ReadFlow.h"
#include "RecordTypes.h"
#include "WriteFlow.h"

// A flow's result into the host's service record (TFlowHost::Recorder),
// for the connected sensor. Nothing happens where the host keeps no
// record or the sensor told no serial number; a record that cannot be
// written has been reported by the recorder. The flow's own outcome is
// never changed by it.
void RecordIdentify(TFlowHost& host, const TIdentifyResult& result);
// `action`: Read (the editor), ReadToFile or Compare.
void RecordRead(TFlowHost& host, TRecordAction action, const TReadResult& result);
void RecordWrite(TFlowHost& host, const TWriteResult& result);
