#include "extract/pdf/PdfTextDecoder.h"
#include "extract/pdf/QpdfDocument.h"

#include <algorithm>
#include <climits>
#include <string_view>

// The listing of a document's embedded files (ISO 32000-1 7.11): the name tree, file attachment
// annotations, associated files, portfolio folders, and the streams that nothing lists.

namespace quenlith {

namespace {

// Deeper trees than this are treated as damaged: real documents nest a few levels only, and a
// bound keeps hostile input from exhausting the stack.
constexpr int maxTreeDepth = 256;
// The name tree is walked without recursion: its bound only stops absurd documents (qpdf itself
// reads trees this deep).
constexpr int maxNameTreeDepth = 100000;
// Form XObjects inside form XObjects: real documents nest a few.
constexpr int maxXObjectDepth = 16;
// Structure trees hold an element per tagged paragraph or span, so far more than other trees;
// the walk stops after this many nodes, warning, so that a hostile tree ends quickly.
constexpr std::size_t maxStructureNodes = 1000000;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Reads `count` decimal digits at `at` into `value`; false when they are not all digits.
bool readDigits(std::string_view text, std::size_t &at, std::size_t count, int &value)
{
    if (text.size() - at < count)
        return false;
    value = 0;
    for (std::size_t end = at + count; at < end; ++at) {
        if (text[at] < '0' || text[at] > '9')
            return false;
        value = value * 10 + (text[at] - '0');
    }
    return true;
}

// Seconds since 1970 UTC of a PDF date (ISO 32000-1 7.9.4), or INT64_MIN when invalid:
// "D:YYYYMMDDHHmmSSOHH'mm'", where every field after the year may be left out (month and day
// default to 1, the rest to 0, a missing offset to UTC) and the prefix "D:", which some writers
// forget, too. Parsed here rather than by QUtil, whose regular expression took a noticeable
// share of listing small documents.
std::int64_t parsePdfDate(std::string_view text)
{
    if (text.substr(0, 2) == "D:")
        text.remove_prefix(2);
    std::size_t at = 0;
    int year = 0;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int offset = 0; // minutes ahead of UTC
    if (!readDigits(text, at, 4, year))
        return INT64_MIN;
    // Each optional field is present only when the one before it is.
    for (int *field : { &month, &day, &hour, &minute, &second }) {
        if (at == text.size() || text[at] < '0' || text[at] > '9')
            break;
        if (!readDigits(text, at, 2, *field))
            return INT64_MIN;
    }
    if (at < text.size()) {
        const char sign = text[at++];
        if (sign == 'Z') {
            // "Z00'00'" and "Z00'00" appear in the wild: zero offsets after Z are accepted.
            if (text.find_first_not_of("0'", at) != std::string_view::npos)
                return INT64_MIN;
        } else if (sign == '+' || sign == '-') {
            int hours = 0;
            int minutes = 0;
            if (!readDigits(text, at, 2, hours))
                return INT64_MIN;
            if (at < text.size() && text[at] == '\'')
                ++at;
            if (at < text.size() && !readDigits(text, at, 2, minutes))
                return INT64_MIN;
            if (at < text.size() && text[at] == '\'')
                ++at;
            if (at != text.size() || hours > 23 || minutes > 59)
                return INT64_MIN;
            offset = (sign == '+' ? 1 : -1) * (hours * 60 + minutes);
        } else {
            return INT64_MIN;
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return INT64_MIN;
    const std::int64_t days
        = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 86400 + hour * 3600 + minute * 60 + second - std::int64_t { offset } * 60;
}

std::string textOf(QPDFObjectHandle dict, const char *key)
{
    auto value = dict.getKey(key);
    return value.isString() ? PdfTextDecoder::toUtf8(value.getStringValue()) : std::string();
}

// What the embedded file stream itself declares: its MIME type, filters and /Params.
void readStreamInfo(QPDFObjectHandle stream, Attachment &info)
{
    if (stream.isIndirect()) {
        const QPDFObjGen id = stream.getObjGen();
        info.dataIdentity
            = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(id.getObj())) << 32)
            | static_cast<std::uint32_t>(id.getGen());
    }
    auto dict = stream.getDict();
    auto subtype = dict.getKey("/Subtype");
    if (subtype.isName() && subtype.getName().size() > 1)
        info.mimeType = PdfTextDecoder::toUtf8(subtype.getName().substr(1));
    auto filter = dict.getKey("/Filter");
    if (filter.isName())
        info.filters.push_back(filter.getName());
    for (int i = 0; filter.isArray() && i < filter.getArrayNItems(); ++i) {
        if (filter.getArrayItem(i).isName())
            info.filters.push_back(filter.getArrayItem(i).getName());
    }
    auto params = dict.getKey("/Params");
    if (!params.isDictionary())
        return;
    auto size = params.getKey("/Size");
    if (size.isInteger() && size.getIntValue() >= 0)
        info.declaredSize = size.getIntValue();
    auto modDate = params.getKey("/ModDate");
    if (modDate.isString())
        info.modTime = parsePdfDate(modDate.getStringValue());
    auto creationDate = params.getKey("/CreationDate");
    if (creationDate.isString())
        info.createdTime = parsePdfDate(creationDate.getStringValue());
    auto checksum = params.getKey("/CheckSum");
    if (checksum.isString() && checksum.getStringValue().size() == 16)
        info.declaredChecksum = checksum.getStringValue();
}

bool hasName(QPDFObjectHandle dict, const char *key, const char *name)
{
    auto value = dict.getKey(key);
    return value.isName() && value.getName() == name;
}

} // namespace

std::vector<EmbeddedStream> embeddedStreams(QPDFObjectHandle spec)
{
    std::vector<EmbeddedStream> found;
    if (!spec.isDictionary())
        return found; // null, or a plain string naming an external file
    auto ef = spec.getKey("/EF");
    if (!ef.isDictionary())
        return found; // names an external file only
    // /F and /UF hold the file itself, named as any file; the others hold the variant for one
    // platform (ISO 32000-1 table 44), named by that platform's entry first.
    static constexpr std::pair<const char *, const char *> entries[] = {
        { "/F", nullptr },
        { "/UF", nullptr },
        { "/Unix", "/Unix" },
        { "/DOS", "/DOS" },
        { "/Mac", "/Mac" },
    };
    for (const auto &[key, nameKey] : entries) {
        auto stream = ef.getKey(key);
        if (stream.isStream()
            && std::none_of(found.begin(), found.end(), [&](const EmbeddedStream &known) {
                   return known.stream.getObjGen() == stream.getObjGen();
               }))
            found.push_back({ stream, nameKey });
    }
    return found;
}

void Document::Impl::list()
{
    auto root = pdf->getRoot();
    // Before the name tree, whose keys refer to the folders.
    portfolio = PortfolioFolders::read(
        root.getKey("/Collection"), [this](std::string text) { warn(std::move(text)); });
    try {
        auto names = root.getKey("/Names");
        if (names.isDictionary())
            walkNameTree(names.getKey("/EmbeddedFiles"));
    } catch (std::exception &e) {
        damage(std::string("the EmbeddedFiles name tree is unreadable: ") + e.what());
    }
    try {
        std::set<QPDFObjGen> visited;
        int page = 0;
        walkPageTree(root.getKey("/Pages"), 0, visited, page);
    } catch (std::exception &e) {
        warn(std::string("page tree unreadable: ") + e.what());
    }
    walkAssociatedFiles();
    try {
        walkStructureTree(root.getKey("/StructTreeRoot"));
    } catch (std::exception &e) {
        warn(std::string("structure tree unreadable: ") + e.what());
    }
    if (boundReached)
        searchPastBounds();
}

// Associated files (ISO 32000-2 14.13): those of the whole document, then page by page those of
// the page, its annotations and its forms.
void Document::Impl::walkAssociatedFiles()
{
    addAssociatedFiles(pdf->getRoot(), "catalog");
    // Each array and dictionary is searched once, for the first page that reaches it, however
    // many pages share it: the search grows with the document, not with pages times forms.
    std::set<QPDFObjGen> visited;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        checkStop();
        const std::string page = "page " + std::to_string(i + 1);
        auto pageObject = pages[i];
        addAssociatedFiles(pageObject, page);
        try {
            auto annots = pageObject.getKey("/Annots");
            if (annots.isArray()
                && (!annots.isIndirect() || visited.insert(annots.getObjGen()).second)) {
                const std::string owner = "annotation on " + page;
                const int n = annots.getArrayNItems();
                for (int a = 0; a < n; ++a) {
                    checkStop();
                    addAssociatedFiles(annots.getArrayItem(a), owner);
                }
            }
            // Resources may be inherited from the page tree (ISO 32000-1 7.7.3.4).
            auto node = pageObject;
            for (int depth = 0; depth <= maxTreeDepth && node.isDictionary(); ++depth) {
                if (node.hasKey("/Resources")) {
                    walkXObjects(node.getKey("/Resources"), "xobject on " + page, 0, visited);
                    break;
                }
                node = node.getKey("/Parent");
            }
        } catch (std::exception &e) {
            warn("associated files of " + page + " unreadable: " + e.what());
        }
    }
}

