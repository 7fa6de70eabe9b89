#include "tests/support/PdfFixtures.h"

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
