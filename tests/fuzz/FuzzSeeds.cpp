// Writes the generated fixture documents into a folder, as seeds for the fuzzer.
#include "tests/support/FileDigest.h"
#include "tests/support/PdfFixtures.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace quenlith::fixtures;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const auto write = [&](const std::string &name, const DocumentFixture &document) {
        writeDocument((folder / name).string(), document);
        return (folder / name).string();
    };

    DocumentFixture flat;
    flat.files = { treeFile("a.txt", "alpha", "a.txt"),
        treeFile("π.png", "pi", "π.png"),
        treeFile("../../evil.txt", "x", "../../evil.txt") };
    write("flat.pdf", flat);
    DocumentFixture nested = flat;
    nested.treeFanout = 2;
    nested.nullTreeEntry = true;
    write("nested.pdf", nested);

    DocumentFixture annotations;
    annotations.pages = 3;
    annotations.files = { treeFile("shared.txt", "on three pages", "shared.txt"),
        treeFile("direct.txt", "direct", "direct.txt"),
        treeFile("external.txt", "", "external.txt") };
    annotations.files[0].annotationPages = { 1, 2, 3 };
    annotations.files[1].annotationPages = { 2 };
    annotations.files[1].direct = true;
    annotations.files[2].annotationPages = { 3 };
    annotations.files[2].embedded = false;
    for (auto &file : annotations.files)
        file.treeKeys.clear();
    write("annotations.pdf", annotations);
    breakXref(write("broken-xref.pdf", annotations));

    DocumentFixture params;
    auto right = treeFile("right.txt", "checked", "right.txt");
    right.size = 7;
    right.checkSum = md5Of("checked");
    right.modDate = "D:20240501120000+02'00'";
    right.mimeType = "text/plain";
    auto wrong = treeFile("wrong.txt", "checked", "wrong.txt");
    wrong.size = 99;
    wrong.checkSum = md5Of("other");
    auto corrupt = treeFile("corrupt.bin", "zzz", "corrupt.bin");
    corrupt.corruptFlate = true;
    params.files = { right, wrong, corrupt };
    write("params.pdf", params);
    const auto truncated = write("truncated.pdf", params);
    truncateFile(truncated, std::filesystem::file_size(truncated) / 2);

    // A portfolio with nested folders, a loop, a repeated ID and a key naming no folder.
    DocumentFixture portfolio;
    portfolio.files = { treeFile("<2>deep.txt", "deep"),
        treeFile("<1>a.txt", "a"),
        treeFile("<7>none.txt", "none"),
        treeFile("top.txt", "top", "top.txt") };
    addPortfolio(write("portfolio.pdf", portfolio),
        { 0,
            "Root",
            { { 1, "a", -1, -1 }, { 2, "..", 0, 0 }, { 1, "again", -1, -1 }, { 3, "", 2, -1 } } });

    for (auto [name, encryption, password] : { std::tuple { "aes256.pdf", Encryption::Aes256, "" },
             std::tuple { "aes128.pdf", Encryption::Aes128, "" },
             std::tuple { "rc4.pdf", Encryption::Rc4, "" },
             std::tuple { "password.pdf", Encryption::Aes256, "user" } }) {
        DocumentFixture encrypted = flat;
        encrypted.encryption = encryption;
        encrypted.userPassword = password;
        write(name, encrypted);
    }
    return 0;
}
