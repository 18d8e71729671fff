// DrawingWindow-save.cpp -- the Save and Save As commands and the saving on close.
//
// Only opening an element editor marks a document as modified (dirty); only a save that wrote
// the whole file clears it. A failed save has already told the user why; on close it keeps the
// window open.
#include "DrawingWindow.h"

#include "rb/dialogs.h"

#include <string>

namespace {

// What the save dialog offers for a document that has no file yet.
const char *const kUntitledName = "Untitled";
// The default answer when a document cannot be saved on close (Return and Escape).
const char *const kKeepOpen = "Keep Open";

// A document with a file is offered under its name in its folder, one without as "Untitled"
// in the default folder.
rb::Ref<rb::FolderItem> AskForSettingsFile(const rb::Ref<rb::FolderItem> &current) {
    if (!current)
        return rb::GetSaveFolderItem("Setf", kUntitledName);
    return rb::GetSaveFolderItem("Setf", current->Name(), current->Parent());
}

// The window takes the chosen file as its own even when it could not be written there, so
// that the next Save tries that file again rather than the one the user moved away from.
void SaveToChosenFile(DrawingWindow &w) {
    rb::Ref<rb::FolderItem> f = AskForSettingsFile(w.thisFile);
    if (!f)
        return;
    w.SaveSettings(f);
    w.thisFile = f;
}

} // namespace

void DrawingWindow::AddMenuHandlers(rb::Window &w) {
    auto &window = dynamic_cast<DrawingWindow &>(w);
    window._AddMenuHandler("FileSave", &DrawingWindow::_FileSave_Action);
    window._AddMenuHandler("EditCut", &DrawingWindow::_EditCut_Action);
    window._AddMenuHandler("FileSaveAs", &DrawingWindow::_FileSaveAs_Action);
}

bool DrawingWindow::_FileSave_Action() {
    if (thisFile)
        SaveSettings(thisFile);
    else
        SaveToChosenFile(*this);
    return false;
}

bool DrawingWindow::_FileSaveAs_Action() {
    SaveToChosenFile(*this);
    return false;
}

void DrawingWindow::Close() {
    // A cancelled dialog drops the changes. A save that fails keeps the window open (and stops
    // a quit), so that the user can still save the document elsewhere, unless the user lets
    // it go: a file that can never be written must not make a window that never closes.
    if (!dirty)
        return;
    rb::Ref<rb::FolderItem> f = thisFile ? thisFile : AskForSettingsFile(nullptr);
    if (!f)
        return;
    const std::string failure = WriteSettingsFile(*f);
    if (failure.empty())
        return;
    auto dialog = rb::New<rb::MessageDialog>();
    dialog->Message = failure;
    dialog->Explanation = "Keep the window open to save the document elsewhere with Save As, "
                          "or close it without saving and lose the changes.";
    dialog->ActionButton->Caption = kKeepOpen;
    dialog->AlternateActionButton->Caption = "Don't Save";
    dialog->AlternateActionButton->Visible = true;
    if (dialog->ShowModal() != dialog->AlternateActionButton)
        StayOpen();
}
