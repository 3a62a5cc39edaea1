// The Debian package as cpack writes it from this build, unpacked and
// checked with the tools that Debian's own checks use; the manual pages
// against each program's --help; bash completion as bash runs it.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

#include "TestSupport.h"

namespace fs = std::filesystem;
using namespace VorelTest;

namespace {

const char* const kPrograms[] = {"vorel", "vorel-info", "vorel-xconv", "vorel-snapshot"};

// A shell command's exit code, with its standard output (and error, when
// `both`) in `output`.
int Shell(const std::string& command, std::string* output, bool both = true) {
    output->clear();
    return RunCommand(command + (both ? " 2>&1" : " 2>/dev/null"), output);
}

bool Have(const char* program) {
    std::string ignored;
    return Shell(std::string("command -v ") + program, &ignored) == 0;
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

}  // namespace

// What the package holds, that it runs as unpacked, and that Debian's,
// freedesktop's and AppStream's checks pass it.
TEST(Package, HoldsWhatASystemInstallNeedsAndPassesTheChecks) {
    for (const char* tool : {"cpack", "dpkg-deb", "dpkg-shlibdeps"})
        if (!Have(tool)) GTEST_SKIP() << tool << " is not installed (test.sh installs it)";
    ScratchFolder scratch;
    std::string said;
    ASSERT_EQ(Shell("cpack -G DEB -B " + Quoted(scratch.Path()) + " --config " +
                        Quoted(fs::path(VOREL_BINARY_DIR) / "CPackConfig.cmake"),
                    &said),
              0)
        << said;
    fs::path deb;  // vorel_VERSION_ARCHITECTURE.deb
    for (const auto& entry : fs::directory_iterator(scratch.Path()))
        if (entry.path().extension() == ".deb") deb = entry.path();
    ASSERT_EQ(deb.filename().string().rfind("vorel_" + std::string(VOREL_VERSION) + "_", 0), 0u) << said;

    ASSERT_EQ(Shell("dpkg-deb -c " + Quoted(deb), &said), 0);
    for (const char* path :
         {"./usr/bin/vorel", "./usr/bin/vorel-info", "./usr/bin/vorel-xconv", "./usr/bin/vorel-snapshot",
          "./usr/share/vorel/Assets/Shaders/", "./usr/share/vorel/Assets/Models/Figure.x",
          "./usr/share/applications/vorel.desktop", "./usr/share/thumbnailers/vorel.thumbnailer",
          "./usr/share/mime/packages/vorel.xml", "./usr/share/icons/hicolor/scalable/apps/vorel.svg",
          "./usr/share/icons/hicolor/48x48/apps/vorel.png", "./usr/share/man/man1/vorel-xconv.1.gz",
          "./usr/share/man/man1/vorel.1.gz", "./usr/share/metainfo/org.vorel.vorel.metainfo.xml",
          "./usr/share/bash-completion/completions/vorel-snapshot", "./usr/share/doc/vorel/copyright",
          "./usr/share/doc/vorel/changelog.gz"})
        EXPECT_NE(said.find(std::string(" ") + path + "\n"), std::string::npos) << path;
    // The system's caches belong to the packages that make them.
    for (const char* cache : {"mime.cache", "mimeinfo.cache", "icon-theme.cache", "/usr/local/"})
        EXPECT_EQ(said.find(cache), std::string::npos) << cache;

    ASSERT_EQ(Shell("dpkg-deb -f " + Quoted(deb) + " Version Depends", &said), 0);
    EXPECT_NE(said.find("Version: " + std::string(VOREL_VERSION)), std::string::npos) << said;
    for (const char* dependency : {"fonts-liberation", "libc6", "libsdl2-2.0-0", "libavcodec"})
        EXPECT_NE(said.find(dependency), std::string::npos) << dependency << " in " << said;

    // Unpacked, it runs, and its entries name the installed programs.
    const fs::path root = scratch.Path() / "root";
    ASSERT_EQ(Shell("dpkg-deb -x " + Quoted(deb) + " " + Quoted(root), &said), 0) << said;
    ASSERT_EQ(Shell(Quoted(root / "usr/bin/vorel-info") + " --version", &said), 0);
    EXPECT_EQ(said, "vorel-info " + std::string(VOREL_VERSION) + "\n");
    const std::string desktop = ReadFile(root / "usr/share/applications/vorel.desktop");
    EXPECT_NE(desktop.find("Exec=/usr/bin/vorel %f"), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("Icon=vorel"), std::string::npos);
    EXPECT_NE(
        ReadFile(root / "usr/share/thumbnailers/vorel.thumbnailer").find("Exec=/usr/bin/vorel-snapshot"),
        std::string::npos);
    if (Have("desktop-file-validate")) {
        EXPECT_EQ(
            Shell("desktop-file-validate " + Quoted(root / "usr/share/applications/vorel.desktop"), &said),
            0);
        EXPECT_EQ(said, "");
    }
    if (Have("appstreamcli")) {
        EXPECT_EQ(Shell("appstreamcli validate --no-net " +
                            Quoted(root / "usr/share/metainfo/org.vorel.vorel.metainfo.xml"),
                        &said),
                  0)
            << said;
    }
    if (Have("lintian")) {
        // Errors and warnings; information alone is left.
        Shell("lintian --fail-on error,warning " + Quoted(deb), &said);
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);)
            EXPECT_FALSE(line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0) << line;
    }
}

