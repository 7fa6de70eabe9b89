#include "tests/support/PdfFixtures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <set>

namespace quenlith::fixtures {

namespace {

QPDFObjectHandle newPage(QPDF &pdf)
{
    auto page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>");
    page.replaceKey("/Contents", pdf.newStream(std::string()));
    page.replaceKey("/Resources", QPDFObjectHandle::newDictionary());
    return pdf.makeIndirectObject(page);
}

QPDFObjectHandle textString(const std::string &utf8)
{
    return QPDFObjectHandle::newUnicodeString(utf8);
}

} // namespace

void writePdf(const std::string &path, const std::vector<Attachment> &attachments, int pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pageHelper(pdf);
    for (int i = 0; i < pages; ++i)
        pageHelper.addPage(newPage(pdf), false);
    const auto pageList = pageHelper.getAllPages();

    QPDFEmbeddedFileDocumentHelper embedded(pdf);
    std::set<std::string> keys;
    for (const auto &attachment : attachments) {
        auto stream = QPDFEFStreamObjectHelper::createEFStream(pdf, attachment.data);
        auto spec = QPDFFileSpecObjectHelper::createFileSpec(pdf, attachment.name, stream);
        spec.getObjectHandle().replaceKey("/UF", textString(attachment.name));
        spec.getObjectHandle().replaceKey("/F", textString(attachment.name));
        if (attachment.annotationPage > 0 && attachment.annotationPage <= pages) {
            auto page = pageList.at(static_cast<std::size_t>(attachment.annotationPage - 1));
            auto annot = pdf.makeIndirectObject(QPDFObjectHandle::parse(
                "<< /Type /Annot /Subtype /FileAttachment /Rect [10 10 30 30] >>"));
            annot.replaceKey("/FS", spec.getObjectHandle());
            auto pageObject = page.getObjectHandle();
            if (!pageObject.getKey("/Annots").isArray())
                pageObject.replaceKey("/Annots", QPDFObjectHandle::newArray());
            pageObject.getKey("/Annots").appendItem(annot);
            continue;
        }
        std::string key = attachment.name;
        for (int n = 2; keys.count(key) != 0; ++n)
            key = attachment.name + "-" + std::to_string(n);
        keys.insert(key);
        embedded.replaceEmbeddedFile(key, spec);
    }

    QPDFWriter writer(pdf, path.c_str());
    writer.setStaticID(true);
    writer.setDeterministicID(false);
    writer.write();
}

} // namespace quenlith::fixtures

