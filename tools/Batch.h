// Many files at once, for the tools: the .x files of the inputs named, and
// each file's work run in a child process of the tool (a load changes the
// process's current folder, so files cannot share one process; a crash then
// costs one file), several at a time, with progress and a summary.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace VorelTools {

// A file of the batch: its path, and its path below the folder it was
// found in (its bare name for a file named as it is).
struct BatchFile {
    std::string path;
    std::string relative;
};

// Files named as they are (whatever their extension), and what is named
// .x (any case) below each folder named, folders aside, without following
// links to folders; each folder's finds in natural order. What cannot be
// read (an input that is not there, a folder whose walk failed) is put in
// `unread`: the path, and why.
using Unread = std::vector<std::pair<std::string, std::string>>;
std::vector<BatchFile> CollectModels(const std::vector<std::string>& inputs, Unread* unread);

// `relative` with its extension made `extension` (".glb"), below `folder`.
std::string OutputPath(const std::string& folder, const std::string& relative, const std::string& extension);

// What one child process did: its exit code (128 + the signal's number
// when a signal ended it) and what it wrote.
struct ChildResult {
    int exitCode = 0;
    std::string out, err;
};

// Runs the program at `program` (argv[0] being `program`) with `arguments(i)` for each of `count` files,
// `jobs` at once. `finished(i, result)` is called in this process as each ends, in the order they end. While
// `progress` is set, a line on standard error tells how many are done, the file last started and the time
// left (a terminal's line, drawn over; elsewhere nothing).
void RunChildren(const std::string& program, size_t count, int jobs,
                 const std::function<std::vector<std::string>(size_t)>& arguments,
                 const std::function<std::string(size_t)>& label,
                 const std::function<void(size_t, const ChildResult&)>& finished);

// This program's own file, for running it again in a child.
std::string OwnProgram();

// The number of jobs when -j is not given: the processors there are.
int DefaultJobs();

// The last non-empty line of `text`, without a tool's "name: " before it.
std::string LastLine(const std::string& text);

}  // namespace VorelTools
