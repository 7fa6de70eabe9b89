#include "tests/support/PdfFixtures.h"

#include "tests/support/FileContents.h"
#include "tests/support/FileDigest.h"

#include <algorithm>
#include <brotli/encode.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <set>

namespace quenlith::fixtures {

namespace {

using Handle = QPDFObjectHandle;

Handle rawString(const std::string &bytes)
{
    return Handle::newString(bytes);
}

// The bytes qpdf stores for a UTF-8 text: PDFDocEncoding when it can, else UTF-16BE.
std::string textBytes(const std::string &utf8)
{
    return Handle::newUnicodeString(utf8).getStringValue();
}

} // namespace

std::string deflate(const std::string &bytes)
{
    Pl_Buffer buffer("deflated");
    Pl_Flate flate("deflate", &buffer, Pl_Flate::a_deflate);
    flate.writeString(bytes);
    flate.finish();
    const std::unique_ptr<Buffer> data(buffer.getBuffer());
    return { reinterpret_cast<const char *>(data->getBuffer()), data->getSize() };
}

std::string brotli(const std::string &bytes)
{
    std::string out(BrotliEncoderMaxCompressedSize(bytes.size()) + 16, '\0');
    std::size_t size = out.size();
    BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY,
        BROTLI_DEFAULT_WINDOW,
        BROTLI_MODE_GENERIC,
        bytes.size(),
        reinterpret_cast<const std::uint8_t *>(bytes.data()),
        &size,
        reinterpret_cast<std::uint8_t *>(out.data()));
    out.resize(size);
    return out;
}

