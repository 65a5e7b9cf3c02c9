// publisher_script.h: a script on its way from a publisher's file into a
// package, shared by check and build: read, converted to the code page,
// MoveFolder expanded, diagnosed.
#pragma once

#include "tools/pack/code_page.h"
#include "tools/pack/move_folder.h"
#include "tools/pack/diagnostics.h"

#include <string>
#include <vector>

struct PublisherOptions {
    int codePage = DefaultCodePage;
    bool werror = false;
};

// The lines that the commands' --help show for these options.
extern const char PublisherOptionsHelp[];

// Takes --codepage N and --werror out of the arguments (before any "--");
// empty, or the complaint.
std::string TakePublisherOptions(int* argc, char** argv, PublisherOptions* options);

class PublisherScript {
  public:
    // A script file, read as UTF-8 (or as bytes of the code page). Empty, or
    // the complaint.
    std::string Load(const std::string& path, const PublisherOptions& options);
    // The script of a package, already in the code page; named by the package.
    std::string LoadPackaged(const std::string& packagePath, const std::string& script,
                             const PublisherOptions& options);

    // Expands MoveFolder (see move_folder.h); its source folders are beside
    // the script.
    void ExpandFolders(const std::vector<std::string>& takenNames, bool allowed);
    // Uninstaller (see uninstaller_entry.h): whether the script has it, and
    // its expansion, for files of installedBytes.
    bool HasUninstaller() const;
    void ExpandUninstaller(uint64_t installedBytes);
    // The Title, as UTF-8; empty when there is none.
    std::string Title() const;
    void Diagnose(const std::vector<std::string>* archiveNames);
    // Prints the diagnostics; empty when the script may be used, else why not.
    std::string Report();
    // NumFiles (count) in front, when the script has no NumFiles.
    void FillNumFiles(size_t count);

    const std::string& Bytes() const { return text.bytes; }
    const std::vector<ArchiveInput>& FolderFiles() const { return folderFiles; }
    const CodePage& Page() const { return codePage; }

  private:
    std::string OpenCodePage(const PublisherOptions& options);
    std::string path;
    std::string source;
    bool packaged = false;
    bool werror = false;
    CodePage codePage;
    MappedText text;
    std::vector<ArchiveInput> folderFiles;
    Diagnostics diagnostics;
};

// Given files, stored under their base names in the code page; empty, or the
// complaint (no plain file; a name that the code page, Windows or a script
// text cannot carry; two names that Windows takes for one).
std::string GivenFiles(const std::vector<std::string>& paths, const CodePage& codePage,
                       std::vector<ArchiveInput>* files);

// The script of the package at path and the first bytes of its archive;
// empty, or the complaint (the file cannot be read or holds no script).
std::string ReadPackageParts(const std::string& path, std::string* script,
                             std::string* archiveStart);
