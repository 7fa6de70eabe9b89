#include "extract/pdf/QpdfFilterChain.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quenlith {

namespace {

// Abbreviations of ISO 32000-1 Table 94, which some writers use in streams too.
std::string fullName(const std::string &name)
{
    static const std::array<std::pair<std::string_view, std::string_view>, 7> shortNames = { {
        { "/Fl", "/FlateDecode" },
        { "/LZW", "/LZWDecode" },
        { "/A85", "/ASCII85Decode" },
        { "/AHx", "/ASCIIHexDecode" },
        { "/RL", "/RunLengthDecode" },
        { "/DCT", "/DCTDecode" },
        { "/CCF", "/CCITTFaxDecode" },
    } };
    for (const auto &[shortName, full] : shortNames)
        if (name == shortName)
            return std::string(full);
    return name;
}

bool decodedByQpdf(const std::string &name)
{
    return name == "/FlateDecode" || name == "/LZWDecode" || name == "/ASCII85Decode"
        || name == "/ASCIIHexDecode" || name == "/RunLengthDecode" || name == "/Crypt"
        || name == "/BrotliDecode"; // through QpdfBrotliFilter
}

long long integerOr(QPDFObjectHandle dict, const char *key, long long fallback)
{
    if (!dict.isDictionary() || !dict.hasKey(key))
        return fallback;
    auto value = dict.getKey(key);
    return value.isInteger() ? value.getIntValue() : -1;
}

// Empty when the parameters are ones qpdf applies within bounds, else the reason.
std::string predictorProblem(const std::string &filter, QPDFObjectHandle parms)
{
    if (parms.isNull())
        return {};
    if (!parms.isDictionary())
        return "cannot decode " + filter + ": its /DecodeParms is not a dictionary";
    const long long predictor = integerOr(parms, "/Predictor", 1);
    if (predictor == 1)
        return {};
    if (predictor != 2 && (predictor < 10 || predictor > 15))
        return "cannot decode " + filter + ": unsupported /Predictor "
            + (parms.getKey("/Predictor").isInteger() ? std::to_string(predictor)
                                                      : parms.getKey("/Predictor").unparse());
    const long long columns = integerOr(parms, "/Columns", 1);
    const long long colors = integerOr(parms, "/Colors", 1);
    const long long bits = integerOr(parms, "/BitsPerComponent", 8);
    if (columns < 1 || colors < 1
        || (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16))
        return "cannot decode " + filter + ": invalid predictor parameters";
    // Each factor is at most maxPredictorRow * 8 before the next multiplication.
    const long long limit = maxPredictorRow * 8;
    if (columns > limit || colors > limit || columns * colors > limit / bits)
        return "cannot decode " + filter + ": its predictor rows are larger than 1 MiB";
    return {};
}

} // namespace

FilterChain inspectFilters(QPDFObjectHandle dict)
{
    FilterChain chain;
    auto filter = dict.getKey("/Filter");
    auto parms = dict.getKey("/DecodeParms");
    std::vector<QPDFObjectHandle> parmList;
    if (filter.isName()) {
        chain.filters.push_back(fullName(filter.getName()));
        parmList.push_back(
            parms.isArray() && parms.getArrayNItems() > 0 ? parms.getArrayItem(0) : parms);
    } else if (filter.isArray()) {
        for (int i = 0; i < filter.getArrayNItems(); ++i) {
            auto item = filter.getArrayItem(i);
            if (!item.isName()) {
                chain.action = FilterChain::Action::Refuse;
                chain.reason = "cannot decode the data: its /Filter holds " + item.unparse();
                return chain;
            }
            chain.filters.push_back(fullName(item.getName()));
            parmList.push_back(parms.isArray() ? parms.getArrayItem(i)
                                               : (i == 0 ? parms : QPDFObjectHandle::newNull()));
        }
    } else if (!filter.isNull()) {
        chain.action = FilterChain::Action::Refuse;
        chain.reason = "cannot decode the data: its /Filter is " + filter.unparse();
        return chain;
    }
    if (chain.filters.size() == 1 && chain.filters.front() == "/DCTDecode") {
        chain.action = FilterChain::Action::KeepEncoded;
        return chain;
    }
    for (std::size_t i = 0; i < chain.filters.size(); ++i) {
        const auto &name = chain.filters[i];
        if (!decodedByQpdf(name)) {
            chain.action = FilterChain::Action::Refuse;
            chain.reason = "cannot decode " + name;
            return chain;
        }
        if (name == "/BrotliDecode" && !parmList[i].isNull()
            && !(parmList[i].isDictionary() && parmList[i].getKeys().empty())) {
            chain.action = FilterChain::Action::Refuse;
            chain.reason = "cannot decode /BrotliDecode: its /DecodeParms are not supported";
            return chain;
        }
        if (name == "/FlateDecode" || name == "/LZWDecode") {
            auto problem = predictorProblem(name, parmList[i]);
            if (!problem.empty()) {
                chain.action = FilterChain::Action::Refuse;
                chain.reason = std::move(problem);
                return chain;
            }
        }
    }
    chain.onlyPlainFlate = chain.filters.size() == 1 && chain.filters.front() == "/FlateDecode"
        && integerOr(parmList.front(), "/Predictor", 1) == 1;
    return chain;
}

} // namespace quenlith
