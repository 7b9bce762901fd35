// The program's one application object; WinMain (framework/win_main.cpp) hands the
// program to its InitInstance.
#include "app/win32/kestrava_app.h"

kestrava::CKestravaApp theApp;
