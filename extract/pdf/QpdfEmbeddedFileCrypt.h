#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <string>

namespace quenlith {

// How an embedded file stream is decrypted beyond what qpdf does itself. qpdf 11.3 decrypts every
// stream with the document's /StmF crypt filter, or with the one a /Crypt filter on the stream
// names, but not with /EFF, the crypt filter of embedded files (ISO 32000-1 7.6.5): documents that
// encrypt only their attachments (/StmF /Identity) would give their ciphertext.
struct EmbeddedFileCrypt {
    enum class Action { None, Decrypt, Refuse };
    Action action = Action::None;
    bool aes = false; // AES-CBC with the IV first (/AESV2, /AESV3), else RC4 (/V2)
    std::string key; // the stream's own key (ISO 32000-1 7.6.2, algorithm 1)
    std::string reason; // for Refuse

    // Decides for `stream`, an embedded file stream of `pdf`, which was opened with a password
    // that gives the file key. None for unencrypted documents and whenever qpdf's decryption is
    // already the right one.
    static EmbeddedFileCrypt forStream(QPDF &pdf, QPDFObjectHandle stream);

    // A new stream of `pdf` whose data is `stream`'s stored data decrypted as this says, with the
    // same /Filter and /DecodeParms: qpdf's decoders then apply to it as to any stream. The data is
    // read and decrypted in pieces as the new stream is read.
    QPDFObjectHandle decryptedView(QPDF &pdf, QPDFObjectHandle stream) const;

    // The same for a stream that qpdf decrypts itself. qpdf 11.3's AES decryption crashes when
    // the pipeline after it fails while it finishes (qpdf then finishes it a second time, after
    // its cipher is gone): the view's data comes through a stage that holds such a failure back
    // until qpdf's decryption is done, whatever decoder or writer fails.
    static QPDFObjectHandle guardedView(QPDF &pdf, QPDFObjectHandle stream);
};

} // namespace quenlith
