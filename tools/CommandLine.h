// The tools' command lines, all read with CLI11: --help and --version on
// each, and arguments that are not understood end the run with code 2.
#pragma once

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

namespace VorelTools {

// Reads the command line into `app`. When the run ends here (help,
// version, or arguments it does not take, said on standard error), the
// exit code; otherwise nothing.
inline std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv) {
    app.set_version_flag("--version", std::string(app.get_name()) + " " + VOREL_VERSION);
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::Success& done) {
        return app.exit(done);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return 2;
    }
}

// A number that is a number: no infinity, no NaN.
inline const CLI::Validator kFinite(
    [](std::string& text) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        return end != text.c_str() && *end == '\0' && std::isfinite(value) ? std::string()
                                                                           : text + " is not a finite number";
    },
    "NUMBER");

}  // namespace VorelTools
