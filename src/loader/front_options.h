// The options that a run-time answers before it starts anything: --help and
// --version, given before the start file. An executable carrying a packed program
// leaves them to the program, whose parameters they are.
#pragma once

enum class TFrontOption { None, Help, Version };

TFrontOption FindFrontOption(int argc, char** argv);