namespace {

Handle embeddedStream(QPDF &pdf, const FileSpecFixture &file)
{
    auto stream = pdf.newStream();
    if (file.corruptFlate)
        stream.replaceStreamData("this is not zlib data at all" + file.data,
            Handle::newName("/FlateDecode"),
            Handle::newNull());
    else if (!file.filter.empty())
        stream.replaceStreamData(file.data,
            Handle::parse(file.filter),
            file.decodeParms.empty() ? Handle::newNull() : Handle::parse(file.decodeParms));
    else
        stream.replaceStreamData(
            deflate(file.data), Handle::newName("/FlateDecode"), Handle::newNull());
    auto dict = stream.getDict();
    dict.replaceKey("/Type", Handle::newName("/EmbeddedFile"));
    if (!file.mimeType.empty())
        dict.replaceKey("/Subtype", Handle::newName("/" + file.mimeType));
    auto params = Handle::newDictionary();
    if (!file.modDate.empty())
        params.replaceKey("/ModDate", rawString(file.modDate));
    if (file.size >= 0)
        params.replaceKey("/Size", Handle::newInteger(file.size));
    if (!file.checkSum.empty())
        params.replaceKey("/CheckSum", rawString(file.checkSum));
    if (!file.creationDate.empty())
        params.replaceKey("/CreationDate", rawString(file.creationDate));
    if (!params.getKeys().empty())
        dict.replaceKey("/Params", params);
    return stream;
}

Handle fileSpec(QPDF &pdf, const FileSpecFixture &file)
{
    auto spec = Handle::parse("<< /Type /Filespec >>");
    for (const auto &[key, bytes] : file.names)
        spec.replaceKey(key, rawString(bytes));
    if (!file.description.empty())
        spec.replaceKey("/Desc", rawString(file.description));
    if (!file.afRelationship.empty())
        spec.replaceKey("/AFRelationship", Handle::newName("/" + file.afRelationship));
    if (file.embedded) {
        auto ef = Handle::newDictionary();
        ef.replaceKey("/F", embeddedStream(pdf, file));
        spec.replaceKey("/EF", ef);
    }
    return file.direct ? spec : pdf.makeIndirectObject(spec);
}

using Entries = std::vector<std::pair<std::string, Handle>>;

// A name tree over entries[from, to) in their order (ISO 32000-1 7.9.6): one /Names array when
// `fanout` is 0, else leaves of `fanout` entries under inner nodes of `fanout` kids. Every node
// but the root gets /Limits from its first and last key, right when the keys come sorted.
Handle nameTree(QPDF &pdf, const Entries &entries, std::size_t from, std::size_t to, int fanout)
{
    auto node = Handle::newDictionary();
    const auto n = static_cast<std::size_t>(std::max(fanout, 1));
    std::size_t span = n; // entries under each kid of this node
    while (fanout > 0 && span * n < to - from)
        span *= n;
    if (fanout <= 0 || to - from <= n) {
        auto names = Handle::newArray();
        for (std::size_t i = from; i < to; ++i) {
            names.appendItem(rawString(entries[i].first));
            names.appendItem(entries[i].second);
        }
        node.replaceKey("/Names", names);
    } else {
        auto kids = Handle::newArray();
        for (std::size_t i = from; i < to; i += span)
            kids.appendItem(nameTree(pdf, entries, i, std::min(to, i + span), fanout));
        node.replaceKey("/Kids", kids);
    }
    if (fanout > 0 && from < to) {
        auto limits = Handle::newArray();
        limits.appendItem(rawString(entries[from].first));
        limits.appendItem(rawString(entries[to - 1].first));
        node.replaceKey("/Limits", limits);
    }
    return pdf.makeIndirectObject(node);
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Deterministic output with every stream kept as the fixture stored it: a corrupt Flate stream
// stays corrupt, and the embedded files come encoded, as the tests want them.
void keepStreamsAsStored(QPDFWriter &writer)
{
    writer.setStaticID(true);
    writer.setObjectStreamMode(qpdf_o_disable);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(false);
}

} // namespace

void writePdf(const std::string &path, const std::vector<Attachment> &attachments, int pages)
{
    DocumentFixture document;
    document.pages = pages;
    std::set<std::string> keys;
    for (const auto &attachment : attachments) {
        auto &file = document.files.emplace_back();
        file.data = attachment.data;
        file.names
            = { { "/UF", textBytes(attachment.name) }, { "/F", textBytes(attachment.name) } };
        file.size = static_cast<std::int64_t>(attachment.data.size());
        file.checkSum = md5Of(attachment.data);
        if (attachment.annotationPage > 0 && attachment.annotationPage <= pages) {
            file.annotationPages = { attachment.annotationPage };
            continue;
        }
        std::string key = attachment.name;
        for (int n = 2; keys.count(key) != 0; ++n)
            key = attachment.name + "-" + std::to_string(n);
        keys.insert(key);
        file.treeKeys = { textBytes(key) };
    }
    // Keys sorted, as qpdf's name-tree helper inserts them; annotations keep their order.
    const auto key = [](const FileSpecFixture &file) {
        return file.treeKeys.empty() ? std::string() : rawString(file.treeKeys[0]).getUTF8Value();
    };
    std::stable_sort(document.files.begin(),
        document.files.end(),
        [&](const auto &a, const auto &b) { return key(a) < key(b); });
    writeDocument(path, document);
}

std::string utf16be(const std::string &utf8)
{
    return QUtil::utf8_to_utf16(utf8); // starts with the byte-order mark FE FF
}

std::string utf16le(const std::string &utf8)
{
    std::string bytes = QUtil::utf8_to_utf16(utf8);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

std::string utf8WithBom(const std::string &utf8)
{
    return "\xEF\xBB\xBF" + utf8;
}

std::string pdfDoc(const std::string &utf8)
{
    return QUtil::utf8_to_pdf_doc(utf8, '?');
}

std::string invoiceXmp(const std::string &fileName,
    const std::string &level,
    const std::string &uri,
    const std::string &prefix,
    bool attributes)
{
    const std::string p = prefix + ":";
    std::string packet = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
                         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
                         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
                         "<rdf:Description rdf:about=\"\" xmlns:"
        + prefix + "=\"" + uri + "\"";
    if (attributes) {
        packet += " " + p + "DocumentType=\"INVOICE\" " + p + "DocumentFileName=\"" + fileName
            + "\" " + p + "Version=\"1.0\" " + p + "ConformanceLevel=\"" + level + "\"/>\n";
    } else {
        packet += ">\n<" + p + "DocumentType>INVOICE</" + p + "DocumentType>\n<" + p
            + "DocumentFileName>" + fileName + "</" + p + "DocumentFileName>\n<" + p
            + "Version>1.0</" + p + "Version>\n<" + p + "ConformanceLevel>" + level + "</" + p
            + "ConformanceLevel>\n</rdf:Description>\n";
    }
    return packet + "</rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"w\"?>";
}

namespace {

// ZUGFeRD 1.0 is CII of other element names: `cii` with them in place.
std::string asZugferd1(std::string cii)
{
    const std::pair<std::string, std::string> renames[] = {
        { "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100",
            "urn:ferd:CrossIndustryDocument:invoice:1p0" },
        { "CrossIndustryInvoice", "CrossIndustryDocument" },
        { "rsm:ExchangedDocumentContext", "rsm:SpecifiedExchangedDocumentContext" },
        { "rsm:ExchangedDocument>", "rsm:HeaderExchangedDocument>" },
        { "rsm:SupplyChainTradeTransaction", "rsm:SpecifiedSupplyChainTradeTransaction" },
        { "ApplicableHeaderTrade", "ApplicableSupplyChainTrade" },
        { "SettlementHeaderMonetary", "SettlementMonetary" },
    };
    for (const auto &[from, to] : renames) {
        for (auto at = cii.find(from); at != std::string::npos; at = cii.find(from, at + to.size()))
            cii.replace(at, from.size(), to);
    }
    return cii;
}

std::string ciiInvoice(const std::string &guideline)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rsm:CrossIndustryInvoice xmlns:rsm=\""
           "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100\" xmlns:ram=\"urn:ram\" "
           "xmlns:udt=\"urn:udt\">\n<rsm:ExchangedDocumentContext>"
           "<ram:GuidelineSpecifiedDocumentContextParameter><ram:ID>"
        + guideline
        + "</ram:ID></ram:GuidelineSpecifiedDocumentContextParameter>"
          "</rsm:ExchangedDocumentContext>\n<rsm:ExchangedDocument><ram:ID>471102</ram:ID>"
          "<ram:TypeCode>380</ram:TypeCode><ram:IssueDateTime><udt:DateTimeString format=\"102\">"
          "20241115</udt:DateTimeString></ram:IssueDateTime></rsm:ExchangedDocument>\n"
          "<rsm:SupplyChainTradeTransaction><ram:ApplicableHeaderTradeAgreement>"
          "<ram:SellerTradeParty><ram:Name>Lieferant GmbH</ram:Name></ram:SellerTradeParty>"
          "<ram:BuyerTradeParty><ram:Name> Kunde AG </ram:Name></ram:BuyerTradeParty>"
          "</ram:ApplicableHeaderTradeAgreement><ram:ApplicableHeaderTradeSettlement>"
          "<ram:InvoiceCurrencyCode>EUR</ram:InvoiceCurrencyCode>"
          "<ram:SpecifiedTradeSettlementHeaderMonetarySummation>"
          "<ram:GrandTotalAmount currencyID=\"EUR\">235.62</ram:GrandTotalAmount>"
          "<ram:DuePayableAmount>200.00</ram:DuePayableAmount>"
          "</ram:SpecifiedTradeSettlementHeaderMonetarySummation>"
          "</ram:ApplicableHeaderTradeSettlement></rsm:SupplyChainTradeTransaction>\n"
          "</rsm:CrossIndustryInvoice>\n";
}

std::string ublInvoice(bool creditNote, const std::string &guideline)
{
    const std::string root = creditNote ? "CreditNote" : "Invoice";
    const auto party = [](const std::string &role, const std::string &name) {
        return "<cac:" + role + "><cac:Party><cac:PartyName><cbc:Name>Trading " + name
            + "</cbc:Name></cac:PartyName><cac:PartyLegalEntity><cbc:RegistrationName>" + name
            + "</cbc:RegistrationName></cac:PartyLegalEntity></cac:Party></cac:" + role + ">";
    };
    return "<?xml version=\"1.0\"?>\n<" + root
        + " xmlns=\"urn:oasis:names:specification:ubl:schema:xsd:" + root
        + "-2\" xmlns:cac=\"urn:cac\" xmlns:cbc=\"urn:cbc\">\n<cbc:CustomizationID>" + guideline
        + "</cbc:CustomizationID><cbc:ID>471102</cbc:ID><cbc:IssueDate>2024-11-15</cbc:IssueDate>"
          "<cbc:"
        + root + "TypeCode>" + (creditNote ? "381" : "380") + "</cbc:" + root
        + "TypeCode><cbc:DocumentCurrencyCode>EUR</cbc:DocumentCurrencyCode>\n"
        + party("AccountingSupplierParty", "Lieferant GmbH")
        + party("AccountingCustomerParty", "Kunde AG")
        + "\n<cac:LegalMonetaryTotal><cbc:TaxInclusiveAmount currencyID=\"EUR\">235.62"
          "</cbc:TaxInclusiveAmount><cbc:PayableAmount currencyID=\"EUR\">200.00"
          "</cbc:PayableAmount></cac:LegalMonetaryTotal>\n</"
        + root + ">\n";
}

} // namespace

std::string invoiceXml(const std::string &syntax, const std::string &guideline)
{
    if (syntax == "UBL" || syntax == "UBL credit note")
        return ublInvoice(syntax != "UBL", guideline);
    return syntax == "CII" ? ciiInvoice(guideline) : asZugferd1(ciiInvoice(guideline));
}

void writeDocument(const std::string &path, const DocumentFixture &document)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pageHelper(pdf);
    for (int i = 0; i < document.pages; ++i)
        pageHelper.addPage(pdf.makeIndirectObject(Handle::parse(
                               "<< /Type /Page /MediaBox [0 0 612 792] /Resources << >> >>")),
            false);
    const auto pageList = pageHelper.getAllPages();

