// Component attribute libraries: one record per table row, columns taken by position.
#pragma once

#include "calc/records/library_records.h"

namespace varnel {

int loadLineAttribs(LineAttribLib& library, const char* path);            // 11 fields
int loadHBLineAttribs(HBLineAttribLib& library, const char* path);        // 12 fields
int loadInsulatorAttribs(InsulatorAttribLib& library, const char* path);  // 25 fields

}  // namespace varnel
