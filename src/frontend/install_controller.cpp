// install_controller.cpp: one run of the installer, from its entry to its
// end: start values, the install sequence, progress, browse, about, cancel and
// the fatal exits. Talks to the window only through installer_ui.h.
#include "frontend/install_controller.h"

#include "actions/folder_variables.h"
#include "actions/script_executor.h"
#include "arj/archive_reader.h"
#include "frontend/package_check.h"
#include "platform/format_text.h"
#include "platform/installer_ui.h"
#include "platform/platform.h"
#include "script/command_names.h"
#include "script/command_records.h"
#include "script/script_reader.h"

#include <string.h>

enum {
    StartStatusSize = 260, // a title of at most 228 characters
    MaxFolderAttempts = 64,
    ExitFatal = 1,      // the archive could not be extracted: nothing installed
    ExitIncomplete = 2, // installed, but some entries or steps failed
};

BYTE_ALIGNED static const char AboutText[] =
    "Vantorel v1.0\t\t\t\t\n\n"
    "A small self-extracting installer for Windows.\n"
    "Made by the Vantorel developers.\n"
    "Questions and reports: see the README that came with it.";

struct InstallController {
    int32_t numFiles;
    int32_t filesExtracted;
    int32_t lastPercent;
    int32_t entriesFailed;
    int32_t stepsFailed;
    int silent;
    int targetGiven;                // /D= was given: targetArgument holds it
    char temp[PLATFORM_MAX_PATH];   // the user's temporary folder, with its backslash
    char folder[PLATFORM_MAX_PATH]; // our private folder inside it; empty while there is none
    char path[PLATFORM_MAX_PATH];   // the installer's own file, which holds the package
};

static InstallController controller;

static void DeleteFromCurrentFolder(const char* name) {
    PlatformDeleteFile(name);
}

// Removes the private folder and whatever the run left in it, deleting the
// files by name from inside it (entered anew, so that no other folder's files
// of those names are touched). Every end of an install passes here.
static void RemovePrivateFolder(void) {
    if (!controller.folder[0]) return;
    if (PlatformSetCurrentDirectory(controller.folder))
        PlatformListFiles(controller.folder, DeleteFromCurrentFolder);
    PlatformSetCurrentDirectory(controller.temp);
    PlatformRemoveDirectory(controller.folder);
    controller.folder[0] = 0;
}

void ShowFatal(const char* text) {
    char message[MessageSize];
    RemovePrivateFolder();
    FormatText(message, sizeof message, "FATAL: %s", text);
    UiShowFatal(message);
}

// A fatal end of the extraction, after its clean-up: box captioned "Error",
// exit code 1.
[[noreturn]] static void ExtractionFailed(const char* message) {
    RemovePrivateFolder();
    PlatformMessageBox(message, "Error", PLATFORM_MB_OK | PLATFORM_MB_ICONHAND);
    PlatformExit(ExitFatal);
}

// Reads /S and /D=PATH from the arguments; /D= takes the rest of the line, so
// the path may hold blanks. A quoted "/D=PATH", as shells and Wine pass an
// argument with blanks, ends at its closing quote. Anything else is ignored.
// Gives 0 when the target does not fit.
static char targetArgument[FolderSize];

static int ReadArguments(const char* commandLine) {
    const char* p = commandLine;
    while (*p) {
        while (*p == ' ' || *p == '\t') p++;
        int quoted = *p == '"';
        if (p[quoted] == '/' && p[quoted + 1] == 'D' && p[quoted + 2] == '=') {
            const char* text = p + quoted + 3;
            const char* close = quoted ? strchr(text, '"') : 0;
            size_t length = close ? (size_t)(close - text) : strlen(text);
            if (length >= FolderSize) return 0;
            memcpy(targetArgument, text, length);
            targetArgument[length] = 0;
            controller.targetGiven = 1;
            return 1;
        }
        const char* end = p;
        while (*end && *end != ' ' && *end != '\t') end++;
        if (end - p == 2 && p[0] == '/' && p[1] == 'S') controller.silent = 1;
        p = end;
    }
    return 1;
}

int RunInstaller(const char* commandLine) {
    memset(&controller, 0, sizeof controller);
    controller.lastPercent = -1;
    int targetFits = ReadArguments(commandLine);
    PlatformSetSilent(controller.silent);
    // A target that does not fit would install somewhere else.
    if (!targetFits) ShowFatal("Target directory too long.");

    const char* path = controller.path;
    if (!PlatformGetModuleFileName(controller.path, sizeof controller.path))
        ShowFatal("This folder's name can't be used here: move the installer to another folder.");
    if (CheckPackage(path, installerSeal.packageLength, installerSeal.packageCrc) == PackageDamaged)
        ExtractionFailed("This installer is damaged or incomplete: download it again.");
    if (ParseScript(path) != 0) ShowFatal("Error parsing installation script.");
    if (controller.silent) {
        OnInit();
        OnInstall();
    } else {
        UiRunDialog();
    }
    FreeCommandList();
    int failed = controller.entriesFailed || controller.stepsFailed;
    return controller.silent && failed ? ExitIncomplete : 0;
}