// The associated files that the walks did not reach for their bounds: those of every object
// with an /AF array, its owner named by its kind (the page it is on is not known).
void Document::Impl::searchPastBounds()
{
    try {
        for (auto &object : unlistedCandidates({ "/AF" })) {
            checkStop();
            auto dict = object.isStream() ? object.getDict() : object;
            if (!dict.isDictionary() || !dict.getKey("/AF").isArray())
                continue;
            addAssociatedFiles(dict,
                object.isStream()       ? std::string("xobject")
                    : dict.hasKey("/S") ? std::string("structure element")
                                        : "object " + std::to_string(object.getObjectID()));
        }
        warn("associated files past the search bounds (forms nested too deep, structure "
             "trees too large) were looked for among all objects");
    } catch (std::exception &e) {
        warn(std::string("associated files past the search bounds may be missing: objects "
                         "unreadable: ")
            + e.what());
        listingComplete = false;
    }
}

void Document::Impl::addAssociatedFiles(QPDFObjectHandle owner, const std::string &ownerName)
{
    try {
        if (!owner.isDictionary())
            return;
        auto af = owner.getKey("/AF");
        if (!af.isArray())
            return;
        const int n = af.getArrayNItems();
        for (int i = 0; i < n; ++i)
            addFileSpec(af.getArrayItem(i),
                std::string(),
                0,
                Attachment::Origin::AssociatedFile,
                ownerName);
    } catch (std::exception &e) {
        warn("associated files of the " + ownerName + " unreadable: " + e.what());
    }
}