    // The chain of structure elements; /AF of "structure" goes on its last element.
    Handle deepestElement;
    if (document.structureDepth > 0) {
        auto root = pdf.makeIndirectObject(Handle::parse("<< /Type /StructTreeRoot >>"));
        Handle parent = root;
        Handle first;
        for (int depth = 0; depth < document.structureDepth; ++depth) {
            auto element = pdf.makeIndirectObject(Handle::parse("<< /Type /StructElem /S /P >>"));
            element.replaceKey("/P", parent);
            parent.replaceKey("/K", depth == 0 ? element : Handle::newArray({ element }));
            if (depth == 0)
                first = element;
            parent = deepestElement = element;
        }
        if (document.structureLoop)
            deepestElement.replaceKey("/K", Handle::newArray({ Handle::newInteger(0), first }));
        pdf.getRoot().replaceKey("/StructTreeRoot", root);
    }
    const auto appendTo = [](Handle dict, const char *key, Handle item) {
        if (!dict.getKey(key).isArray())
            dict.replaceKey(key, Handle::newArray());
        dict.getKey(key).appendItem(item);
    };
    // Page N's inner form XObject, made on first use.
    std::map<int, Handle> innerForms;
    const auto formOf = [&](int page) {
        auto &form = innerForms[page];
        if (form.isInitialized())
            return form;
        const auto makeForm = [&] {
            auto xobject = pdf.newStream(std::string());
            xobject.replaceDict(
                Handle::parse("<< /Type /XObject /Subtype /Form /BBox [0 0 10 10] >>"));
            return xobject;
        };
        auto outer = makeForm();
        form = makeForm();
        outer.getDict().replaceKey("/Resources", Handle::parse("<< /XObject << >> >>"));
        outer.getDict().getKey("/Resources").getKey("/XObject").replaceKey("/Fm1", form);
        auto pageObject = pageList.at(static_cast<std::size_t>(page - 1)).getObjectHandle();
        auto resources = pageObject.getKey("/Resources");
        resources.replaceKey("/XObject", Handle::newDictionary());
        resources.getKey("/XObject").replaceKey("/Fm0", outer);
        return form;
    };