// Each option a program's --help names is in its manual page's source.
TEST(Package, ManualPagesNameEveryOptionOfTheirProgram) {
    for (const char* program : kPrograms) {
        std::string help;
        ASSERT_EQ(RunTool(std::string(program) + " --help", &help), 0) << program;
        const std::string page =
            ReadFile(fs::path(VOREL_SOURCE_DIR) / "packaging/man" / (std::string(program) + ".1.scd"));
        ASSERT_FALSE(page.empty()) << program;
        // Each "-x" or "--word" that starts a word.
        std::set<std::string> named;
        for (size_t i = 0; i + 1 < help.size(); ++i) {
            const size_t name = help[i + 1] == '-' ? i + 2 : i + 1;
            if (help[i] != '-' ||
                (i > 0 && std::string_view(" ,[|\t\n").find(help[i - 1]) == std::string::npos) ||
                name >= help.size() || !std::isalpha(static_cast<unsigned char>(help[name])))
                continue;
            size_t end = name;
            while (end < help.size() &&
                   (std::isalnum(static_cast<unsigned char>(help[end])) || help[end] == '-'))
                ++end;
            named.insert(help.substr(i, end - i));
            i = end;
        }
        EXPECT_GE(named.size(), 2u) << program;
        for (const std::string& name : named)
            EXPECT_NE(page.find("*" + name + "*"), std::string::npos) << program << ": " << name;
    }
}

// Completion as bash does it, with the built programs on the path: options,
// the values an option lists, folders for -o, and .x files for a model.
TEST(Package, BashCompletesOptionsTheirValuesAndModels) {
    if (!Have("bash")) GTEST_SKIP() << "no bash";
    ScratchFolder scratch;
    for (const char* name : {"a.x", "B.X", "notes.txt"})
        WriteFile(scratch.Path() / name, "");
    fs::create_directory(scratch.Path() / "models");
    const auto complete = [&](const std::string& line) {
        // The words of `line`, the last one being completed.
        WriteFile(scratch.Path() / "complete.sh",
                  "cd " + Quoted(scratch.Path()) + "\nPATH=" + Quoted(VOREL_BINARY_DIR) + ":$PATH\nsource " +
                      Quoted(fs::path(VOREL_SOURCE_DIR) / "packaging/vorel.bash-completion") +
                      "\nCOMP_WORDS=(" + line + ")\n" + (line.back() == ' ' ? "COMP_WORDS+=('')\n" : "") +
                      "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_vorel_complete ${COMP_WORDS[0]}\n"
                      "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort\n");
        std::string said;
        Shell("bash " + Quoted(scratch.Path() / "complete.sh"), &said, false);
        return said;
    };
    EXPECT_EQ(complete("vorel-xconv --fo"), "--force\n--format\n");
    EXPECT_EQ(complete("vorel-xconv --format g"), "glb\ngltf\n");
    EXPECT_EQ(complete("vorel-snapshot --fill s"), "solid\nsolid-wireframe\n");
    EXPECT_EQ(complete("vorel-snapshot --view "), "back\nbottom\nfront\nleft\nright\ntop\n");
    EXPECT_EQ(complete("vorel-xconv -o "), "models\n");
    EXPECT_EQ(complete("vorel-info "), "B.X\na.x\nmodels\n");
    EXPECT_EQ(complete("vorel --v"), "--version\n");
}
