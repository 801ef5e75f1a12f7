// Where a program with windows prints: Windows starts it without a console, so what it
// writes is lost unless it takes the console of the program that started it.
#pragma once

namespace km8 {

// On Windows: attaches to the parent's console, if there is one, for standard output and
// error that do not already go somewhere (a pipe or a file keeps them). Elsewhere nothing.
void UseParentConsole();

}  // namespace km8
