#include "extract/output/Placement.h"

#include "util/FsPath.h"
#include "util/SafeFileName.h"

#include <cerrno>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenlith {

PlaceOutcome placeFile(PartFile &file,
    const std::filesystem::path &target,
    bool targetExisted,
    const WriteRequest &request,
    PlacedFile &result)
{
    const auto placedAt = [&](const std::filesystem::path &path, Placement placement) {
        result.path = utf8FromPath(path);
        result.placement = placement;
        return PlaceOutcome::Placed;
    };
    if (targetExisted && file.matchesTarget()) {
        file.discard();
        return placedAt(target, Placement::Unchanged);
    }
    if (request.existing == ExistingFiles::Overwrite) {
        // Nothing there: one link, without the hidden name a replacing rename needs.
        if (!targetExisted && file.commit(PartFile::Replace::Never))
            return placedAt(target, Placement::Created);
        if (!targetExisted && file.errorNumber() != EEXIST)
            return PlaceOutcome::Failed;
        if (!file.commit(PartFile::Replace::Existing))
            return PlaceOutcome::Failed;
        return placedAt(target, Placement::Overwritten);
    }
    if (file.commit(PartFile::Replace::Never))
        return placedAt(target, Placement::Created);
    if (file.errorNumber() != EEXIST)
        return PlaceOutcome::Failed;
    if (request.existing == ExistingFiles::Skip) {
        file.discard(); // the file appeared while the data was written: still never replaced
        return PlaceOutcome::Skipped;
    }
    // Keep: a file that appeared at the target while the data was written (another run of the
    // same documents) may hold these very bytes; one compared while writing did not.
    if (!targetExisted && file.sameContentAs(target)) {
        file.discard();
        return placedAt(target, Placement::Unchanged);
    }
    // Keep: the first alternative that holds the same bytes, else the first free one. Bounded,
    // so that a folder full of numbered names cannot hold the write forever.
    const std::string targetName = utf8FromPath(target.filename());
    int number = 2;
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const std::string name = request.nextAlternative ? request.nextAlternative()
                                                         : numberedName(targetName, number++);
        if (name.empty())
            break;
        const auto candidate = target.parent_path() / pathFromUtf8(name);
        if (file.commitAs(candidate, PartFile::Replace::Never))
            return placedAt(candidate, Placement::Alternative);
        if (file.errorNumber() != EEXIST)
            return PlaceOutcome::Failed;
        if (file.sameContentAs(candidate)) {
            file.discard();
            return placedAt(candidate, Placement::Unchanged);
        }
    }
    file.discard();
    return PlaceOutcome::NoFreeName;
}

namespace {

// The source file of a copy, opened for reading without following a link at its name.
struct Source {
    int fd = -1;
    std::uint64_t size = 0;
    std::int64_t seconds = 0; // modification time
    long nanoseconds = 0;
#ifndef _WIN32
    dev_t device = 0;
    ino_t inode = 0;
#endif

    Source() = default;
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;
    ~Source()
    {
        if (fd >= 0)
#ifdef _WIN32
            ::_close(fd);
#else
            ::close(fd);
#endif
    }

    bool open(const std::filesystem::path &path, int folderFd)
    {
#ifndef _WIN32
        fd = folderFd >= 0
            ? ::openat(folderFd, path.filename().c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
            : ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        struct stat info { };
        if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        size = static_cast<std::uint64_t>(info.st_size);
        seconds = info.st_mtim.tv_sec;
        nanoseconds = info.st_mtim.tv_nsec;
        device = info.st_dev;
        inode = info.st_ino;
#else
        (void)folderFd;
        std::error_code error;
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)))
            return false;
        fd = ::_wopen(path.c_str(), _O_RDONLY | _O_BINARY);
        struct _stat64 info { };
        if (fd < 0 || ::_fstat64(fd, &info) != 0)
            return false;
        size = static_cast<std::uint64_t>(info.st_size);
        seconds = info.st_mtime;
#endif
        return true;
    }

    // Whether `target` (in the open folder `folderFd`) is this very file.
    bool isFileAt(const std::filesystem::path &target, int folderFd) const
    {
#ifndef _WIN32
        struct stat info { };
        const int at = folderFd >= 0
            ? ::fstatat(folderFd, target.filename().c_str(), &info, AT_SYMLINK_NOFOLLOW)
            : ::lstat(target.c_str(), &info);
        return at == 0 && S_ISREG(info.st_mode) && info.st_dev == device && info.st_ino == inode;
#else
        (void)folderFd;
        (void)target;
        return false;
#endif
    }

    long long read(char *buffer, std::size_t capacity)
    {
#ifndef _WIN32
        for (;;) {
            const ssize_t n = ::read(fd, buffer, capacity);
            if (n >= 0 || errno != EINTR)
                return n;
        }
#else
        return ::_read(fd, buffer, static_cast<unsigned>(capacity));
#endif
    }
};

