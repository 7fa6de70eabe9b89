#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quenlith {

// The one XML parser of the program (expat), set up for hostile input: namespace-aware, no DTD
// loading or external entity, no entity declared in the document at all (an internal subset with
// entities stops the reading), expat's amplification protection left on, and bounds on the input
// size and the element depth. Reads incrementally: the document is fed in chunks as it is decoded,
// so memory stays bounded whatever its size. Not thread-safe; one document per reader.
class XmlReader {
public:
    // What the reader reports, in document order. Names are the namespace URI (empty for none) and
    // the local name; text is UTF-8 and may come in several pieces.
    class Handler {
    public:
        virtual ~Handler() = default;
        // `attributes`: expat's list of name, value pairs, names as "URI local", ending with null.
        virtual void startElement(
            std::string_view uri, std::string_view localName, const char **attributes)
            = 0;
        virtual void endElement() = 0;
        virtual void text(std::string_view text) = 0;
    };

    struct Limits {
        std::uint64_t maxBytes; // input past this is refused
        int maxDepth = 256; // elements nested deeper than this are refused
    };

    XmlReader(Handler &handler, Limits limits);
    ~XmlReader();
    XmlReader(const XmlReader &) = delete;
    XmlReader &operator=(const XmlReader &) = delete;

    // Reads the next piece of the document; false once the reading ended early (malformed,
    // past a bound, or stop() was called), and then for every later piece.
    bool feed(const char *data, std::size_t size);
    // Ends the document; false when it is incomplete or the reading ended early.
    bool finish();
    // Called by the handler when it has all it wants: feed() then returns false, error() stays
    // empty.
    void stop();
    // Splits an attribute name of the handler's list into its URI and local name.
    static std::pair<std::string_view, std::string_view> splitName(const char *name);

    // Why the reading ended early, in plain words ("not well-formed (invalid token) at line 3",
    // "larger than 64 MiB", "nested deeper than 256 elements", "declares entities"); empty when it
    // did not, or when the handler stopped it.
    const std::string &error() const;

private:
    struct Parser;
    std::unique_ptr<Parser> m_parser;
};

// `text` without the XML white space (space, tab, CR, LF) at its ends.
std::string_view trimmedXmlSpace(std::string_view text);

} // namespace quenlith