    Entries treeEntries;
    int hidden = 0;
    std::vector<Handle> specs;
    for (const auto &file : document.files) {
        auto spec = fileSpec(pdf, file);
        if (file.streamOf >= 0)
            spec.getKey("/EF").replaceKey(
                "/F", specs.at(static_cast<std::size_t>(file.streamOf)).getKey("/EF").getKey("/F"));
        specs.push_back(spec);
        const auto reference = [&] { return file.direct ? spec.shallowCopy() : spec; };
        if (file.unreferenced) {
            pdf.getRoot().replaceKey("/QuenlithHidden" + std::to_string(++hidden),
                file.bareStream ? spec.getKey("/EF").getKey("/F") : reference());
        }
        for (const auto &owner : file.afOwners) {
            const auto space = owner.find(' ');
            const int page = space == std::string::npos ? 0 : std::stoi(owner.substr(space + 1));
            const auto kind = owner.substr(0, space);
            if (kind == "catalog") {
                appendTo(pdf.getRoot(), "/AF", reference());
            } else if (kind == "structure" && deepestElement.isInitialized()) {
                appendTo(deepestElement, "/AF", reference());
            } else if (page >= 1 && page <= document.pages) {
                auto pageObject = pageList.at(static_cast<std::size_t>(page - 1)).getObjectHandle();
                if (kind == "page") {
                    appendTo(pageObject, "/AF", reference());
                } else if (kind == "annotation") {
                    auto annot = pdf.makeIndirectObject(
                        Handle::parse("<< /Type /Annot /Subtype /Text /Rect [0 0 9 9] >>"));
                    appendTo(annot, "/AF", reference());
                    appendTo(pageObject, "/Annots", annot);
                } else if (kind == "xobject") {
                    appendTo(formOf(page).getDict(), "/AF", reference());
                }
            }
        }
        for (const auto &key : file.treeKeys)
            treeEntries.emplace_back(key, reference());
        for (int page : file.annotationPages) {
            if (page < 1 || page > document.pages)
                continue;
            auto annot = pdf.makeIndirectObject(
                Handle::parse("<< /Type /Annot /Subtype /FileAttachment /Rect [10 10 30 30] >>"));
            annot.replaceKey("/FS", reference());
            auto pageObject = pageList.at(static_cast<std::size_t>(page - 1)).getObjectHandle();
            if (!pageObject.getKey("/Annots").isArray())
                pageObject.replaceKey("/Annots", Handle::newArray());
            pageObject.getKey("/Annots").appendItem(annot);
        }
    }
    if (document.nullTreeEntry)
        treeEntries.emplace_back("null entry", Handle::newNull());
    if (!treeEntries.empty()) {
        auto tree = nameTree(pdf, treeEntries, 0, treeEntries.size(), document.treeFanout);
        tree.removeKey("/Limits"); // the root has none
        pdf.getRoot().replaceKey("/Names", Handle::newDictionary({ { "/EmbeddedFiles", tree } }));
    }

