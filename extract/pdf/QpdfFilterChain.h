#pragma once

#include <qpdf/QPDFObjectHandle.hh>
#include <string>
#include <vector>

namespace quenlith {

// What the write path does with an embedded file stream's /Filter chain, decided from the stream
// dictionary alone, before qpdf reads any data: decode it, keep it encoded (an image format the
// file itself is stored in), or refuse it with a reason that names the filter.
struct FilterChain {
    enum class Action { Decode, KeepEncoded, Refuse };
    Action action = Action::Decode;
    std::vector<std::string> filters; // as stored, "/FlateDecode"; the first is applied first
    std::string reason; // for Refuse: "cannot decode /ZlateDecode", ...

    // True for a single /FlateDecode without a predictor: the case a dedicated inflater may take.
    bool onlyPlainFlate = false;
};

// Accepts what qpdf decodes completely: Flate and LZW (with a checked /Predictor), ASCII85,
// ASCIIHex, RunLength, and /Crypt; and /BrotliDecode without decode parameters (QpdfBrotliFilter).
// A lone /DCTDecode is kept encoded, since the embedded file is then the JPEG itself. Predictor
// rows past maxPredictorRow bytes are refused, as qpdf would allocate them whole.
FilterChain inspectFilters(QPDFObjectHandle dict);

constexpr long long maxPredictorRow = 1024 * 1024;

} // namespace quenlith
