// The file-writing floor: recreates the folders and files below SOURCE inside OUT (which must
// not exist) with the same bytes, each file written the way a careful extractor must at the
// least: a new temporary file, its bytes, close, rename to its name. The sources are read into
// memory first, so that the time is the file system's.
// usage: write-floor SOURCE OUT

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: write-floor SOURCE OUT\n");
        return 2;
    }
    const fs::path source = argv[1], out = argv[2];
    std::vector<fs::path> folders;
    std::vector<std::pair<fs::path, std::string>> files;
    for (const auto &entry : fs::recursive_directory_iterator(source)) {
        const fs::path relative = entry.path().lexically_relative(source);
        if (entry.is_directory()) {
            folders.push_back(relative);
        } else if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            files.emplace_back(relative, std::string(std::istreambuf_iterator<char>(in), {}));
        }
    }
    if (::mkdir(out.c_str(), 0777) != 0) {
        std::perror("mkdir");
        return 1;
    }
    for (const fs::path &folder : folders) // parents come before their children
        ::mkdir((out / folder).c_str(), 0777);
    for (const auto &[relative, bytes] : files) {
        const fs::path target = out / relative;
        const fs::path temp = target.parent_path() / ("." + target.filename().string() + ".tmp");
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())
            || ::close(fd) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
            std::perror(target.c_str());
            return 1;
        }
    }
    return 0;
}
