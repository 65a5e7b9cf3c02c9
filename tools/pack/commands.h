// commands.h: the subcommands of vantorel-pack, one file each.
//
// Results, throughout the tool: a command gives the process's exit code, and
// Fail prints a complaint and gives 1. A function of the tool's headers that
// can fail gives a std::string: empty when it went well, else the complaint,
// in the user's words and without the program's name. bool answers questions.
// File-local helpers around a C library call may keep that call's result and
// leave the words to their caller.
#pragma once

#include <string>

// Each takes the arguments behind the subcommand's name and gives the exit code.
int CheckCommand(int argc, char** argv);
int ListCommand(int argc, char** argv);
int ExtractCommand(int argc, char** argv);
int BuildCommand(int argc, char** argv);

// Prints "vantorel-pack: message" on stderr; gives exit code 1.
int Fail(const char* format, ...);

// True for --help and -h.
bool IsHelpOption(const char* argument);

// Empty when path can be opened for reading, else the complaint with the reason.
std::string CheckReadable(const char* path);
