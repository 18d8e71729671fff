#include "FileTypes.h"

namespace FileTypes {

rb::Ref<rb::FileType> pText;
rb::Ref<rb::FileType> pPdf;
rb::Ref<rb::FileType> pSetf;

namespace {

struct FileTypeRow {
    rb::Ref<rb::FileType> *property;
    const char *name;
    const char *extensions;
    const char *macType;
    const char *macCreator;
};

const FileTypeRow kFileTypes[] = {
    {&pText, "text", "", "TEXT", "R*ch"},
    {&pPdf, "pdf", "pdf", "pdf", ""},
    {&pSetf, "Setf", "setf", "Setf", "Vlmt"},
};

} // namespace

void _Initialize() {
    for (const FileTypeRow &row : kFileTypes) {
        auto type = rb::New<rb::FileType>();
        *row.property = type;
        type->Name = row.name;
        type->Extensions = row.extensions;
        type->MacType = row.macType;
        type->MacCreator = row.macCreator;
        // Taking the text registers the type; the name it returns is not needed.
        (void)type->ToText();
    }
}

} // namespace FileTypes
