// libFuzzer target for the PDF layer: every input is opened, counted and named, and each of its
// attachments is written into a scratch folder; anything that appears elsewhere is a fault.
#include "extract/pdf/PdfLibrary.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

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

    quenlith::PdfLibrary pdf;
    pdf.setWriteProgress([](std::uint64_t bytes) { return bytes < writeLimit; });
    const int status = pdf.OpenDocument(input.string(), "");
    const int count = pdf.AttachmentCount();
    if (status != static_cast<int>(quenlith::OpenStatus::Opened)) {
        if (count != 0 || pdf.lastError().empty())
            fault("a failed open left a document or gave no reason");
        return 0;
    }
    const quenlith::InvoiceInfo invoice = pdf.invoiceInfo(); // the XMP metadata is input too
    if (invoice.present != (invoice.index > 0) || (invoice.present && !invoice.declared))
        fault("an invoice present without its attachment, or not declared");
    int files = 0;
    const int total = count + pdf.unlistedCount(); // the unlisted ones are written too
    for (int i = 1; i <= total; ++i) {
        for (int tag = 1; tag <= 8; ++tag)
            pdf.AttachmentText(i, tag);
        const fs::path target = out / ("attachment-" + std::to_string(i));
        const int written = pdf.WriteAttachment(i, target.string());
        const bool kept = written == static_cast<int>(quenlith::WriteStatus::Written)
            || written == static_cast<int>(quenlith::WriteStatus::ChecksumMismatch);
        if (kept != fs::exists(target))
            fault("status " + std::to_string(written) + " disagrees with the file at the target");
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
