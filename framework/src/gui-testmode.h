// gui-testmode.h -- the test driver's side that dialogs, launches and the keyboard consult.
#pragma once

#include "rb/testdriver.h"

#include <optional>
#include <string>

namespace rb::gui::test {

bool Active();
void RecordProblem(const std::string &line);

// The next scripted answer for a dialog of `kind`, or none (then the dialog is unexpected,
// which is recorded as a problem with `description`, and it must answer as cancelled).
std::optional<testdriver::Answer> TakeAnswer(testdriver::DialogKind kind,
                                             const std::string &description);
void RecordDialog(testdriver::DialogRecord record);

void RecordLaunch(const std::string &path);
void RecordURL(const std::string &url);
bool ShiftKey();

} // namespace rb::gui::test