void Document::Impl::walkXObjects(QPDFObjectHandle resources,
    const std::string &ownerName,
    int depth,
    std::set<QPDFObjGen> &visited)
{
    if (!resources.isDictionary()
        || (resources.isIndirect() && !visited.insert(resources.getObjGen()).second))
        return; // shared with a page or form searched before
    auto xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary()
        || (xobjects.isIndirect() && !visited.insert(xobjects.getObjGen()).second))
        return;
    if (depth > maxXObjectDepth) {
        boundReached = true;
        return;
    }
    for (const auto &name : xobjects.getKeys()) {
        checkStop();
        auto xobject = xobjects.getKey(name);
        if (!xobject.isStream() || !visited.insert(xobject.getObjGen()).second)
            continue; // a form shared by several pages belongs to the first
        auto dict = xobject.getDict();
        if (!hasName(dict, "/Subtype", "/Form"))
            continue;
        addAssociatedFiles(dict, ownerName);
        walkXObjects(dict.getKey("/Resources"), ownerName, depth + 1, visited);
    }
}

void Document::Impl::walkStructureTree(QPDFObjectHandle root)
{
    if (!root.isDictionary())
        return;
    // Depth first in document order, without recursion: trees from tagging tools can be deep.
    std::vector<std::pair<QPDFObjectHandle, int>> pending { { root.getKey("/K"), 0 } };
    std::set<QPDFObjGen> visited;
    std::size_t nodes = 0;
    while (!pending.empty()) {
        checkStop();
        if (++nodes > maxStructureNodes) {
            warn("structure tree too large: the rest is not walked for associated files");
            boundReached = true;
            return;
        }
        auto [node, depth] = std::move(pending.back());
        pending.pop_back();
        if (!(node.isArray() || node.isDictionary()))
            continue; // a marked-content number, or null
        if (depth > maxTreeDepth) {
            boundReached = true;
            continue;
        }
        if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
            continue; // a loop or a shared node
        if (node.isArray()) { // the kids of one element: one level
            for (int i = node.getArrayNItems() - 1; i >= 0; --i)
                pending.emplace_back(node.getArrayItem(i), depth);
            continue;
        }
        // Marked-content and object references are leaves, not structure elements.
        if (hasName(node, "/Type", "/MCR") || hasName(node, "/Type", "/OBJR"))
            continue;
        addAssociatedFiles(node, "structure element");
        pending.emplace_back(node.getKey("/K"), depth + 1);
    }
}

