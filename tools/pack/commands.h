// commands.h: the subcommands of vantorel-pack, one file each.
#pragma once

// Each takes the arguments behind the subcommand's name and gives the exit code.
int CheckCommand(int argc, char** argv);
int ListCommand(int argc, char** argv);
int ExtractCommand(int argc, char** argv);
int BuildCommand(int argc, char** argv);

// Prints "vantorel-pack: message" on stderr; gives exit code 1.
int Fail(const char* format, ...);
