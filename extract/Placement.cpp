#include "extract/Placement.h"

#include "util/FsPath.h"
#include "util/SafeFileName.h"

#include <cerrno>
#include <fstream>
#include <memory>
#include <system_error>

namespace quenlith {

PlaceOutcome placeFile(PartFile &file,
    const std::filesystem::path &target,
    bool targetExisted,
    const WriteRequest &request,
    WriteResult &result)
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
        if (!file.commit(PartFile::Replace::Existing))
            return PlaceOutcome::Failed;
        return placedAt(target, targetExisted ? Placement::Overwritten : Placement::Created);
    }
    if (file.commit(PartFile::Replace::Never))
        return placedAt(target, Placement::Created);
    if (file.errorNumber() != EEXIST)
        return PlaceOutcome::Failed;
    if (request.existing == ExistingFiles::Skip) {
        file.discard(); // the file appeared while the data was written: still never replaced
        return PlaceOutcome::Skipped;
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

bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

} // namespace

WriteResult placeCopy(const std::string &source, const WriteRequest &request, std::string &error)
{
    WriteResult result;
    const auto fail = [&](WriteStatus status, std::string reason) {
        error = std::move(reason);
        result = WriteResult {};
        result.status = static_cast<int>(status);
        return result;
    };
    const std::filesystem::path from = pathFromUtf8(source);
    const std::filesystem::path target = pathFromUtf8(request.path);
    std::error_code statusError;
    const auto status = std::filesystem::symlink_status(target, statusError);
    const bool targetExists = std::filesystem::exists(status);
    if (targetExists && request.existing == ExistingFiles::Skip)
        return fail(WriteStatus::Skipped,
            "skipped: " + utf8FromPath(target.filename()) + " already exists");
    std::error_code sizeError;
    const auto bytes = std::filesystem::file_size(from, sizeError);
    if (sizeError)
        return fail(WriteStatus::CannotCreate, "cannot write the file: " + sizeError.message());
    result.bytes = bytes;
    result.status = static_cast<int>(WriteStatus::Written);
    if (targetExists && std::filesystem::is_regular_file(status) && sameFile(from, target)) {
        result.path = request.path; // a link from an earlier run
        result.placement = Placement::Unchanged;
        return result;
    }
    if (!targetExists) {
        // A hard link never replaces a file that appeared meanwhile: EEXIST, then the copy below
        // handles it like any clash.
        std::error_code linkError;
        std::filesystem::create_hard_link(from, target, linkError);
        if (!linkError) {
            result.path = request.path;
            result.placement = Placement::Created;
            return result;
        }
    }
    std::ifstream in(from, std::ios::binary);
    if (!in)
        return fail(WriteStatus::CannotCreate, "cannot write the file: cannot read " + source);
    PartFile file;
    if (!file.create(target, targetExists))
        return fail(
            file.errorNumber() == ENOSPC ? WriteStatus::DiskFull : WriteStatus::CannotCreate,
            "cannot create the file: " + file.errorText());
    static constexpr std::size_t chunk = 256 * 1024;
    std::unique_ptr<char[]> buffer(new char[chunk]);
    std::uint64_t copied = 0;
    while (in) {
        in.read(buffer.get(), chunk);
        const auto n = static_cast<std::size_t>(in.gcount());
        if (n > 0 && !file.write(buffer.get(), n))
            break;
        copied += n;
    }
    const bool readWhole = in.eof() && copied == bytes;
    if (file.errorNumber() != 0 || !readWhole || !file.close()) {
        const int code = file.errorNumber();
        file.discard();
        if (code == ENOSPC)
            return fail(WriteStatus::DiskFull, "disk full");
        return fail(WriteStatus::CannotCreate,
            "cannot write the file: "
                + (code != 0 ? file.errorText() : "cannot read " + source + " whole"));
    }
    switch (placeFile(file, target, targetExists, request, result)) {
    case PlaceOutcome::Placed:
        break;
    case PlaceOutcome::Skipped:
        return fail(WriteStatus::Skipped,
            "skipped: " + utf8FromPath(target.filename()) + " already exists");
    case PlaceOutcome::NoFreeName:
        return fail(WriteStatus::CannotCreate,
            "cannot create the file: no free name beside " + utf8FromPath(target.filename()));
    case PlaceOutcome::Failed:
        return file.errorNumber() == ENOSPC
            ? fail(WriteStatus::DiskFull, "disk full")
            : fail(WriteStatus::CannotCreate, "cannot write the file: " + file.errorText());
    }
    if (result.placement != Placement::Unchanged) {
        std::error_code timeError;
        const auto when = std::filesystem::last_write_time(from, timeError);
        if (!timeError)
            std::filesystem::last_write_time(pathFromUtf8(result.path), when, timeError);
    }
    return result;
}

} // namespace quenlith