void Document::Impl::walkNameTree(QPDFObjectHandle root)
{
    // Depth first with a stack of its own, in tree order, so that the bound can be generous.
    std::set<QPDFObjGen> visited;
    std::vector<std::pair<QPDFObjectHandle, int>> pending { { root, 0 } };
    while (!pending.empty()) {
        checkStop();
        auto [node, depth] = std::move(pending.back());
        pending.pop_back();
        if (!node.isDictionary())
            continue;
        if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
            continue; // a loop or a shared node: each node counts once
        auto names = node.getKey("/Names");
        if (names.isArray()) {
            const int n = names.getArrayNItems();
            for (int i = 0; i + 1 < n; i += 2) {
                try {
                    auto key = names.getArrayItem(i);
                    addFileSpec(names.getArrayItem(i + 1),
                        key.isString() ? PdfTextDecoder::toUtf8(key.getStringValue())
                                       : std::string(),
                        0,
                        Attachment::Origin::Names);
                } catch (std::exception &e) {
                    damage("an embedded file entry is unreadable: " + std::string(e.what()));
                }
            }
        }
        auto kids = node.getKey("/Kids");
        if (!kids.isArray() || kids.getArrayNItems() == 0)
            continue;
        if (depth + 1 >= maxNameTreeDepth) { // the kids would be one level too deep
            damage("the EmbeddedFiles name tree is deeper than " + std::to_string(maxNameTreeDepth)
                + " levels");
            continue;
        }
        for (int i = kids.getArrayNItems() - 1; i >= 0; --i)
            pending.emplace_back(kids.getArrayItem(i), depth + 1);
    }
}

void Document::Impl::walkPageTree(
    QPDFObjectHandle node, int depth, std::set<QPDFObjGen> &visited, int &page)
{
    checkStop();
    if (depth > maxTreeDepth || !node.isDictionary())
        return;
    if (node.isIndirect() && !visited.insert(node.getObjGen()).second)
        return;
    auto kids = node.getKey("/Kids");
    if (kids.isArray()) { // a /Pages node (ISO 32000-1 7.7.3.2)
        const int n = kids.getArrayNItems();
        for (int i = 0; i < n; ++i)
            walkPageTree(kids.getArrayItem(i), depth + 1, visited, page);
        return;
    }
    ++page;
    pages.push_back(node);
    try {
        auto annots = node.getKey("/Annots");
        if (!annots.isArray()
            || (annots.isIndirect() && !visited.insert(annots.getObjGen()).second))
            return; // none, or shared with a page before
        const int n = annots.getArrayNItems();
        for (int i = 0; i < n; ++i) {
            auto annot = annots.getArrayItem(i);
            if (!annot.isDictionary())
                continue;
            auto subtype = annot.getKey("/Subtype");
            if (subtype.isName() && subtype.getName() == "/FileAttachment")
                addFileSpec(
                    annot.getKey("/FS"), std::string(), page, Attachment::Origin::Annotation);
        }
    } catch (std::exception &e) {
        warn("annotations of page " + std::to_string(page) + " unreadable: " + e.what());
    }
}

