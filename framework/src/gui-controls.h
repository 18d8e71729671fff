// gui-controls.h -- making controls from table rows.
#pragma once

#include "gui-private.h"

namespace rb::gui {

// A new control of the class, not yet in a window.
Ref<Control> MakeControl(ControlClass kind);
// Applies a row's position, size, text and settings to a control's model.
void ConfigureControl(Control::Impl &control, const ControlLayout &row);

} // namespace rb::gui
