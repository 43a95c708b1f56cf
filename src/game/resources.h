// The program's resources, built into the executable: the archive's name
// (string 101) and the window's menu in seven languages.
#pragma once

// Hands the table to the os layer; the first thing the program does.
void resources_install();