void OnInit(void) {
    LoadFolderVariables();
    if (controller.targetGiven) SetFolder(folderVariables.targetDir, targetArgument);
    const char* title = GetCommandText(COMMAND_TITLE, 0);
    char status[StartStatusSize];
    FormatText(status, sizeof status, "This will install \"%s\"! Continue?", title ? title : "");
    UiSetStatusText(status);
    UiSetTargetText(folderVariables.targetDir);
    UiBringToFront();
    UiSetProgressRange(0, 100);
    UiFocusControl(InstallButton);
}

// Makes a new folder of our own inside the temporary folder and enters it:
// extracting under the entries' own names into the shared folder would let
// other processes plant or read those files. A name that exists already,
// perhaps planted, is passed over, since creating it fails. Without such a
// folder nothing is extracted at all. An elevated installer makes it open to
// administrators only, so that the user's unelevated programs cannot replace
// what it extracts before it is installed.
static void EnterPrivateFolder(void) {
    InstallController* c = &controller;
    int secured = PlatformIsElevated();
    if (PlatformGetTempPath(sizeof c->temp, c->temp) >= sizeof c->temp) c->temp[0] = 0;
    size_t length = strlen(c->temp);
    if (length && c->temp[length - 1] != '\\' && length + 1 < sizeof c->temp) strcat(c->temp, "\\");
    for (int attempt = 0; attempt < MaxFolderAttempts; attempt++) {
        int number = (int)((PlatformGetTickCount() + attempt * 7919u) & 0x7FFFFFFF);
        FormatText(c->folder, PLATFORM_MAX_PATH, "%svantorel-%d", c->temp, number);
        if (strlen(c->folder) + 2 >= PLATFORM_MAX_PATH) break; // no room left for names inside
        if (!(secured ? PlatformCreateSecuredDirectory(c->folder, PLATFORM_SDDL_ADMINISTRATORS_ONLY)
                      : PlatformCreateDirectory(c->folder)))
            continue;
        if (PlatformSetCurrentDirectory(c->folder)) return;
        PlatformRemoveDirectory(c->folder); // ours, but it cannot be entered
        break;
    }
    c->folder[0] = 0;
    char message[MessageSize];
    FormatText(message, sizeof message, "Can't create a temporary folder in %s", c->temp);
    ExtractionFailed(message);
}

static void ReportEntry(const ArchiveEntry* entry, EntryStatus, void*) {
    OnEntryDone(entry->entryName);
}

// The end status names what failed: a run that lost files or steps must not
// read as complete. Made of pieces, so that the texts they share are kept once.
static void ShowEndStatus(const char* firstFailure) {
    char text[MessageSize];
    int entries = controller.entriesFailed, steps = controller.stepsFailed;
    size_t length = FormatText(text, sizeof text, "Installation %s",
                               entries || steps ? "incomplete: " : "complete.");
    if (entries)
        length +=
            FormatText(text + length, sizeof text - length,
                       "%d archive entries could not be extracted%s", entries, steps ? "; " : ".");
    if (steps)
        FormatText(text + length, sizeof text - length, "%d steps failed, the first: %s", steps,
                   firstFailure);
    UiSetStatusText(text);
}

void OnInstall(void) {
    static const uint16_t controls[] = {CancelButton, TargetLabel, TargetEdit,
                                        BrowseButton, AboutButton, InstallButton};
    if (!controller.silent) {
        char text[UiTextSize];
        UiGetTargetText(text);
        SetFolder(folderVariables.targetDir, text);
    }
    for (int control : controls) UiSetControlEnabled(control, 0);
    controller.numFiles = GetCommandInteger(COMMAND_NUM_FILES, 0);
    EnterPrivateFolder();

    char message[MessageSize];
    controller.entriesFailed = ExtractArchive(controller.path, ReportEntry, 0, message);
    if (controller.entriesFailed == ArchiveFailed) ExtractionFailed(message);
    char firstFailure[StatusSize];
    controller.stepsFailed = RunScript(firstFailure);
    RemovePrivateFolder();

    UiSetControlEnabled(CancelButton, 1);
    UiFocusControl(CancelButton);
    ShowEndStatus(firstFailure);
    UiSetCancelCaption("Finish");
}

void OnEntryDone(const char* name) {
    char status[MessageSize];
    FormatText(status, sizeof status, "Extracting: \"%s\"", name);
    UiSetStatusText(status);
    controller.filesExtracted++;
    if (controller.numFiles == 0) return;
    int32_t percent = (int32_t)((int64_t)controller.filesExtracted * 100 / controller.numFiles);
    if (percent != controller.lastPercent) {
        controller.lastPercent = percent;
        UiSetProgress(percent);
    }
}

// A cancelled browse, or a folder too long to take the root directory behind
// it, leaves the target as it was.
void OnBrowse(void) {
    char folder[UiTextSize];
    strcpy(folder, folderVariables.targetDir);
    if (!UiBrowseForFolder("Choose a Target Directory", folder)) return;
    if (strlen(folder) + strlen(folderVariables.rootDir) >= FolderSize) return;
    strcat(folder, folderVariables.rootDir);
    strcpy(folderVariables.targetDir, folder);
    UiSetTargetText(folderVariables.targetDir);
}

void OnAbout(void) {
    UiShowAbout(AboutText);
}

void OnCancel(void) {
    UiCloseDialog();
}
