// The entry point of a Windows program built on the framework: its one global CWinApp
// runs everything. Compiled into the program, not into the framework's library, so that
// the tests can link the framework with a main of their own.
#include "app/win32/framework/win_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return kestrava::ui::AfxWinMain(instance); }
