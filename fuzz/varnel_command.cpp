// The varnel command's own main under another name, so that a fuzz target runs a command line
// exactly as the command does: its parsing, its checks, its outputs and its error handling.
#define main varnelMain
#include "tools/varnel_main.cpp"
