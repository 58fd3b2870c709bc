// Win32 program entry of lunteva.exe: the GUI subsystem's WinMain. The
// command line and the requested show state are not read; the window always
// opens in its normal state.
#include <windows.h>

#include "ui/MainWindowWin32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return lunteva::runProgram(instance); }