    if (!document.metadata.empty()) {
        auto metadata = pdf.newStream(
            document.metadataCompressed ? deflate(document.metadata) : document.metadata);
        metadata.getDict().replaceKey("/Type", Handle::newName("/Metadata"));
        metadata.getDict().replaceKey("/Subtype", Handle::newName("/XML"));
        if (document.metadataCompressed)
            metadata.getDict().replaceKey("/Filter", Handle::newName("/FlateDecode"));
        pdf.getRoot().replaceKey("/Metadata", metadata);
    }

    QPDFWriter writer(pdf, path.c_str());
    keepStreamsAsStored(writer);
    const char *user = document.userPassword.c_str();
    const char *owner = document.ownerPassword.c_str();
    if (document.encryption == Encryption::Aes256) {
        writer.setR6EncryptionParameters(
            user, owner, true, false, false, false, false, false, qpdf_r3p_none, true);
    } else if (document.encryption != Encryption::None) {
        const bool aes = document.encryption == Encryption::Aes128;
        writer.setR4EncryptionParametersInsecure(
            user, owner, true, false, false, false, false, false, qpdf_r3p_none, true, aes);
    }
    writer.write();
}

namespace {

std::string rc4(const std::string &key, const std::string &data)
{
    auto crypto = QPDFCryptoProvider::getImpl();
    crypto->RC4_init(
        reinterpret_cast<const unsigned char *>(key.data()), static_cast<int>(key.size()));
    std::string out(data.size(), '\0');
    crypto->RC4_process(reinterpret_cast<const unsigned char *>(data.data()),
        data.size(),
        reinterpret_cast<unsigned char *>(out.data()));
    crypto->RC4_finalize();
    return out;
}

// AES-CBC with the initialization vector first and PKCS#5 padding (ISO 32000-1 7.6.2).
std::string aesCbc(const std::string &key, const std::string &data, unsigned seed)
{
    auto crypto = QPDFCryptoProvider::getImpl();
    unsigned char chain[16];
    for (unsigned i = 0; i < sizeof(chain); ++i)
        chain[i] = static_cast<unsigned char>(seed * 31 + i * 7);
    std::string out(reinterpret_cast<const char *>(chain), sizeof(chain));
    std::string padded = data;
    padded.append(16 - data.size() % 16, static_cast<char>(16 - data.size() % 16));
    crypto->rijndael_init(
        true, reinterpret_cast<const unsigned char *>(key.data()), key.size(), true, chain);
    unsigned char block[16];
    for (std::size_t at = 0; at < padded.size(); at += 16) {
        std::memcpy(block, padded.data() + at, 16);
        unsigned char encrypted[16];
        crypto->rijndael_process(block, encrypted);
        out.append(reinterpret_cast<const char *>(encrypted), 16);
    }
    crypto->rijndael_finalize();
    return out;
}

} // namespace

