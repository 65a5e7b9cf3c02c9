// pack_runner.h: runs the built vantorel-pack as a user would.
#pragma once

#include "tools/pack/package_file.h"

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

struct PackRun {
    int exitCode;
    std::string out; // stdout, then stderr behind "--stderr--"
};

inline PackRun RunPack(const std::string& arguments) {
    // stderr goes to a file of this process's own (tests run in parallel).
    std::string errPath = "/tmp/vantorel-pack-err-" + std::to_string(getpid());
    std::string command = std::string(VANTOREL_PACK) + " " + arguments + " 2>" + errPath;
    FILE* pipe = popen(command.c_str(), "r");
    PackRun run{-1, ""};
    char block[4096];
    size_t got;
    while ((got = fread(block, 1, sizeof block, pipe)) > 0) run.out.append(block, got);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string err;
    ReadWholeFile(errPath, &err);
    unlink(errPath.c_str());
    run.out += "--stderr--" + err;
    return run;
}
