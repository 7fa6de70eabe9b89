#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Writes small PDF documents with embedded files for the tests, deterministically, with qpdf.
namespace quenlith::fixtures {

struct Attachment {
    std::string name; // stored as /UF and /F (PDFDocEncoding when it can hold it, else UTF-16BE)
    std::string data; // the file's bytes, stored Flate-compressed, with /Params /Size and /CheckSum
    // Attach through a /FileAttachment annotation on this 1-based page instead of the name tree.
    int annotationPage = 0;
};

// A document of `pages` empty pages whose attachments are in the EmbeddedFiles name tree (key =
// name, made unique with a numeric suffix, keys sorted) or on page annotations, in their order.
void writePdf(const std::string &path, const std::vector<Attachment> &attachments, int pages = 1);

// Raw bytes of PDF text strings in the encodings that documents use for file names.
std::string utf16be(const std::string &utf8); // with byte-order mark, as ISO 32000-1 asks
std::string utf16le(const std::string &utf8); // with byte-order mark, as some writers do
std::string utf8WithBom(const std::string &utf8); // as ISO 32000-2 allows
std::string pdfDoc(const std::string &utf8); // PDFDocEncoding; '?' for what it cannot hold
std::string deflate(const std::string &bytes); // zlib format, as /FlateDecode stores it
std::string brotli(const std::string &bytes); // RFC 7932, as /BrotliDecode stores it

// One file specification (ISO 32000-1 7.11.3) and where the document refers to it.
struct FileSpecFixture {
    std::string data; // the embedded file's decoded bytes, stored Flate-compressed
    // Name keys ("/UF", "/F", "/Unix", "/DOS", "/Mac") with the raw bytes of their strings.
    std::map<std::string, std::string> names;
    std::string description; // raw /Desc bytes; omitted when empty
    std::string mimeType; // /Subtype of the stream, e.g. "text/plain"; omitted when empty
    std::string modDate; // raw /Params /ModDate, e.g. "D:20240501120000Z"; omitted when empty
    std::int64_t size = -1; // /Params /Size; omitted when negative
    std::string checkSum; // raw /Params /CheckSum bytes; omitted when empty
    bool corruptFlate = false; // the stream claims /FlateDecode but holds no zlib data
    // /Filter and /DecodeParms in PDF syntax, e.g. "[/FlateDecode /FooDecode]": when set, `data`
    // is stored as it is under them (encode it first), for hostile streams qpdf never writes.
    std::string filter;
    std::string decodeParms;
    bool embedded = true; // false: no /EF, the specification names an external file only
    bool direct = false; // written as a direct object at each place that refers to it
    std::vector<std::string> treeKeys; // EmbeddedFiles name-tree entries that refer to it
    std::vector<int> annotationPages; // 1-based pages with a /FileAttachment annotation to it
    // Owners of /AF arrays that refer to it: "catalog", "page N", "annotation N" (a /Text
    // annotation on page N), "xobject N" (a form XObject inside a form XObject of page N's
    // resources), "structure" (the deepest structure element, see DocumentFixture).
    std::vector<std::string> afOwners;
    std::string afRelationship; // /AFRelationship without the slash; omitted when empty
    std::string creationDate; // raw /Params /CreationDate; omitted when empty
    // Kept in the document only by a private key of the catalog, which no reader lists: with
    // `bareStream`, the embedded stream alone, without its file specification.
    bool unreferenced = false;
    bool bareStream = false;
    // >= 0: the specification's /EF refers to the embedded stream of files[streamOf] (an
    // earlier one) instead of a stream of its own, as writers do that give one file two names.
    int streamOf = -1;
};

enum class Encryption { None, Aes256, Aes128, Rc4 };

struct DocumentFixture {
    std::vector<FileSpecFixture> files {};
    int pages = 1;
    // 0: the name tree is one flat /Names array; n > 0: nested /Kids with n entries per leaf and
    // n kids per inner node. Entries keep the order of `files` and their keys, sorted or not.
    int treeFanout = 0;
    bool nullTreeEntry = false; // a (key, null) pair after the other entries
    // A /StructTreeRoot whose elements form a chain of this depth when positive; with
    // `structureLoop`, the deepest element's /K refers back to the first one.
    int structureDepth = 0;
    bool structureLoop = false;
    // The catalog's /Metadata stream (an XMP packet) when not empty, Flate-compressed with
    // `metadataCompressed`.
    std::string metadata {};
    bool metadataCompressed = false;
    Encryption encryption = Encryption::None;
    std::string userPassword {}; // empty: the document opens without a password
    std::string ownerPassword = "owner";
};

// The namespaces of the invoice standards' XMP extension schemas.
inline constexpr const char *facturXNamespace
    = "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#";
inline constexpr const char *zugferd1Namespace = "urn:ferd:pdfa:CrossIndustryDocument:invoice:1p0#";
inline constexpr const char *zugferd2Namespace
    = "urn:zugferd:pdfa:CrossIndustryDocument:invoice:2p0#";

// An XMP packet, as invoice writers make it, that declares `fileName` with `level` in the schema
// `uri` under `prefix`: properties as elements, or as attributes of rdf:Description.
std::string invoiceXmp(const std::string &fileName,
    const std::string &level,
    const std::string &uri = facturXNamespace,
    const std::string &prefix = "fx",
    bool attributes = false);

// An invoice XML as writers make it, in `syntax` ("CII", "ZUGFeRD 1.0 CII", "UBL" or "UBL credit
// note") with `guideline`: invoice 471102 (type 380, 381 for the credit note) of 2024-11-15 from
// Lieferant GmbH to Kunde AG, 235.62 EUR with 200.00 due.
std::string invoiceXml(const std::string &syntax, const std::string &guideline);

// Writes `document` with a classic cross-reference table (no object streams), deterministically.
void writeDocument(const std::string &path, const DocumentFixture &document);

// How encryptAttachments encrypts the embedded files of a document (ISO 32000-1 7.6.5).
struct AttachmentEncryption {
    enum class Method { Rc4, Aes128, Aes256 }; // /V2 and /AESV2 with /V 4, /AESV3 with /V 5
    Method method = Method::Rc4;
    std::string userPassword {}; // empty: the document opens without a password
    std::string ownerPassword = "owner";
    bool storedInClear = false; // declares /EFF but leaves the streams' bytes as they are
    // The streams name the crypt filter themselves, /Filter [/Crypt ...] with /Name /StdCF.
    bool cryptFilterOnStreams = false;
    std::size_t truncateBy = 0; // the encrypted data of each stream loses its last bytes
    std::string streamFilter = "/Identity"; // /StmF with /V 4
};

// Encrypts the embedded file streams of an unencrypted document written by writeDocument with
// crypt filter /StdCF through /EFF, the other streams and the strings staying in the clear
// (/StmF and /StrF /Identity): appends an update with the encrypted streams and an /Encrypt
// dictionary, as writers do that protect attachments only and qpdf never writes.
void encryptAttachments(const std::string &path, const AttachmentEncryption &encryption);

// Puts `levels` nodes of a single /Kids entry above the document's EmbeddedFiles name tree; with
// `loop`, the innermost of them also lists the outermost among its kids.
void deepenNameTree(const std::string &path, int levels, bool loop = false);

// One folder of a portfolio (/Collection /Folders, PDF 1.7 extension level 3). A file of it is
// an EmbeddedFiles name-tree entry whose key starts with "<id>" (see FileSpecFixture::treeKeys).
struct FolderFixture {
    std::int64_t id = 0; // /ID
    std::string name; // raw /Name bytes
    int parent = -1; // index of an earlier folder of PortfolioFixture::folders; -1: the root
    int childLoop = -1; // >= 0: /Child refers to that folder (a loop), not to its first sub-folder
};

struct PortfolioFixture {
    std::int64_t rootId = 0;
    std::string rootName = "Portfolio";
    std::vector<FolderFixture> folders; // sub-folders of one folder in this order (/Next chain)
};

// Gives a document written by writeDocument the catalog /Collection with these /Folders.
void addPortfolio(const std::string &path, const PortfolioFixture &portfolio);

// A file specification holding `data` under `key` in the EmbeddedFiles name tree ("<id>name" for
// a file of portfolio folder id), named by `name` (when given) in /UF (UTF-16BE) and /F.
FileSpecFixture treeFile(
    const std::string &key, const std::string &data, const std::string &name = {});

// A chain of `levels` portfolio folders, each inside the one before: folder n has /ID n and the
// name "<stem>n". folderChainPath is the path of its deepest folder, "f1/f2/...".
std::vector<FolderFixture> folderChain(int levels, const std::string &stem = "f");
std::string folderChainPath(int levels, const std::string &stem = "f");

// Overwrites every offset of the file's cross-reference table and its startxref with wrong
// numbers, so that a reader must reconstruct the table from the objects.
void breakXref(const std::string &path);

// A PDF of `objects` (object n is objects[n - 1]; object 1 is the catalog) with a correct classic
// cross-reference table, written by hand for shapes that qpdf would correct or never writes.
std::string objectsPdf(const std::vector<std::string> &objects);

// Deterministic bytes that deflate cannot shrink.
std::string noise(std::size_t size);

// Cuts the file to its first `size` bytes.
void truncateFile(const std::string &path, std::uintmax_t size);

// Replaces the first occurrence of `from` in the file by `to` (same length); false when absent.
bool patchFile(const std::string &path, const std::string &from, const std::string &to);

} // namespace quenlith::fixtures
