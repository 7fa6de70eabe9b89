#pragma once

#include "extract/pdf/InvoiceMetadata.h"
#include "extract/pdf/XmlReader.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quenlith {

// Invoice XML larger than this is not read; real ones hold kilobytes to a few megabytes.
constexpr std::size_t maxInvoiceXmlBytes = std::size_t { 64 } << 20;

// Reads what an invoice XML says (InvoiceContent), fed in pieces as it is decoded: a UN/CEFACT CII
// CrossIndustryInvoice, a ZUGFeRD 1.0 CrossIndustryDocument, or a UBL Invoice or CreditNote, each
// recognised by its root element's namespace and name. Reading stops at the root when it is none
// of those. Memory stays bounded: only the values asked for are kept, each cut at 1 KiB.
class InvoiceXmlReader : private XmlReader::Handler {
public:
    struct Field; // a value and where a syntax keeps it

    InvoiceXmlReader();

    // False once reading has ended: the root is no invoice's, the XML is malformed or past a
    // bound (see XmlReader); later pieces are then ignored.
    bool feed(const char *data, std::size_t size);
    // Ends the input. True when the whole document was an invoice and well-formed; content()
    // then holds what it says. False otherwise, with error() empty when it is simply no invoice.
    bool finish();

    // The root element is an invoice's (known once it was fed).
    bool isInvoice() const
    {
        return m_fields != nullptr;
    }
    // Filled once finish() returned true; partial before.
    const InvoiceContent &content() const
    {
        return m_content;
    }
    // Why an invoice XML could not be read, in plain words; empty when it could or is no invoice.
    const std::string &error() const
    {
        return m_reader.error();
    }

private:
    void startElement(std::string_view uri, std::string_view local, const char **) override;
    void endElement() override;
    void text(std::string_view text) override;

    XmlReader m_reader;
    InvoiceContent m_content;
    InvoiceContent m_fallback; // the names a UBL party gives when it lacks its registration name
    const std::vector<Field> *m_fields = nullptr; // of the root's syntax, once known
    std::string m_path; // the local names of the open elements below the root, "/"-separated
    std::vector<std::size_t> m_pathLengths; // m_path's length before each open element
    std::string *m_pending = nullptr; // the value the open element gives
    std::string m_text;
    bool m_stopped = false; // the root is none of an invoice
};

// The content of a whole invoice XML in memory; `syntax` empty when it is none or unreadable,
// with the reason in `error` when it is an invoice that could not be read.
InvoiceContent readInvoiceXml(std::string_view xml, std::string *error = nullptr);

} // namespace quenlith
