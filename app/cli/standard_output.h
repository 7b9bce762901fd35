// The program's standard output and error as a person or a script receives them.
#pragma once

namespace kestrava {

// Called once at the start of main, before anything is written. On Windows a file or a
// pipe gets every line ended by exactly one "\r\n" (the C run-time's text mode would
// make the program's own "\r\n" into "\r\r\n"), and a console shows the UTF-8 text as
// the characters it stands for, whatever the console's code page. Elsewhere: nothing.
void setUpStandardOutput();

}  // namespace kestrava
