// Process entry: main() sets up the process and runs the program's main,
// DemoMain, once on the main thread; when it returns the process exits 0.
#pragma once

void DemoMain();  // defined by the program that links the entry
