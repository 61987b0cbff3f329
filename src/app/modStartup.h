#pragma once

// The program's entry: command line, the single-instance guard, then the main window, hidden
// in the tray, until it unloads.
namespace modStartup {
int Main(int argc, char* argv[]);
}