void Document::Impl::addFileSpec(QPDFObjectHandle spec,
    const std::string &key,
    int page,
    Attachment::Origin origin,
    const std::string &afOwner)
{
    if (!spec.isDictionary() || !spec.getKey("/EF").isDictionary())
        return; // null, a plain string naming an external file, or an external file only
    collectWarnings(); // what comes now is about this file's streams
    std::vector<EmbeddedStream> found = embeddedStreams(spec);
    if (found.empty()) {
        // Listed although the end of a recovered document took its stream, for the writer to
        // tell so.
        QPDFObjectHandle lost = lostStream(spec);
        if (lost.isIndirect())
            found.push_back({ lost, nullptr });
    }
    if (found.empty()) {
        // qpdf gives null, with a warning, for a stream it cannot read (an overflowing number in
        // its dictionary, a /Length that refers to the stream itself).
        const std::string why = collectWarnings();
        if (!why.empty())
            damage("the embedded file of "
                + (!key.empty() ? key
                        : origin == Attachment::Origin::AssociatedFile
                        ? std::string("an associated file")
                        : std::string("an annotation"))
                + " is unreadable: " + why);
        return;
    }
    // A specification reached twice (name tree, annotations, /AF arrays) is one file. A direct
    // specification has no identity of its own: its stream stands for it.
    const QPDFObjGen identity
        = spec.isIndirect() ? spec.getObjGen() : found.front().stream.getObjGen();
    const auto [seen, isNew] = seenSpecs.emplace(identity, std::pair(streams.size(), found.size()));
    if (!isNew) {
        const auto [first, count] = seen->second;
        for (std::size_t at = first; at < first + count; ++at) {
            auto &known = at < listed.size() ? listed[at] : unlisted[at - listed.size()];
            if (known.afOwner.empty())
                known.afOwner = afOwner;
        }
        return;
    }
    Attachment info;
    info.key = key;
    info.page = page;
    info.origin = origin;
    info.afOwner = afOwner;
    info.name = key; // when the specification gives no name (ISO 32000-1 7.11.3)
    if (origin == Attachment::Origin::Names)
        placeInPortfolio(info);
    for (const char *name : { "/UF", "/F", "/Unix", "/DOS", "/Mac" }) {
        auto value = spec.getKey(name);
        if (value.isString()) {
            info.name = PdfTextDecoder::toUtf8(value.getStringValue());
            break;
        }
    }
    info.description = textOf(spec, "/Desc");
    auto relationship = spec.getKey("/AFRelationship");
    if (relationship.isName() && relationship.getName().size() > 1)
        info.afRelationship = PdfTextDecoder::toUtf8(relationship.getName().substr(1));
    // Each platform variant is a file of its own, checked against its own /Params.
    for (const auto &[stream, nameKey] : found) {
        Attachment variant = info;
        auto name = nameKey != nullptr ? spec.getKey(nameKey) : QPDFObjectHandle();
        if (name.isString())
            variant.name = PdfTextDecoder::toUtf8(name.getStringValue());
        if (nameKey != nullptr && &stream != &found.front().stream)
            variant.platform = nameKey + 1;
        add(std::move(variant), stream);
    }
}

void Document::Impl::add(Attachment attachment, QPDFObjectHandle stream)
{
    if (stream.isStream())
        readStreamInfo(stream, attachment);
    attachment.position = static_cast<int>(streams.size() + 1);
    streams.push_back(stream);
    growing().push_back(std::move(attachment));
}

void Document::Impl::placeInPortfolio(Attachment &info)
{
    std::int64_t id = 0;
    std::string_view rest;
    if (!portfolio.hasFolders() || !splitFolderKey(info.key, id, rest))
        return;
    switch (portfolio.find(id, info.folderPath)) {
    case PortfolioFolders::Lookup::Found:
    case PortfolioFolders::Lookup::OutOfBounds: // at the top, warned about once for the tree
        break;
    case PortfolioFolders::Lookup::Unknown:
        warn("the embedded file \"" + info.key + "\" refers to portfolio folder "
            + std::to_string(id) + ", which the document does not have: it is placed at the top");
        return;
    }
    info.origin = Attachment::Origin::Portfolio;
    info.name = std::string(rest);
    for (std::size_t i = 0; i < info.folderPath.size(); ++i)
        info.folder += (i == 0 ? "" : "/") + info.folderPath[i];
}

