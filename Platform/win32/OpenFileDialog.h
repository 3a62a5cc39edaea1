#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace Platform {

// The state of GetOpenFileNameA's dialog, apart from its drawing, so that
// choosing, filtering and checking can be tested without a window.
class OpenFileDialog {
public:
    struct Entry {
        std::string name;
        bool folder;
    };
    struct Filter {
        std::string label;
        std::vector<std::string> patterns;  // "*.x;*.X" split at ';'
    };
    enum class State { Open, Accepted, Cancelled };

    // Reads the filter list, initial folder and flags of the request.
    explicit OpenFileDialog(const OPENFILENAMEA& request);

    const std::filesystem::path& Folder() const { return m_folder; }
    const std::vector<Entry>& Entries() const { return m_entries; }
    const std::vector<Filter>& Filters() const { return m_filters; }
    size_t FilterIndex() const { return m_filterIndex; }
    const std::string& Error() const { return m_error; }
    State GetState() const { return m_state; }
    const std::string& Chosen() const { return m_chosen; }

    void SetFolder(const std::filesystem::path& folder);
    void SetFilter(size_t index);
    void Up();
    // What OK does with a typed name: a folder is entered, a file (relative
    // to the folder shown, or absolute) is chosen, and with
    // OFN_FILEMUSTEXIST a name that is no file is refused with a message.
    void Accept(const std::string& typed);
    void Cancel() { m_state = State::Cancelled; }

    // Writes the chosen path into the request as Win32 does: the path, the
    // offsets of its name and extension, the name alone when asked for.
    // False when the caller's buffer cannot hold it.
    bool WriteResult(OPENFILENAMEA* request) const;

    static bool Matches(const std::string& name, const std::vector<std::string>& patterns);

private:
    void Refresh();

    std::filesystem::path m_folder;
    std::vector<Entry> m_entries;
    std::vector<Filter> m_filters;
    size_t m_filterIndex = 0;
    DWORD m_flags = 0;
    std::string m_error;
    State m_state = State::Open;
    std::string m_chosen;
};

}  // namespace Platform
