#include "extract/pdf/DocumentRecovery.h"

#include "extract/pdf/QpdfJoinedInput.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <iterator>
#include <map>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <set>
#include <sstream>

namespace quenlith {
namespace {

bool isWhite(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

bool isDelimiter(char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{'
        || c == '}' || c == '/' || c == '%';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One token of PDF syntax (ISO 32000-1 7.2); a whole string is one token.
struct Token {
    enum class Kind { Number, Name, Keyword, String, Open, Close, End };
    Kind kind = Kind::End;
    std::size_t begin = 0;
    std::size_t end = 0;
};

class Lexer {
public:
    explicit Lexer(std::string_view bytes)
        : m_bytes(bytes)
    {
    }

    std::size_t skipWhite(std::size_t at) const
    {
        while (at < m_bytes.size()) {
            if (m_bytes[at] == '%') {
                while (at < m_bytes.size() && m_bytes[at] != '\n' && m_bytes[at] != '\r')
                    ++at;
            } else if (isWhite(m_bytes[at])) {
                ++at;
            } else {
                break;
            }
        }
        return at;
    }

    Token next(std::size_t at) const
    {
        at = skipWhite(at);
        Token token { Token::Kind::End, at, at };
        if (at >= m_bytes.size())
            return token;
        const char c = m_bytes[at];
        const auto twin = [&](char d) { return at + 1 < m_bytes.size() && m_bytes[at + 1] == d; };
        if ((c == '<' && twin('<')) || (c == '>' && twin('>'))) {
            token.kind = c == '<' ? Token::Kind::Open : Token::Kind::Close;
            token.end = at + 2;
        } else if (c == '[' || c == ']' || c == '{' || c == '}') {
            token.kind = (c == '[' || c == '{') ? Token::Kind::Open : Token::Kind::Close;
            token.end = at + 1;
        } else if (c == '(') {
            token.kind = Token::Kind::String;
            token.end = endOfString(at);
        } else if (c == '<') {
            token.kind = Token::Kind::String;
            const auto close = m_bytes.find('>', at);
            token.end = close == std::string_view::npos ? m_bytes.size() : close + 1;
        } else {
            std::size_t end = at + 1;
            while (end < m_bytes.size() && !isWhite(m_bytes[end]) && !isDelimiter(m_bytes[end]))
                ++end;
            token.end = end;
            const bool number = std::all_of(m_bytes.begin() + static_cast<std::ptrdiff_t>(at),
                m_bytes.begin() + static_cast<std::ptrdiff_t>(end),
                [](char d) { return isDigit(d) || d == '.' || d == '-' || d == '+'; });
            token.kind = c == '/' ? Token::Kind::Name
                : number          ? Token::Kind::Number
                                  : Token::Kind::Keyword;
        }
        return token;
    }

    std::string_view text(const Token &token) const
    {
        return m_bytes.substr(token.begin, token.end - token.begin);
    }

private:
    std::size_t endOfString(std::size_t at) const
    {
        int depth = 0;
        for (; at < m_bytes.size(); ++at) {
            const char c = m_bytes[at];
            if (c == '\\')
                ++at;
            else if (c == '(')
                ++depth;
            else if (c == ')' && --depth == 0)
                return at + 1;
        }
        return m_bytes.size();
    }

    std::string_view m_bytes;
};

// The value of an object or trailer: the tokens of its outermost dictionary, each inner
// container as one token, and where the value ends.
struct Value {
    std::vector<Token> entries;
    Token last; // "stream", "endobj", the dictionary's end, or End when the bytes ran out
    bool complete = false;
};

// Reads a value from `at`: for an object up to its "stream" or "endobj" keyword (an "obj"
// keyword first means a lost "endobj"), for a trailer up to the end of its dictionary.
Value readValue(const Lexer &lexer, std::size_t at, bool trailer)
{
    Value value;
    int depth = 0;
    Token inner;
    for (;;) {
        Token token = lexer.next(at);
        at = token.end;
        if (token.kind == Token::Kind::End)
            return value;
        if (token.kind == Token::Kind::Open && depth++ == 1)
            inner = token;
        if (token.kind == Token::Kind::Close && --depth == 1) {
            inner.end = token.end;
            value.entries.push_back(inner);
        } else if (depth == 1 && token.kind != Token::Kind::Open) {
            value.entries.push_back(token);
        }
        if (trailer && depth <= 0 && token.kind == Token::Kind::Close) {
            value.last = token;
            value.complete = true;
            return value;
        }
        if (token.kind == Token::Kind::Keyword) {
            const auto word = lexer.text(token);
            if (word == "obj" || (depth > 0 && word == "endobj"))
                return value;
            if (word == "stream" || word == "endobj") {
                value.last = token;
                value.complete = true;
                return value;
            }
        }
    }
}

// The text of the dictionary entry `key` among a value's entries: one token, or "n g R".
std::string_view entry(const Lexer &lexer, const Value &value, std::string_view key)
{
    const auto &e = value.entries;
    for (std::size_t i = 0; i + 1 < e.size(); ++i) {
        if (e[i].kind != Token::Kind::Name || lexer.text(e[i]) != key)
            continue;
        const std::size_t last = i + 3 < e.size() && e[i + 1].kind == Token::Kind::Number
                && e[i + 2].kind == Token::Kind::Number && lexer.text(e[i + 3]) == "R"
            ? i + 3
            : i + 1;
        return lexer.text(Token { Token::Kind::Keyword, e[i + 1].begin, e[last].end });
    }
    return {};
}

struct Reference {
    int number = -1;
    int generation = 0;
};

// "n g R" as a reference; number -1 for anything else.
Reference referenceIn(std::string_view text)
{
    Reference reference;
    std::istringstream in { std::string(text) };
    std::string r;
    if (!(in >> reference.number >> reference.generation >> r) || r != "R" || reference.number <= 0)
        reference.number = -1;
    return reference;
}

struct ObjectHeader {
    int number = -1;
    int generation = 0;
    std::size_t offset = 0; // of the number
    std::size_t body = 0; // just after "obj"
};

bool readInt(std::string_view bytes, std::size_t begin, std::size_t end, int &value)
{
    if (begin >= end || end - begin > 9)
        return false;
    value = 0;
    for (std::size_t i = begin; i < end; ++i)
        value = value * 10 + (bytes[i] - '0');
    return true;
}

// The next "n g obj" at or after `from` that starts a line or follows a delimiter.
// The header "n g <keyword>" whose keyword, `size` bytes, starts at `at`, when the keyword ends
// there and two numbers precede it, found no further back than `from`.
std::optional<ObjectHeader> headerAt(
    std::string_view bytes, std::size_t at, std::size_t size, std::size_t from)
{
    if (at + size < bytes.size() && !isWhite(bytes[at + size]) && !isDelimiter(bytes[at + size]))
        return std::nullopt;
    std::size_t i = at;
    while (i > from && isWhite(bytes[i - 1]))
        --i;
    const std::size_t genEnd = i;
    while (i > from && isDigit(bytes[i - 1]))
        --i;
    const std::size_t genBegin = i;
    while (i > from && isWhite(bytes[i - 1]))
        --i;
    const std::size_t numberEnd = i;
    while (i > from && isDigit(bytes[i - 1]))
        --i;
    ObjectHeader header;
    if (genBegin == genEnd || numberEnd == genBegin || i == numberEnd
        || (i > 0 && !isWhite(bytes[i - 1]) && !isDelimiter(bytes[i - 1]))
        || !readInt(bytes, genBegin, genEnd, header.generation)
        || !readInt(bytes, i, numberEnd, header.number) || header.number <= 0)
        return std::nullopt;
    header.offset = i;
    header.body = at + size;
    return header;
}

// The next "n g obj" at or after `from` that starts a line or follows a delimiter.
std::optional<ObjectHeader> nextHeader(std::string_view bytes, std::size_t from)
{
    for (auto at = bytes.find("obj", from); at != std::string_view::npos;
         at = bytes.find("obj", at + 3))
        if (const auto header = headerAt(bytes, at, 3, from))
            return header;
    return std::nullopt;
}

// The highest number an "n g R" in the bytes refers to, so that the objects added get numbers
// nothing refers to: an attachment whose object was lost must not read one of them.
int highestReference(std::string_view bytes)
{
    int highest = 0;
    std::size_t from = 0;
    for (auto at = bytes.find('R'); at != std::string_view::npos; at = bytes.find('R', at + 1)) {
        if (const auto reference = headerAt(bytes, at, 1, from))
            highest = std::max(highest, reference->number);
        from = at + 1;
    }
    return highest;
}

// A whole object found in the bytes.
struct Found {
    int number = 0;
    int generation = 0;
    std::size_t offset = 0;
    bool objectStream = false;
    bool catalog = false;
    // The standard security handler's dictionary (ISO 32000-1 7.6.3) and its /R.
    bool encryption = false;
    std::string revision;
    // A stream: where its data starts and its /Length as written, checked once every object is
    // known, since an indirect length often follows the stream.
    bool stream = false;
    std::size_t dataStart = 0;
    std::size_t dataEnd = 0; // before the end of line that precedes "endstream"
    std::string length;
    std::string integer; // the object's value when it is a bare integer
};

// A dictionary with these /Type and /Pages entries: a catalog also where /Type was left out.
bool isCatalog(std::string_view type, std::string_view pages)
{
    return type == "/Catalog" || (type.empty() && !pages.empty());
}

struct TrailerKeys {
    std::string root, encrypt, id;

    void takeFrom(const Lexer &lexer, const Value &value)
    {
        for (auto [key, into] : { std::pair { "/Root", &root },
                 std::pair { "/Encrypt", &encrypt },
                 std::pair { "/ID", &id } }) {
            const auto text = entry(lexer, value, key);
            if (!text.empty())
                *into = std::string(text);
        }
    }
};

struct Scan {
    std::vector<Found> objects; // in file order
    std::vector<std::pair<int, std::size_t>> cut; // number and offset
    std::size_t end = 0; // the bytes up to here are kept
    int next = 1; // above every object number seen, cut ones included
    // Lengths the cut took away (an indirect /Length often follows its stream), measured up to
    // "endstream": number and value.
    std::map<int, std::string> lostLengths;
    bool handlerCut = false;
    TrailerKeys trailer;
};

// Where the data of a stream whose keyword ends at `at` starts (ISO 32000-1 7.3.8.1).
std::size_t streamDataStart(std::string_view bytes, std::size_t at)
{
    if (at < bytes.size() && bytes[at] == '\r')
        ++at;
    if (at < bytes.size() && bytes[at] == '\n')
        ++at;
    return at;
}

// The classic trailers in bytes[from, to), which the object scan steps over.
void readTrailers(std::string_view bytes, std::size_t from, std::size_t to, TrailerKeys &trailer)
{
    const std::string_view gap = bytes.substr(0, to);
    const Lexer lexer(gap);
    for (auto at = gap.find("trailer", from); at != std::string_view::npos;
         at = gap.find("trailer", at + 7)) {
        const Value value = readValue(lexer, at + 7, true);
        if (value.complete)
            trailer.takeFrom(lexer, value);
    }
}

// Where the object of a stream ends (after "endstream"), or nothing when its end is missing:
// no "endstream" after its data before the next object.
std::optional<std::size_t> endOfStream(
    const Lexer &lexer, std::string_view bytes, const Found &stream, std::size_t nextObject)
{
    int length = 0;
    if (!stream.length.empty() && readInt(stream.length, 0, stream.length.size(), length)
        && stream.dataStart + static_cast<std::size_t>(length) <= bytes.size()) {
        const Token after = lexer.next(stream.dataStart + static_cast<std::size_t>(length));
        if (lexer.text(after) == "endstream")
            return after.end;
    }
    const auto end = bytes.substr(0, nextObject).find("endstream", stream.dataStart);
    if (end == std::string_view::npos)
        return std::nullopt;
    return end + 9;
}

// Every whole object of the bytes from `base` on, and the objects cut.
Scan scanObjects(std::string_view bytes, std::size_t base)
{
    const Lexer lexer(bytes);
    Scan scan;
    std::size_t at = base;
    std::size_t lastWhole = 0;
    std::size_t lastCut = 0;
    while (const auto header = nextHeader(bytes, at)) {
        readTrailers(bytes, at, header->offset, scan.trailer);
        scan.next = std::max(scan.next, header->number + 1);
        // Every read stops at the next object, so that hostile bytes cost one pass.
        const auto following = nextHeader(bytes, header->body);
        const std::size_t nextObject = following ? following->offset : bytes.size();
        const Value value = readValue(Lexer(bytes.substr(0, nextObject)), header->body, false);
        Found found;
        found.number = header->number;
        found.generation = header->generation;
        found.offset = header->offset;
        std::size_t end = value.last.end;
        bool whole = value.complete;
        if (whole && lexer.text(value.last) == "stream") {
            found.stream = true;
            found.dataStart = streamDataStart(bytes, end);
            found.length = std::string(entry(lexer, value, "/Length"));
            const auto close = endOfStream(lexer, bytes, found, nextObject);
            whole = close.has_value();
            end = close.value_or(end);
            found.dataEnd = end - 9;
            if (found.dataEnd > found.dataStart && bytes[found.dataEnd - 1] == '\n')
                --found.dataEnd;
            if (found.dataEnd > found.dataStart && bytes[found.dataEnd - 1] == '\r')
                --found.dataEnd;
            const Token after = lexer.next(end);
            if (lexer.text(after) == "endobj")
                end = after.end;
        }
        if (!whole) {
            // A security handler cut short: the data could only be read wrongly.
            if (bytes.substr(header->offset, nextObject - header->offset).find("/Standard")
                != std::string_view::npos)
                scan.handlerCut = true;
            scan.cut.emplace_back(header->number, header->offset);
            lastCut = header->offset;
            at = found.stream ? found.dataStart : header->body;
            continue;
        }
        const auto type = entry(lexer, value, "/Type");
        found.catalog = isCatalog(type, entry(lexer, value, "/Pages"));
        found.objectStream = type == "/ObjStm" && found.stream;
        found.encryption = entry(lexer, value, "/Filter") == "/Standard"
            && !entry(lexer, value, "/O").empty() && !entry(lexer, value, "/U").empty();
        found.revision = std::string(entry(lexer, value, "/R"));
        if (type == "/XRef")
            scan.trailer.takeFrom(lexer, value);
        const Token first = lexer.next(header->body);
        if (first.kind == Token::Kind::Number && lexer.text(lexer.next(first.end)) == "endobj")
            found.integer = std::string(lexer.text(first));
        scan.objects.push_back(std::move(found));
        lastWhole = header->offset;
        at = end;
    }
    readTrailers(bytes, at, bytes.size(), scan.trailer);
    scan.end = lastCut > lastWhole ? lastCut : bytes.size();
    return scan;
}

// Moves to the cut ones the streams whose /Length, direct or indirect, passes the last byte,
// and measures the lengths that were lost.
void checkLengths(Scan &scan, std::size_t size)
{
    std::map<int, std::string> integers;
    std::set<int> numbers;
    for (const Found &found : scan.objects) {
        numbers.insert(found.number);
        if (!found.integer.empty())
            integers[found.number] = found.integer;
    }
    const auto pastTheEnd = [&](const Found &found) {
        std::string length = found.length;
        if (const Reference reference = referenceIn(length); reference.number > 0) {
            const auto known = integers.find(reference.number);
            length = known == integers.end() ? std::string() : known->second;
            if (found.stream && numbers.count(reference.number) == 0)
                scan.lostLengths[reference.number]
                    = std::to_string(found.dataEnd - found.dataStart);
        }
        int value = 0;
        const bool past = found.stream && readInt(length, 0, length.size(), value)
            && found.dataStart + static_cast<std::size_t>(value) > size;
        if (past)
            scan.cut.emplace_back(found.number, found.offset);
        return past;
    };
    scan.objects.erase(
        std::remove_if(scan.objects.begin(), scan.objects.end(), pastTheEnd), scan.objects.end());
}

// One row of the cross-reference stream; `position` orders definitions of the same number.
struct Row {
    int type = 1; // 1: at an offset, 2: in an object stream
    std::uint64_t field2 = 0; // offset, or the object stream's number
    int field3 = 0; // generation, or the index in the object stream
    std::size_t position = 0;
    bool catalog = false;
};
using Table = std::map<int, Row>;

void define(Table &table, int number, const Row &row)
{
    const auto known = table.find(number);
    if (known == table.end() || known->second.position <= row.position)
        table[number] = row;
}

// What follows `kept`: the objects of `table` in a cross-reference stream, numbered `next`, and
// when the root is empty a minimal catalog before it. Offsets count from `base`, where "%PDF-"
// starts, as readers do.
std::string tailFor(std::string_view kept,
    std::size_t base,
    int next,
    Table table,
    std::string root,
    const Scan &scan)
{
    const TrailerKeys &keys = scan.trailer;
    std::string out("\n");
    // Where the next byte of the tail lies in the document.
    const auto offset = [&] { return kept.size() + out.size() - base; };
    next = std::max(next, table.empty() ? 1 : table.rbegin()->first + 1);
    if (root.empty()) {
        table[next] = Row { 1, offset(), 0, 0 };
        out += std::to_string(next) + " 0 obj\n<< /Type /Catalog /Pages " + std::to_string(next + 1)
            + " 0 R >>\nendobj\n";
        table[next + 1] = Row { 1, offset(), 0, 0 };
        out += std::to_string(next + 1) + " 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n";
        root = std::to_string(next) + " 0 R";
        next += 2;
    }
    for (const auto &[number, value] : scan.lostLengths) {
        table[number] = Row { 1, offset(), 0, 0 };
        out += std::to_string(number) + " 0 obj\n" + value + "\nendobj\n";
    }
    const std::size_t xref = offset();
    table[next] = Row { 1, xref, 0, 0 };
    // Only the objects there are, in runs of consecutive numbers (/Index), so that a hostile
    // object number costs no memory.
    std::string rows;
    std::string index;
    int runStart = -1;
    int previous = -2;
    for (const auto &[number, row] : table) {
        if (number != previous + 1) {
            if (runStart >= 0)
                index += std::to_string(runStart) + " " + std::to_string(previous - runStart + 1)
                    + " ";
            runStart = number;
        }
        previous = number;
        rows += static_cast<char>(row.type);
        for (int shift = 24; shift >= 0; shift -= 8)
            rows += static_cast<char>((row.field2 >> shift) & 0xff);
        rows += static_cast<char>((row.field3 >> 8) & 0xff);
        rows += static_cast<char>(row.field3 & 0xff);
    }
    index += std::to_string(runStart) + " " + std::to_string(previous - runStart + 1);
    out += std::to_string(next) + " 0 obj\n<< /Type /XRef /Size " + std::to_string(next + 1)
        + " /Index [" + index + "] /W [1 4 2] /Root " + root
        + (keys.encrypt.empty() ? "" : " /Encrypt " + keys.encrypt)
        + (keys.id.empty() ? "" : " /ID " + keys.id) + " /Length " + std::to_string(rows.size())
        + " >>\nstream\n" + rows + "\nendstream\nendobj\nstartxref\n" + std::to_string(xref)
        + "\n%%EOF\n";
    return out;
}

// Adds the objects of the whole object streams the table holds (ISO 32000-1 7.5.7), which
// qpdf decodes from a draft that lists the objects outside them. Returns the highest number
// they refer to.
int addCompressed(std::string_view kept,
    std::size_t base,
    const Scan &scan,
    Table &table,
    const std::string &password)
{
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(false);
    pdf.processInputSource(
        std::make_shared<QpdfJoinedInput>(
            "recovered document", kept, tailFor(kept, base, scan.next, table, {}, scan)),
        password.c_str());
    int highest = 0;
    for (const Found &found : scan.objects) {
        const auto row = table.find(found.number);
        if (!found.objectStream || row == table.end() || row->second.position != found.offset)
            continue; // a later object has the stream's number
        try {
            QPDFObjectHandle stream = pdf.getObjectByID(found.number, found.generation);
            if (!stream.isStream())
                continue;
            const auto data = stream.getStreamData(qpdf_dl_generalized);
            const std::string_view decoded(
                reinterpret_cast<const char *>(data->getBuffer()), data->getSize());
            const auto count = stream.getDict().getKey("/N").getIntValue();
            const auto first = stream.getDict().getKey("/First").getIntValue();
            std::istringstream header { std::string(decoded.substr(0, first > 0 ? first : 0)) };
            const Lexer lexer(decoded);
            highest = std::max(highest, highestReference(decoded));
            int number = 0;
            long long offset = 0;
            for (int index = 0; index < count && index <= 0xffff && header >> number >> offset;
                 ++index) {
                if (number <= 0 || offset < 0
                    || first + offset >= static_cast<long long>(decoded.size()))
                    continue;
                const Value value
                    = readValue(lexer, static_cast<std::size_t>(first + offset), true);
                const bool catalog = value.complete
                    && isCatalog(entry(lexer, value, "/Type"), entry(lexer, value, "/Pages"));
                const Row compressed {
                    2, static_cast<std::uint64_t>(found.number), index, found.offset, catalog
                };
                define(table, number, compressed);
            }
        } catch (const std::exception &) {
            // an object stream qpdf cannot decode: its objects stay lost
        }
    }
    return highest;
}

// The catalog: the one the last surviving trailer names, else the last one defined; empty when
// there is none.
std::string findCatalog(const Table &table, const TrailerKeys &keys)
{
    const Reference named = referenceIn(keys.root);
    if (const auto row = table.find(named.number); row != table.end() && row->second.catalog)
        return std::to_string(named.number) + " "
            + std::to_string(row->second.type == 1 ? row->second.field3 : 0) + " R";
    const Row *last = nullptr;
    int number = 0;
    for (const auto &[n, row] : table) {
        if (row.catalog && (last == nullptr || row.position >= last->position)) {
            last = &row;
            number = n;
        }
    }
    if (last == nullptr)
        return {};
    return std::to_string(number) + " " + std::to_string(last->type == 1 ? last->field3 : 0) + " R";
}

// An encrypted document whose trailer was lost still names its security handler's dictionary;
// false when it cannot be decrypted: before AES-256 the key depends on the lost /ID.
bool findEncryption(Scan &scan)
{
    if (scan.handlerCut)
        return false;
    if (!scan.trailer.encrypt.empty())
        return true;
    const auto handler = std::find_if(scan.objects.rbegin(),
        scan.objects.rend(),
        [](const Found &found) { return found.encryption; });
    if (handler == scan.objects.rend())
        return true;
    scan.trailer.encrypt
        = std::to_string(handler->number) + " " + std::to_string(handler->generation) + " R";
    int revision = 0;
    readInt(handler->revision, 0, handler->revision.size(), revision);
    return revision >= 5 || !scan.trailer.id.empty();
}

} // namespace

std::optional<RecoveredDocument> recoverTruncated(
    std::string_view bytes, const std::string &password)
{
    // Readers take "%PDF-" within the first 1024 bytes for the start of the document.
    const std::size_t header = bytes.substr(0, 1024).find("%PDF-");
    const std::size_t base = header == std::string_view::npos ? 0 : header;
    Scan scan = scanObjects(bytes, base);
    checkLengths(scan, bytes.size());
    if (scan.objects.empty())
        return std::nullopt;
    if (!findEncryption(scan))
        return std::nullopt;
    scan.next = std::max(scan.next, highestReference(bytes) + 1);
    Table table;
    for (const Found &found : scan.objects)
        define(table,
            found.number,
            Row { 1,
                found.offset - base,
                found.generation,
                found.offset,
                found.catalog && !found.stream });
    const std::string_view kept = bytes.substr(0, scan.end);
    try {
        scan.next = std::max(scan.next, addCompressed(kept, base, scan, table, password) + 1);
    } catch (const std::exception &) {
        // qpdf refused the draft (a wrong password): the objects outside object streams remain
    }
    RecoveredDocument recovered;
    for (const auto &[number, offset] : scan.cut) {
        // An object cut after an earlier whole definition: the earlier one is outdated.
        if (const auto row = table.find(number);
            row != table.end() && row->second.position < offset)
            table.erase(row);
        recovered.cutObjects.push_back(number);
    }
    std::sort(recovered.cutObjects.begin(), recovered.cutObjects.end());
    recovered.cutObjects.erase(
        std::unique(recovered.cutObjects.begin(), recovered.cutObjects.end()),
        recovered.cutObjects.end());
    const std::string catalog = findCatalog(table, scan.trailer);
    recovered.ownCatalog = !catalog.empty();
    recovered.keptSize = kept.size();
    recovered.tail = tailFor(kept, base, scan.next, std::move(table), catalog, scan);
    return recovered;
}

} // namespace quenlith