// The objects that may hold one of `names` (as a prefix: "/AF" also finds "/AFRelationship"):
// every object of a large file (few objects beside its big streams); else, since reading every
// object would cost more than the listing itself, only the objects whose bytes hold one of them,
// each one found by its offset, and every object inside object streams, whose bytes are
// compressed.
std::vector<QPDFObjectHandle> Document::Impl::unlistedCandidates(
    std::initializer_list<std::string_view> names)
{
    if (!contents)
        return pdf->getAllObjects();
    std::vector<std::pair<qpdf_offset_t, QPDFObjGen>> byOffset;
    std::set<QPDFObjGen> candidates;
    for (const auto &[objGen, entry] : pdf->getXRefTable()) {
        if (entry.getType() == 1)
            byOffset.emplace_back(entry.getOffset(), objGen);
        else if (entry.getType() == 2)
            candidates.insert(objGen);
    }
    std::sort(byOffset.begin(), byOffset.end());
    const std::string_view bytes(contents.get(), contentsSize);
    for (const std::string_view name : names) {
        for (auto at = bytes.find(name); at != std::string_view::npos;
             at = bytes.find(name, at + name.size())) {
            checkStop();
            const auto after = std::upper_bound(byOffset.begin(),
                byOffset.end(),
                static_cast<qpdf_offset_t>(at),
                [](qpdf_offset_t offset, const auto &object) { return offset < object.first; });
            if (after != byOffset.begin())
                candidates.insert(std::prev(after)->second);
        }
    }
    std::vector<QPDFObjectHandle> objects;
    objects.reserve(candidates.size());
    for (const auto &objGen : candidates)
        objects.push_back(pdf->getObjectByObjGen(objGen));
    return objects;
}

void Document::Impl::findUnlisted()
{
    if (unlistedFound || !pdf)
        return;
    unlistedFound = true;
    try {
        std::vector<QPDFObjectHandle> specs;
        std::vector<QPDFObjectHandle> bare;
        for (auto &object : unlistedCandidates({ "/EF", "/EmbeddedFile" })) {
            checkStop();
            if (object.isStream()) {
                if (hasName(object.getDict(), "/Type", "/EmbeddedFile"))
                    bare.push_back(object);
            } else if (object.isDictionary() && object.getKey("/EF").isDictionary()) {
                specs.push_back(object);
            }
        }
        // Specifications first, so that a stream that has one gets its name.
        std::set<QPDFObjGen> reached;
        for (const auto &stream : streams)
            reached.insert(stream.getObjGen());
        for (auto &spec : specs) {
            checkStop();
            if (seenSpecs.count(spec.getObjGen()) != 0)
                continue; // listed: its streams are reached already
            const auto found = embeddedStreams(spec);
            if (!found.empty() && reached.count(found.front().stream.getObjGen()) == 0)
                addFileSpec(spec, std::string(), 0, Attachment::Origin::Unlisted);
            for (const auto &variant : found)
                reached.insert(variant.stream.getObjGen());
        }
        for (auto &stream : bare) {
            checkStop();
            if (!reached.insert(stream.getObjGen()).second)
                continue;
            Attachment info;
            info.origin = Attachment::Origin::Unlisted;
            info.name = "unlisted-" + std::to_string(stream.getObjectID()) + ".bin";
            add(std::move(info), stream);
        }
    } catch (Stopped &) {
        warn("the search for unlisted embedded files was interrupted");
        listingComplete = false;
    } catch (std::exception &e) {
        warn(std::string("objects unreadable while looking for unlisted embedded files: ")
            + e.what());
    }
    collectWarnings();
}

} // namespace quenlith
