// command_names.h: the names of the script's commands and of install.log's undo records.
//
// String literals, so that a name can be joined to the text around it at
// compile time ("DeleteFile (\"@\");") and each program keeps only the names
// it uses. Names are matched exactly, letter case included.
#pragma once

// Settings: the installer reads the first of each, wherever it stands.
#define COMMAND_TITLE "Title"
#define COMMAND_NUM_FILES "NumFiles"
#define COMMAND_ROOT_DIRECTORY "RootDirectory"
#define COMMAND_TARGET_DIRECTORY "TargetDirectory"

// Commands, run in script order.
#define COMMAND_REGISTRY "Registry"
#define COMMAND_REGISTRY_INT "RegistryInt"
#define COMMAND_MAKE_DIRECTORY "MakeDirectory"
#define COMMAND_MOVE_FILE "MoveFile"
#define COMMAND_START_MENU "StartMenu"
#define COMMAND_DESKTOP_ICON "DesktopIcon"
#define COMMAND_ASK "Ask"
#define COMMAND_END_ASK "EndAsk"
#define COMMAND_MESSAGE "Message"

// Read by vantorel-pack build only, which writes other statements in its place.
#define COMMAND_MOVE_FOLDER "MoveFolder"
#define COMMAND_UNINSTALLER "Uninstaller"

// The records of install.log. The first repeats the script's title, for the
// uninstaller's question.
#define LOG_TITLE COMMAND_TITLE
#define LOG_REMOVE_REGISTRY "RemoveRegistry"
#define LOG_REMOVE_DIRECTORY "RemoveDirectory"
#define LOG_DELETE_FILE "DeleteFile"