// A second name for the source's data; never replaces (EEXIST).
bool linkTo(const std::filesystem::path &source,
    int sourceFolderFd,
    const std::filesystem::path &target,
    int folderFd)
{
#ifndef _WIN32
    const int from = sourceFolderFd >= 0 ? sourceFolderFd : AT_FDCWD;
    const int to = folderFd >= 0 ? folderFd : AT_FDCWD;
    return ::linkat(from,
               (sourceFolderFd >= 0 ? source.filename() : source).c_str(),
               to,
               (folderFd >= 0 ? target.filename() : target).c_str(),
               0)
        == 0;
#else
    (void)sourceFolderFd;
    (void)folderFd;
    std::error_code error;
    std::filesystem::create_hard_link(source, target, error);
    return !error;
#endif
}

} // namespace

PlacedFile failedPlacement(PlacedFile::Failure failure, std::string reason)
{
    PlacedFile result;
    result.failure = failure;
    result.reason = std::move(reason);
    return result;
}

PlacedFile failedCreation(const PartFile &file)
{
    return failedPlacement(file.errorNumber() == ENOSPC ? PlacedFile::Failure::DiskFull
                                                        : PlacedFile::Failure::CannotCreate,
        "cannot create the file: " + file.errorText());
}

PlacedFile failedWrite(const PartFile &file, const std::string &otherwise)
{
    const int error = file.errorNumber();
    if (error == ENOSPC
#ifdef EDQUOT
        || error == EDQUOT
#endif
    )
        return failedPlacement(PlacedFile::Failure::DiskFull, "disk full");
    return failedPlacement(PlacedFile::Failure::CannotCreate,
        "cannot write the file: "
            + (error != 0 || otherwise.empty() ? file.errorText() : otherwise));
}

PlacedFile placeFinishedFile(PartFile &file,
    const std::filesystem::path &target,
    bool targetExisted,
    const WriteRequest &request,
    PlacedFile result)
{
    switch (placeFile(file, target, targetExisted, request, result)) {
    case PlaceOutcome::Placed:
        return result;
    case PlaceOutcome::Skipped:
        return failedPlacement(PlacedFile::Failure::Skipped,
            "skipped: " + utf8FromPath(target.filename()) + " already exists");
    case PlaceOutcome::NoFreeName:
        return failedPlacement(PlacedFile::Failure::CannotCreate,
            "cannot create the file: no free name beside " + utf8FromPath(target.filename()));
    case PlaceOutcome::Failed:
        break;
    }
    return failedWrite(file, {});
}

PlacedFile placeCopy(const std::string &source, int sourceFolderFd, const WriteRequest &request)
{
    const std::filesystem::path from = pathFromUtf8(source);
    const std::filesystem::path target = pathFromUtf8(request.path);
    const bool targetExists
        = !request.folderIsNew && PartFile::targetExists(target, request.folderFd);
    if (targetExists && request.existing == ExistingFiles::Skip)
        return failedPlacement(PlacedFile::Failure::Skipped,
            "skipped: " + utf8FromPath(target.filename()) + " already exists");
    Source in;
    if (!in.open(from, sourceFolderFd))
        return failedPlacement(
            PlacedFile::Failure::CannotCreate, "cannot write the file: cannot read " + source);
    PlacedFile result;
    result.bytes = in.size;
    if (targetExists && in.isFileAt(target, request.folderFd)) {
        result.path = request.path; // a link from an earlier run
        result.placement = Placement::Unchanged;
        return result;
    }
    // A hard link never replaces a file that appeared meanwhile: EEXIST, then the copy below
    // compares with it and handles it like any clash.
    bool compare = targetExists;
    if (!targetExists) {
        if (linkTo(from, sourceFolderFd, target, request.folderFd)) {
            result.path = request.path;
            result.placement = Placement::Created;
            return result;
        }
        compare = PartFile::targetExists(target, request.folderFd);
    }
    PartFile file;
    if (!file.create(target, compare, request.folderFd))
        return failedCreation(file);
    static constexpr std::size_t chunk = 256 * 1024;
    std::unique_ptr<char[]> buffer(new char[chunk]);
    std::uint64_t copied = 0;
    long long n = 0;
    while ((n = in.read(buffer.get(), chunk)) > 0) {
        if (!file.write(buffer.get(), static_cast<std::size_t>(n)))
            break;
        copied += static_cast<std::uint64_t>(n);
    }
    const bool readWhole = n == 0 && copied == in.size;
    file.setModificationTime(in.seconds, in.nanoseconds);
    if (file.errorNumber() != 0 || !readWhole || !file.close()) {
        PlacedFile failed = failedWrite(file, "cannot read " + source + " whole");
        file.discard();
        return failed;
    }
    return placeFinishedFile(file, target, compare, request, std::move(result));
}

} // namespace quenlith