namespace quenlith::fixtures {

std::string utf16be(const std::string &utf8)
{
    return QUtil::utf8_to_utf16(utf8); // starts with the byte-order mark FE FF
}

std::string utf16le(const std::string &utf8)
{
    std::string be = QUtil::utf8_to_utf16(utf8);
    for (std::size_t i = 0; i + 1 < be.size(); i += 2)
        std::swap(be[i], be[i + 1]);
    return be;
}

std::string utf8WithBom(const std::string &utf8)
{
    return "\xEF\xBB\xBF" + utf8;
}

std::string pdfDoc(const std::string &utf8)
{
    return QUtil::utf8_to_pdf_doc(utf8, '?');
}

namespace {

QPDFObjectHandle rawString(const std::string &bytes)
{
    return QPDFObjectHandle::newString(bytes);
}

QPDFObjectHandle embeddedStream(QPDF &pdf, const FileSpecFixture &file)
{
    QPDFObjectHandle stream;
    if (file.corruptFlate) {
        stream = pdf.newStream();
        stream.replaceStreamData(std::string("this is not zlib data at all") + file.data,
            QPDFObjectHandle::newName("/FlateDecode"),
            QPDFObjectHandle::newNull());
    } else {
        stream = pdf.newStream(file.data);
    }
    auto dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/EmbeddedFile"));
    if (!file.mimeType.empty())
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/" + file.mimeType));
    auto params = QPDFObjectHandle::newDictionary();
    if (!file.modDate.empty())
        params.replaceKey("/ModDate", rawString(file.modDate));
    if (file.size >= 0)
        params.replaceKey("/Size", QPDFObjectHandle::newInteger(file.size));
    if (!file.checkSum.empty())
        params.replaceKey("/CheckSum", rawString(file.checkSum));
    if (params.getKeys().size() > 0)
        dict.replaceKey("/Params", params);
    return stream;
}

QPDFObjectHandle fileSpec(QPDF &pdf, const FileSpecFixture &file)
{
    auto spec = QPDFObjectHandle::newDictionary();
    spec.replaceKey("/Type", QPDFObjectHandle::newName("/Filespec"));
    for (const auto &[key, bytes] : file.names)
        spec.replaceKey(key, rawString(bytes));
    if (!file.description.empty())
        spec.replaceKey("/Desc", rawString(file.description));
    if (file.embedded) {
        auto ef = QPDFObjectHandle::newDictionary();
        ef.replaceKey("/F", embeddedStream(pdf, file));
        spec.replaceKey("/EF", ef);
    }
    return file.direct ? spec : pdf.makeIndirectObject(spec);
}

// A name tree over `entries` in their order: one /Names array, or leaves of `fanout` entries
// under inner nodes of `fanout` kids, with /Limits from the first and last key below each node
// but the root (ISO 32000-1 7.9.6); the limits are right when the keys come sorted.
QPDFObjectHandle nameTree(
    QPDF &pdf, const std::vector<std::pair<std::string, QPDFObjectHandle>> &entries, int fanout)
{
    struct Node {
        QPDFObjectHandle object;
        std::string first;
        std::string last;
    };
    const auto limits = [](const std::string &first, const std::string &last) {
        auto array = QPDFObjectHandle::newArray();
        array.appendItem(rawString(first));
        array.appendItem(rawString(last));
        return array;
    };
    const auto leaf = [&](std::size_t from, std::size_t to) {
        auto names = QPDFObjectHandle::newArray();
        for (std::size_t i = from; i < to; ++i) {
            names.appendItem(rawString(entries[i].first));
            names.appendItem(entries[i].second);
        }
        auto node = QPDFObjectHandle::newDictionary();
        node.replaceKey("/Names", names);
        if (fanout > 0 && from < to)
            node.replaceKey("/Limits", limits(entries[from].first, entries[to - 1].first));
        return Node { pdf.makeIndirectObject(node),
            from < to ? entries[from].first : std::string(),
            from < to ? entries[to - 1].first : std::string() };
    };
    if (fanout <= 0)
        return leaf(0, entries.size()).object;
    const auto n = static_cast<std::size_t>(fanout);
    std::vector<Node> level;
    for (std::size_t i = 0; i < entries.size() || level.empty(); i += n)
        level.push_back(leaf(i, std::min(entries.size(), i + n)));
    do {
        std::vector<Node> parents;
        for (std::size_t i = 0; i < level.size(); i += n) {
            const std::size_t end = std::min(level.size(), i + n);
            auto kids = QPDFObjectHandle::newArray();
            for (std::size_t k = i; k < end; ++k)
                kids.appendItem(level[k].object);
            auto node = QPDFObjectHandle::newDictionary();
            node.replaceKey("/Kids", kids);
            node.replaceKey("/Limits", limits(level[i].first, level[end - 1].last));
            parents.push_back(
                Node { pdf.makeIndirectObject(node), level[i].first, level[end - 1].last });
        }
        level = parents;
    } while (level.size() > 1);
    level.front().object.removeKey("/Limits"); // the root has none
    return level.front().object;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

void writeDocument(const std::string &path, const DocumentFixture &document)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pageHelper(pdf);
    for (int i = 0; i < document.pages; ++i)
        pageHelper.addPage(newPage(pdf), false);
    const auto pageList = pageHelper.getAllPages();

    std::vector<std::pair<std::string, QPDFObjectHandle>> treeEntries;
    for (const auto &file : document.files) {
        auto spec = fileSpec(pdf, file);
        for (const auto &key : file.treeKeys)
            treeEntries.emplace_back(key, file.direct ? spec.shallowCopy() : spec);
        for (int page : file.annotationPages) {
            if (page < 1 || page > document.pages)
                continue;
            auto annot = pdf.makeIndirectObject(QPDFObjectHandle::parse(
                "<< /Type /Annot /Subtype /FileAttachment /Rect [10 10 30 30] >>"));
            annot.replaceKey("/FS", file.direct ? spec.shallowCopy() : spec);
            auto pageObject = pageList.at(static_cast<std::size_t>(page - 1)).getObjectHandle();
            if (!pageObject.getKey("/Annots").isArray())
                pageObject.replaceKey("/Annots", QPDFObjectHandle::newArray());
            pageObject.getKey("/Annots").appendItem(annot);
        }
    }
    if (document.nullTreeEntry)
        treeEntries.emplace_back("null entry", QPDFObjectHandle::newNull());
    if (!treeEntries.empty()) {
        auto names = QPDFObjectHandle::newDictionary();
        names.replaceKey("/EmbeddedFiles", nameTree(pdf, treeEntries, document.treeFanout));
        pdf.getRoot().replaceKey("/Names", names);
    }

    QPDFWriter writer(pdf, path.c_str());
    writer.setStaticID(true);
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.setDecodeLevel(qpdf_dl_none); // keeps a corrupt Flate stream as it is
    const char *user = document.userPassword.c_str();
    const char *owner = document.ownerPassword.c_str();
    switch (document.encryption) {
    case Encryption::None:
        break;
    case Encryption::Aes256:
        writer.setR6EncryptionParameters(
            user, owner, true, false, false, false, false, false, qpdf_r3p_none, true);
        break;
    case Encryption::Aes128:
        writer.setR4EncryptionParametersInsecure(
            user, owner, true, false, false, false, false, false, qpdf_r3p_none, true, true);
        break;
    case Encryption::Rc4:
        writer.setR4EncryptionParametersInsecure(
            user, owner, true, false, false, false, false, false, qpdf_r3p_none, true, false);
        break;
    }
    writer.write();
}

void breakXref(const std::string &path)
{
    std::string bytes = readAll(path);
    const auto xref = bytes.rfind("\nxref");
    const auto trailer = bytes.find("trailer", xref == std::string::npos ? 0 : xref);
    if (xref != std::string::npos && trailer != std::string::npos) {
        // Entries are "oooooooooo ggggg n": shift every in-use offset by 7 bytes.
        for (auto at = bytes.find(" n", xref); at < trailer; at = bytes.find(" n", at + 2)) {
            if (at >= 16 && bytes[at - 6] == ' ')
                bytes.replace(at - 16, 10, "0000000007");
        }
    }
    const auto startxref = bytes.rfind("startxref");
    if (startxref != std::string::npos) {
        const auto number = bytes.find_first_of("0123456789", startxref);
        const auto end = bytes.find_first_not_of("0123456789", number);
        if (number != std::string::npos && end != std::string::npos)
            bytes.replace(number, end - number, std::string(end - number, '1'));
    }
    writeAll(path, bytes);
}

void truncateFile(const std::string &path, std::uintmax_t size)
{
    std::filesystem::resize_file(path, size);
}

bool patchFile(const std::string &path, const std::string &from, const std::string &to)
{
    std::string bytes = readAll(path);
    const auto at = bytes.find(from);
    if (at == std::string::npos || from.size() != to.size())
        return false;
    bytes.replace(at, from.size(), to);
    writeAll(path, bytes);
    return true;
}

} // namespace quenlith::fixtures