void encryptAttachments(const std::string &path, const AttachmentEncryption &encryption)
{
    using Method = AttachmentEncryption::Method;
    std::string bytes = readFile(path);
    QPDF pdf;
    pdf.processMemoryFile(path.c_str(), bytes.data(), bytes.size());
    auto trailer = pdf.getTrailer();
    const std::string id1 = trailer.getKey("/ID").getArrayItem(0).getStringValue();
    const int P = -4;
    const char *user = encryption.userPassword.c_str();
    const char *owner = encryption.ownerPassword.c_str();
    std::string key, O, U, OE, UE, Perms, cfm;
    Handle dict;
    if (encryption.method == Method::Aes256) {
        QPDF::compute_encryption_parameters_V5(
            user, owner, 5, 6, 32, P, true, id1, key, O, U, OE, UE, Perms);
        dict = Handle::parse("<< /Filter /Standard /V 5 /R 6 /Length 256 >>");
        dict.replaceKey("/OE", rawString(OE));
        dict.replaceKey("/UE", rawString(UE));
        dict.replaceKey("/Perms", rawString(Perms));
        cfm = "/AESV3";
    } else {
        QPDF::compute_encryption_O_U(user, owner, 4, 4, 16, P, true, id1, O, U);
        key = QPDF::compute_encryption_key(
            user, QPDF::EncryptionData(4, 4, 16, P, O, U, "", "", "", id1, true));
        // The defaults of /StmF and /StrF are /Identity; AES-256 documents leave them out.
        dict = Handle::parse("<< /Filter /Standard /V 4 /R 4 /Length 128 /StrF /Identity >>");
        dict.replaceKey("/StmF", Handle::newName(encryption.streamFilter));
        cfm = encryption.method == Method::Rc4 ? "/V2" : "/AESV2";
    }
    dict.replaceKey("/P", Handle::newInteger(P));
    dict.replaceKey("/O", rawString(O));
    dict.replaceKey("/U", rawString(U));
    dict.replaceKey("/CF",
        Handle::parse("<< /StdCF << /AuthEvent /DocOpen /CFM " + cfm + " /Length "
            + std::to_string(encryption.method == Method::Aes256 ? 32 : 16) + " >> >>"));
    if (!encryption.cryptFilterOnStreams)
        dict.replaceKey("/EFF", Handle::newName("/StdCF"));

    // An update (ISO 32000-1 7.5.6): the streams again, encrypted, then the /Encrypt dictionary.
    std::string update = "\n";
    std::vector<std::pair<int, std::size_t>> offsets;
    int maxObject = 0;
    for (auto &object : pdf.getAllObjects()) {
        maxObject = std::max(maxObject, object.getObjectID());
        if (!object.isStream()
            || !object.getDict().getKey("/Type").isNameAndEquals("/EmbeddedFile"))
            continue;
        const auto raw = object.getRawStreamData();
        const std::string data(reinterpret_cast<const char *>(raw->getBuffer()), raw->getSize());
        std::string stored = data;
        if (!encryption.storedInClear) {
            const bool aes = encryption.method != Method::Rc4;
            const auto objectKey = QPDF::compute_data_key(key,
                object.getObjectID(),
                object.getGeneration(),
                aes,
                encryption.method == Method::Aes256 ? 5 : 4,
                encryption.method == Method::Aes256 ? 6 : 4);
            stored = aes ? aesCbc(objectKey, data, static_cast<unsigned>(object.getObjectID()))
                         : rc4(objectKey, data);
        }
        stored.resize(stored.size() - std::min(stored.size(), encryption.truncateBy));
        auto streamDict = object.getDict().shallowCopy();
        streamDict.replaceKey("/Length", Handle::newInteger(static_cast<long long>(stored.size())));
        if (encryption.cryptFilterOnStreams) {
            auto filters = Handle::newArray();
            auto parms = Handle::newArray();
            filters.appendItem(Handle::newName("/Crypt"));
            parms.appendItem(Handle::parse("<< /Type /CryptFilterDecodeParms /Name /StdCF >>"));
            auto filter = streamDict.getKey("/Filter");
            if (filter.isName()) {
                filters.appendItem(filter);
                parms.appendItem(Handle::newNull());
            }
            streamDict.replaceKey("/Filter", filters);
            streamDict.replaceKey("/DecodeParms", parms);
        }
        offsets.emplace_back(object.getObjectID(), bytes.size() + update.size());
        update += std::to_string(object.getObjectID()) + " "
            + std::to_string(object.getGeneration()) + " obj\n" + streamDict.unparse()
            + "\nstream\n" + stored + "\nendstream\nendobj\n";
    }
    const int encryptObject = maxObject + 1;
    offsets.emplace_back(encryptObject, bytes.size() + update.size());
    update += std::to_string(encryptObject) + " 0 obj\n" + dict.unparse() + "\nendobj\n";

    const std::size_t xref = bytes.size() + update.size();
    update += "xref\n0 1\n0000000000 65535 f \n";
    for (const auto &[object, offset] : offsets) {
        char line[32];
        std::snprintf(line, sizeof(line), "%010zu 00000 n \n", offset);
        update += std::to_string(object) + " 1\n" + line;
    }
    const auto previous = bytes.rfind("startxref");
    auto newTrailer = Handle::newDictionary();
    newTrailer.replaceKey("/Size", Handle::newInteger(encryptObject + 1));
    newTrailer.replaceKey("/Root", trailer.getKey("/Root"));
    newTrailer.replaceKey("/ID", trailer.getKey("/ID"));
    newTrailer.replaceKey("/Prev",
        Handle::newInteger(std::stoll(bytes.substr(bytes.find_first_of("0123456789", previous)))));
    std::string trailerText = newTrailer.unparse();
    trailerText.insert(
        trailerText.size() - 2, "/Encrypt " + std::to_string(encryptObject) + " 0 R ");
    update += "trailer\n" + trailerText + "\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    writeAll(path, bytes + update);
}

