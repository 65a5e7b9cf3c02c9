// pack_runner.h: runs the built vantorel-pack as a user would.
#pragma once

#include "frontend/package_check.h"
#include "script/package_layout.h"
#include "tests/unit/sandbox.h"
#include "tools/pack/package_file.h"
#include "tools/pack/package_seal.h"

#include <stddef.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ostream>
#include <string>

struct PackRun {
    int exitCode;
    std::string out; // stdout, then stderr behind "--stderr--"
    bool operator==(const PackRun& o) const { return exitCode == o.exitCode && out == o.out; }
};
inline void PrintTo(const PackRun& run, std::ostream* os) {
    *os << "exit code " << run.exitCode << ": " << run.out;
}

inline std::string TakeFile(const std::string& path) {
    std::string bytes;
    ReadWholeFile(path, &bytes);
    unlink(path.c_str());
    return bytes;
}

inline PackRun RunPack(const std::string& arguments) {
    // Output goes to files of this process's own (tests run in parallel).
    std::string out = "/tmp/vantorel-pack-out-" + std::to_string(getpid()), err = out + "-err";
    int status = system((VANTOREL_PACK " " + arguments + " >" + out + " 2>" + err).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            TakeFile(out) + "--stderr--" + TakeFile(err)};
}

// An installer as it was before build sealed it.
inline std::string Unsealed(std::string installer) {
    size_t seal = FindSeal(installer.substr(0, PackageDataOffset));
    if (seal != std::string::npos)
        installer.replace(seal + offsetof(PackageSeal, packageLength), 8, 8, '\0');
    return installer;
}

// A fresh folder for each test, removed after it.
struct PackFolder : ::testing::Test {
    Sandbox box;
    std::string Path(const std::string& name) const { return box.root + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const {
        EXPECT_EQ("", WriteWholeFile(Path(name), bytes)) << name;
    }
    std::string Read(const std::string& name) const {
        std::string bytes;
        return ReadWholeFile(Path(name), &bytes).empty() ? bytes : "<missing>";
    }
};
