#pragma once

#include <filesystem>
#include <string>

namespace quenlith::fixtures {

// A fresh, empty folder under the system's temporary folder, removed with all its content when
// the object goes away.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string &prefix = "quenlith-test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::filesystem::path &path() const;
    // `name` inside the folder, as a UTF-8 text.
    std::string file(const std::string &name) const;

private:
    std::filesystem::path m_path;
};

} // namespace quenlith::fixtures
