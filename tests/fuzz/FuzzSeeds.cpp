// Writes the generated fixture documents into a folder, as seeds for the fuzzer.
#include "tests/support/FileDigest.h"
#include "tests/support/PdfFixtures.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace quenlith::fixtures;

namespace {

FileSpecFixture named(const std::string &name, const std::string &data)
{
    FileSpecFixture spec;
    spec.data = data;
    spec.names = { { "/UF", utf16be(name) }, { "/F", pdfDoc(name) } };
    spec.treeKeys = { name };
    return spec;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const auto path = [&](const std::string &name) { return (folder / name).string(); };

    DocumentFixture flat;
    flat.files = { named("a.txt", "alpha"), named("π.png", "pi"), named("../../evil.txt", "x") };
    writeDocument(path("flat.pdf"), flat);

    DocumentFixture nested = flat;
    nested.treeFanout = 2;
    nested.nullTreeEntry = true;
    writeDocument(path("nested.pdf"), nested);

    DocumentFixture annotations;
    annotations.pages = 3;
    auto shared = named("shared.txt", "on three pages");
    shared.annotationPages = { 1, 2, 3 };
    auto direct = named("direct.txt", "direct");
    direct.direct = true;
    direct.annotationPages = { 2 };
    auto external = named("external.txt", "");
    external.embedded = false;
    external.annotationPages = { 3 };
    annotations.files = { shared, direct, external };
    writeDocument(path("annotations.pdf"), annotations);

    DocumentFixture params;
    auto right = named("right.txt", "checked");
    right.size = 7;
    right.checkSum = md5Of("checked");
    right.modDate = "D:20240501120000+02'00'";
    right.mimeType = "text/plain";
    auto wrong = named("wrong.txt", "checked");
    wrong.size = 99;
    wrong.checkSum = md5Of("other");
    auto corrupt = named("corrupt.bin", "zzz");
    corrupt.corruptFlate = true;
    params.files = { right, wrong, corrupt };
    writeDocument(path("params.pdf"), params);

    for (auto [name, encryption] : { std::pair { "aes256.pdf", Encryption::Aes256 },
             std::pair { "aes128.pdf", Encryption::Aes128 },
             std::pair { "rc4.pdf", Encryption::Rc4 } }) {
        DocumentFixture encrypted = flat;
        encrypted.encryption = encryption;
        writeDocument(path(name), encrypted);
    }
    DocumentFixture locked = flat;
    locked.encryption = Encryption::Aes256;
    locked.userPassword = "user";
    writeDocument(path("password.pdf"), locked);

    writeDocument(path("broken-xref.pdf"), annotations);
    breakXref(path("broken-xref.pdf"));
    writeDocument(path("truncated.pdf"), params);
    truncateFile(path("truncated.pdf"), std::filesystem::file_size(path("truncated.pdf")) / 2);
    return 0;
}
