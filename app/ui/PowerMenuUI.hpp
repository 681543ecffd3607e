#pragma once

// The drawn menu views and the status icon, for a caller that shows the whole menu.
#include "app/ui/DevicePowerView.hpp"
#include "app/ui/IndicatorIcon.hpp"
#include "app/ui/PowerFootnoteView.hpp"
#include "app/ui/PowerMenuPreview.hpp"
#include "app/ui/PowerOverviewView.hpp"
#include "app/ui/RenderCallback.hpp"
