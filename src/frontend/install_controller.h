// install_controller.h: the logic of one run of the installer, against the
// operations of installer_ui.h.
//
// Results: RunInstaller gives the process exit code; the events give none,
// since what fails shows in the dialog; the fatal ends do not return.
#pragma once

// The installer's entry. commandLine holds the arguments behind the program
// name (may be empty): /S installs silently, /D=PATH (last) sets the target.
// Gives the process exit code: 0 done, 2 done but some archive entries or
// steps failed (silent mode). The fatal ends remove the extraction folder and
// end the process from here: -1 (ShowFatal) or 1 (the archive could not be
// extracted, or no temporary folder made).
int RunInstaller(const char* commandLine);

// Events from the dialog.
void OnInit(void);
void OnInstall(void);
void OnBrowse(void);
void OnAbout(void);
void OnCancel(void);

// Progress of the extraction: called after each archive entry.
void OnEntryDone(const char* name);

// "FATAL: text" in a box, then exit code -1.
[[noreturn]] void ShowFatal(const char* text);
