// The demo's main program: start-up, the nine sections, the common exit.
#pragma once

void DemoMain();