void deepenNameTree(const std::string &path, int levels, bool loop)
{
    std::string bytes = readFile(path);
    QPDF pdf;
    pdf.processMemoryFile(path.c_str(), bytes.data(), bytes.size());
    auto names = pdf.getRoot().getKey("/Names");
    auto node = names.getKey("/EmbeddedFiles");
    Handle innermost;
    for (int i = 0; i < levels; ++i) {
        node = pdf.makeIndirectObject(
            Handle::newDictionary({ { "/Kids", Handle::newArray({ node }) } }));
        if (i == 0)
            innermost = node;
    }
    if (loop && innermost.isDictionary())
        innermost.getKey("/Kids").appendItem(node);
    names.replaceKey("/EmbeddedFiles", node);
    QPDFWriter writer(pdf, path.c_str());
    keepStreamsAsStored(writer);
    writer.write();
}

void addPortfolio(const std::string &path, const PortfolioFixture &portfolio)
{
    std::string bytes = readFile(path);
    QPDF pdf;
    pdf.processMemoryFile(path.c_str(), bytes.data(), bytes.size());
    const auto folder = [&](std::int64_t id, const std::string &name) {
        auto dict = Handle::parse("<< /Type /Folder /ID " + std::to_string(id) + " >>");
        dict.replaceKey("/Name", rawString(name));
        return pdf.makeIndirectObject(dict);
    };
    const auto root = folder(portfolio.rootId, portfolio.rootName);
    std::vector<Handle> folders;
    std::vector<Handle> lastChild(portfolio.folders.size() + 1); // [0]: the root's
    for (const FolderFixture &fixture : portfolio.folders) {
        folders.push_back(folder(fixture.id, fixture.name));
        const auto parentSlot = static_cast<std::size_t>(fixture.parent + 1);
        Handle parent = fixture.parent < 0 ? root : folders.at(parentSlot - 1);
        folders.back().replaceKey("/Parent", parent);
        if (lastChild[parentSlot].isInitialized())
            lastChild[parentSlot].replaceKey("/Next", folders.back());
        else
            parent.replaceKey("/Child", folders.back());
        lastChild[parentSlot] = folders.back();
    }
    for (std::size_t i = 0; i < portfolio.folders.size(); ++i) {
        if (portfolio.folders[i].childLoop >= 0)
            folders[i].replaceKey(
                "/Child", folders.at(static_cast<std::size_t>(portfolio.folders[i].childLoop)));
    }
    auto collection = Handle::parse("<< /Type /Collection >>");
    collection.replaceKey("/Folders", root);
    pdf.getRoot().replaceKey("/Collection", collection);
    QPDFWriter writer(pdf, path.c_str());
    keepStreamsAsStored(writer);
    writer.write();
}

