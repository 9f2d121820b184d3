// The kit windows: the kit list beside the main window, the kit volume control and the kit maker.
#pragma once

#include "kit_list_window.h"
#include "kit_maker_window.h"
#include "volume_control_window.h"
