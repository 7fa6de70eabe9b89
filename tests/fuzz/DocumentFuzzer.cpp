// libFuzzer target for the PDF layer: every input is opened, counted and named, and each of its
// attachments is written into a scratch folder; anything that appears elsewhere is a fault.
#include "extract/pdf/AttachmentWriter.h"
#include "extract/pdf/Document.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <variant>

namespace fs = std::filesystem;

namespace {

// Attachments may legitimately decode to gigabytes; the fuzzer stops each write at 64 MiB.
constexpr std::uint64_t writeLimit = 64ull * 1024 * 1024;

const fs::path &scratchRoot()
{
    static const fs::path root = [] {
        auto path = fs::temp_directory_path() / ("quenlith-fuzz-" + std::to_string(getpid()));
        fs::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(scratchRoot(), ignored);
        });
        return path;
    }();
    return root;
}

[[noreturn]] void fault(const std::string &what)
{
    std::fprintf(stderr, "FAULT: %s\n", what.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const fs::path &root = scratchRoot();
    const fs::path input = root / "input.pdf";
    const fs::path out = root / "out";
    std::error_code ec;
    fs::remove_all(out, ec);
    fs::create_directories(out);
    {
        std::ofstream file(input, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }

    auto opened = quenlith::Document::open(input.string(), "");
    if (const auto *failure = std::get_if<quenlith::OpenFailure>(&opened)) {
        if (failure->text.empty())
            fault("a failed open gave no reason");
        return 0;
    }
    const quenlith::Document &pdf = std::get<quenlith::Document>(opened);
    const quenlith::InvoiceInfo invoice = pdf.invoice(); // the XMP metadata is input too
    if (invoice.present != (invoice.index > 0) || (invoice.present && !invoice.found()))
        fault("an invoice present without its attachment, or neither declared nor read");
    const auto progress = [](std::uint64_t bytes) { return bytes < writeLimit; };
    int files = 0;
    const int total = static_cast<int>(pdf.attachments().size() + pdf.unlisted().size());
    for (int i = 1; i <= total; ++i) {
        const quenlith::Attachment *attachment = pdf.at(i); // the unlisted ones are written too
        if (attachment == nullptr || attachment->position != i)
            fault("attachment " + std::to_string(i) + " is not at its position");
        const fs::path target = out / ("attachment-" + std::to_string(i));
        quenlith::WriteRequest request;
        request.path = target.string();
        const quenlith::WriteResult written
            = quenlith::write(pdf, *attachment, request, {}, progress);
        const bool kept = written.status == quenlith::WriteStatus::Written
            || written.status == quenlith::WriteStatus::ChecksumMismatch;
        if (kept != fs::exists(target)
            || (written.status == quenlith::WriteStatus::Written) != written.reason.empty())
            fault("status " + std::to_string(static_cast<int>(written.status))
                + " disagrees with the file at the target or with its reason");
        files += kept ? 1 : 0;
    }
    // Exactly the kept attachments are in the scratch folder: no temporary file, nothing else.
    int found = 0;
    for (const auto &entry : fs::directory_iterator(out)) {
        if (entry.path().filename().string().rfind("attachment-", 0) != 0)
            fault("unexpected file " + entry.path().string());
        ++found;
    }
    if (found != files)
        fault("the scratch folder holds " + std::to_string(found) + " files, expected "
            + std::to_string(files));
    for (const auto &entry : fs::directory_iterator(root)) {
        if (entry.path() != input && entry.path() != out)
            fault("written outside the scratch folder: " + entry.path().string());
    }
    return 0;
}
