// framework.h -- every public header of the framework at once.
#pragma once

#include "rb/application.h"
#include "rb/controls.h"
#include "rb/date.h"
#include "rb/dialogs.h"
#include "rb/events.h"
#include "rb/files.h"
#include "rb/graphics.h"
#include "rb/menus.h"
#include "rb/object.h"
#include "rb/runtime.h"
#include "rb/system.h"
#include "rb/text.h"
#include "rb/window.h"
