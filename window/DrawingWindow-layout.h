// DrawingWindow-layout.h -- the drawing window's layout data: the window itself and the table
// of its 31 controls, one row per control in the order the window creates them.
#pragma once

#include "rb/controls.h"
#include "rb/window.h"

#include <span>

extern const rb::WindowLayout kDrawingWindowLayout;
extern const std::span<const rb::ControlLayout> kDrawingWindowControls;
