#include "Batch.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "cModelViewer.h"

extern char** environ;

namespace VorelTools {
namespace fs = std::filesystem;

namespace {

// A child at work: its process, its output's pipes and what came through.
struct Child {
    size_t index = 0;
    pid_t pid = -1;
    int out = -1, err = -1;
    ChildResult result;
};

// Starts the program with `arguments`, its output to two pipes; false,
// with the reason in `result.err`, when it cannot start.
bool Start(const std::string& program, const std::vector<std::string>& arguments, Child* child) {
    // Closed on exec: a child holds no other child's pipes, only its own
    // ends, made its standard output and error.
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        child->result.err = std::strerror(errno);
        return false;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        child->result.err = std::strerror(errno);
        close(out[0]), close(out[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&child->pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]), close(err[1]);
    if (spawned != 0) {
        close(out[0]), close(err[0]);
        child->result.err = program + ": " + std::strerror(spawned);
        return false;
    }
    child->out = out[0];
    child->err = err[0];
    return true;
}

// Reads what is there; closes the pipe at its end.
void Drain(int* fd, std::string* into) {
    char buffer[65536];
    const ssize_t got = read(*fd, buffer, sizeof buffer);
    if (got > 0)
        into->append(buffer, static_cast<size_t>(got));
    else if (got == 0 || errno != EINTR)
        close(*fd), *fd = -1;
}

std::string Clock(double seconds) {
    const long s = std::max(0L, static_cast<long>(seconds + 0.5));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

}  // namespace

std::vector<BatchFile> CollectModels(const std::vector<std::string>& inputs, Unread* unread) {
    std::vector<BatchFile> files;
    for (const std::string& input : inputs) {
        std::error_code ec;
        if (fs::is_directory(input, ec)) {
            std::vector<BatchFile> found;
            // The walk keeps its own stack: no recursion, however deep.
            for (fs::recursive_directory_iterator
                     it(input, fs::directory_options::skip_permission_denied, ec),
                 end;
                 !ec && it != end; it.increment(ec)) {
                std::error_code fileError;
                // Not only regular files: one that cannot be read is
                // reported as such, not passed over.
                if (Vorel::cModelViewer::IsModelFileName(it->path().filename().string()) &&
                    !it->is_directory(fileError))
                    found.push_back({it->path().string(), it->path().lexically_relative(input).string()});
            }
            if (ec) unread->emplace_back(input, "not all of the folder could be read: " + ec.message());
            std::sort(found.begin(), found.end(), [](const BatchFile& a, const BatchFile& b) {
                return Vorel::cModelViewer::NaturalLess(a.relative, b.relative);
            });
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::exists(fs::symlink_status(input, ec))) {
            files.push_back({input, fs::path(input).filename().string()});
        } else {
            unread->emplace_back(input, "no such file or folder");
        }
    }
    return files;
}

std::string OutputPath(const std::string& folder, const std::string& relative, const std::string& extension) {
    return (fs::path(folder) / fs::path(relative).replace_extension(extension)).string();
}

std::string OwnProgram() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).string();
}

int DefaultJobs() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::string LastLine(const std::string& text) {
    size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos) return {};
    const size_t start = text.rfind('\n', end);
    std::string line = text.substr(start == std::string::npos ? 0 : start + 1,
                                   end - (start == std::string::npos ? 0 : start + 1) + 1);
    if (line.rfind("vorel-", 0) == 0)
        if (const size_t colon = line.find(": "); colon != std::string::npos) line.erase(0, colon + 2);
    return line;
}

void RunChildren(const std::string& program, size_t count, int jobs,
                 const std::function<std::vector<std::string>(size_t)>& arguments,
                 const std::function<std::string(size_t)>& label,
                 const std::function<void(size_t, const ChildResult&)>& finished) {
    const bool terminal = isatty(2) != 0;
    const auto start = std::chrono::steady_clock::now();
    std::vector<Child> running;
    size_t next = 0, done = 0, told = 0;
    // Results are handed on in the files' order: one that ends early waits.
    std::map<size_t, ChildResult> waiting;
    const auto finish = [&](size_t index, ChildResult result) {
        ++done;
        waiting.emplace(index, std::move(result));
        for (auto it = waiting.find(told); it != waiting.end(); it = waiting.find(told)) {
            if (terminal) std::fprintf(stderr, "\r\033[K");  // the file's line where the progress was
            finished(told++, it->second);
            waiting.erase(it);
        }
    };
    std::string current;
    const auto progress = [&] {
        if (!terminal) return;
        const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string left = done > 0 ? ", " + Clock(spent / done * (count - done)) + " left" : "";
        std::string line = "[" + std::to_string(done) + "/" + std::to_string(count) + "] " + current + left;
        if (line.size() > 100) line = line.substr(0, 47) + "..." + line.substr(line.size() - 50);
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
    };
    while (next < count || !running.empty()) {
        while (next < count && static_cast<int>(running.size()) < std::max(1, jobs)) {
            Child child;
            child.index = next++;
            current = label(child.index);
            if (Start(program, arguments(child.index), &child)) {
                running.push_back(std::move(child));
            } else {
                child.result.exitCode = 127;
                finish(child.index, std::move(child.result));
            }
            progress();
        }
        std::vector<pollfd> fds;
        for (const Child& c : running) {
            if (c.out >= 0) fds.push_back({c.out, POLLIN, 0});
            if (c.err >= 0) fds.push_back({c.err, POLLIN, 0});
        }
        if (!fds.empty() && poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR) break;
        for (auto it = running.begin(); it != running.end();) {
            for (const pollfd& p : fds) {
                if (p.revents == 0) continue;
                if (p.fd == it->out) Drain(&it->out, &it->result.out);
                if (p.fd == it->err) Drain(&it->err, &it->result.err);
            }
            if (it->out >= 0 || it->err >= 0) {
                ++it;
                continue;
            }
            // Both pipes closed: the child has ended, or is about to.
            int status = 0;
            while (waitpid(it->pid, &status, 0) < 0 && errno == EINTR) {
            }
            it->result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            finish(it->index, std::move(it->result));
            it = running.erase(it);
            progress();
        }
    }
    if (terminal) std::fprintf(stderr, "\r\033[K");
}

}  // namespace VorelTools