void breakXref(const std::string &path)
{
    std::string bytes = readFile(path);
    const auto xref = bytes.rfind("\nxref");
    const auto trailer = bytes.find("trailer", xref == std::string::npos ? 0 : xref);
    if (xref != std::string::npos && trailer != std::string::npos) {
        // Entries are "oooooooooo ggggg n": point every in-use entry at offset 7.
        for (auto at = bytes.find(" n", xref); at < trailer; at = bytes.find(" n", at + 2)) {
            if (at >= 16 && bytes[at - 6] == ' ')
                bytes.replace(at - 16, 10, "0000000007");
        }
    }
    const auto number = bytes.find_first_of("0123456789", bytes.rfind("startxref"));
    const auto end = bytes.find_first_not_of("0123456789", number);
    if (number != std::string::npos && end != std::string::npos)
        bytes.replace(number, end - number, std::string(end - number, '1'));
    writeAll(path, bytes);
}

std::string objectsPdf(const std::vector<std::string> &objects)
{
    std::string out = "%PDF-1.7\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        const std::string digits = std::to_string(offset);
        out += std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
    }
    return out + "trailer\n<< /Size " + std::to_string(objects.size() + 1)
        + " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

std::string noise(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char &c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

void truncateFile(const std::string &path, std::uintmax_t size)
{
    std::filesystem::resize_file(path, size);
}

bool patchFile(const std::string &path, const std::string &from, const std::string &to)
{
    std::string bytes = readFile(path);
    const auto at = bytes.find(from);
    if (at == std::string::npos || from.size() != to.size())
        return false;
    writeAll(path, bytes.replace(at, from.size(), to));
    return true;
}

FileSpecFixture treeFile(const std::string &key, const std::string &data, const std::string &name)
{
    FileSpecFixture spec;
    spec.data = data;
    if (!name.empty())
        spec.names = { { "/UF", utf16be(name) }, { "/F", name } };
    spec.treeKeys = { key };
    return spec;
}

std::vector<FolderFixture> folderChain(int levels, const std::string &stem)
{
    std::vector<FolderFixture> folders;
    for (int n = 1; n <= levels; ++n)
        folders.push_back({ n, stem + std::to_string(n), n - 2, -1 });
    return folders;
}

std::string folderChainPath(int levels, const std::string &stem)
{
    std::string path;
    for (int n = 1; n <= levels; ++n)
        path += (n == 1 ? "" : "/") + stem + std::to_string(n);
    return path;
}

} // namespace quenlith::fixtures
