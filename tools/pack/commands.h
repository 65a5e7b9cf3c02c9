// commands.h: the subcommands of vantorel-pack, one file each.
#pragma once

// Each takes the arguments behind the subcommand's name and gives the exit code.
int CheckCommand(int argc, char** argv);
int ListCommand(int argc, char** argv);
int ExtractCommand(int argc, char** argv);
int BuildCommand(int argc, char** argv);

// Prints "vantorel-pack: message" on stderr; gives exit code 1.
int Fail(const char* format, ...);

// True for --help and -h.
bool IsHelpOption(const char* argument);

// 0 when path can be opened for reading, else Fail with the reason.
int CheckReadable(const char* path);
