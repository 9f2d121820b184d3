// The kit windows: the kit list beside the main window, the kit volume control and the kit maker.
#pragma once

#include "kits/kit_list_window.h"
#include "kits/kit_maker_window.h"
#include "kits/volume_control_window.h"
