#include "tests/support/ScratchFolder.h"

#include <random>
#include <stdexcept>

namespace quenlith::fixtures {

ScratchFolder::ScratchFolder(const std::string &prefix)
{
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / (prefix + "-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

const std::filesystem::path &ScratchFolder::path() const
{
    return m_path;
}

std::string ScratchFolder::file(const std::string &name) const
{
    return (m_path / name).string();
}

} // namespace quenlith::fixtures
