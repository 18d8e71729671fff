// dialogs.h -- modal dialogs: message boxes, the colour picker, open and save dialogs.
//
// Each of these waits until the user answers; the windows behind it take no input meanwhile.
// Under the test driver (testdriver.h) none of them opens: each takes the next scripted
// answer instead, and one with no scripted answer is answered as cancelled and recorded as
// unexpected.
#pragma once

#include "rb/files.h"
#include "rb/object.h"
#include "rb/text.h"

#include <string>

namespace rb {

// A message with one OK button.
void MsgBox(const std::string &message);

class MessageDialogButton : public Object {
  public:
    explicit MessageDialogButton(std::string caption, bool visible)
        : Caption(std::move(caption)), Visible(visible) {}
    std::string Caption;
    bool Visible;
};

// A message with up to three buttons. The action button ("OK") is shown; the cancel button
// ("Cancel") and the alternate action button ("Don't Save") only when made visible.
class MessageDialog : public Object {
  public:
    MessageDialog();

    std::string Title;
    std::string Message;
    std::string Explanation; // smaller text under the message; may be empty
    Ref<MessageDialogButton> ActionButton;
    Ref<MessageDialogButton> CancelButton;
    Ref<MessageDialogButton> AlternateActionButton;

    // Shows the dialog and returns the button pressed. Escape or the close box count as the
    // cancel button when it is visible, as the action button otherwise.
    Ref<MessageDialogButton> ShowModal();
};

// The colour picker, starting at `color`. True when the user chose a colour, which is then in
// `color`; false (and `color` unchanged) when cancelled.
bool SelectColor(Color &color, const std::string &prompt);

// The open dialog, showing the files of the registered file types named in fileTypes
// (one name, or several separated by ";"; an unknown name or a type without extensions
// shows every file). Null when cancelled.
Ref<FolderItem> GetOpenFolderItem(const std::string &fileTypes);

// The save dialog for a file of the type named fileType, offering defaultName in `folder` (the
// default folder when null or not a folder). A chosen name without an extension gets the
// type's first one. Null when cancelled.
Ref<FolderItem> GetSaveFolderItem(const std::string &fileType, const std::string &defaultName,
                                  const Ref<FolderItem> &folder = nullptr);

} // namespace rb
