#pragma once
// The program's own entry, called by WinMain with the arguments as code page 932 text.
int OwlMain(int argc, char* argv[]);
