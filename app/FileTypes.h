// FileTypes.h -- the program's three file types, created and registered once at start-up.
// Everything else names a type by its Name: "text", "pdf" or "Setf".
#pragma once

#include "rb/files.h"

namespace FileTypes {

extern rb::Ref<rb::FileType> pText;
extern rb::Ref<rb::FileType> pPdf;
extern rb::Ref<rb::FileType> pSetf;

// Creates the three types and registers them with the framework.
void _Initialize();

} // namespace FileTypes
