#include "extract/pdf/QpdfPortfolio.h"

#include "extract/pdf/PdfTextDecoder.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace quenlith {

namespace {

// Longer names cannot be folder names anyway (file systems allow 255 bytes); the cut bounds
// what each file's folder path can cost.
constexpr std::size_t maxNameBytes = 255;

std::string folderName(QPDFObjectHandle folder)
{
    auto name = folder.getKey("/Name");
    if (!name.isString())
        return {};
    std::string text = PdfTextDecoder::toUtf8(name.getStringValue());
    if (text.size() > maxNameBytes) {
        std::size_t end = maxNameBytes;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end; // a UTF-8 continuation byte: cut before its character
        text.resize(end);
    }
    return text;
}

std::optional<std::int64_t> folderId(QPDFObjectHandle folder)
{
    auto id = folder.getKey("/ID");
    if (!id.isInteger())
        return std::nullopt;
    return id.getIntValue();
}

} // namespace

PortfolioFolders PortfolioFolders::read(QPDFObjectHandle collection, const Warn &warn)
{
    PortfolioFolders result;
    if (!collection.isDictionary())
        return result;
    auto root = collection.getKey("/Folders");
    if (!root.isDictionary())
        return result;
    result.m_hasFolders = true;
    result.m_folders.push_back({ 0, {} });

    struct Pending {
        QPDFObjectHandle folder;
        int depth; // of `folder`: 1 for the root's sub-folders
        std::size_t parent; // index in m_folders
        bool leftOut; // in a subtree whose files go to the top
    };
    std::set<QPDFObjGen> visited;
    std::vector<Pending> pending;
    bool warnedDepth = false;
    try {
        if (root.isIndirect())
            visited.insert(root.getObjGen());
        if (const auto id = folderId(root))
            result.m_byId.emplace(*id, 0);
        pending.push_back({ root.getKey("/Child"), 1, 0, false });
        std::size_t count = 1;
        // Depth first with a stack of its own: each folder, then its sub-folders, then its next
        // sibling, as a viewer shows them, so that the first of two equal IDs is the one shown
        // first.
        while (!pending.empty()) {
            Pending item = std::move(pending.back());
            pending.pop_back();
            if (!item.folder.isDictionary())
                continue; // the end of a sibling chain
            const std::string name = folderName(item.folder);
            if (item.folder.isIndirect() && !visited.insert(item.folder.getObjGen()).second) {
                warn("the portfolio folder \"" + name
                    + "\" is met twice (a loop in the folder tree): the second time is ignored");
                continue;
            }
            if (++count > maxFolders) {
                warn("the portfolio has more than " + std::to_string(maxFolders)
                    + " folders: the files of the rest are placed at the top");
                break;
            }
            pending.push_back(
                { item.folder.getKey("/Next"), item.depth, item.parent, item.leftOut });
            const auto id = folderId(item.folder);
            bool leftOut = item.leftOut;
            if (!leftOut && item.depth > maxDepth) {
                leftOut = true;
                if (!warnedDepth)
                    warn("the portfolio's folders nest deeper than " + std::to_string(maxDepth)
                        + " levels: the files of the deeper ones are placed at the top");
                warnedDepth = true;
            } else if (!leftOut && id && result.m_byId.count(*id) != 0) {
                leftOut = true;
                warn("two portfolio folders have the ID " + std::to_string(*id) + ": the second, \""
                    + name
                    + "\", is ignored and the files of its sub-folders are placed at the top");
            }
            if (leftOut) {
                if (id && result.m_byId.count(*id) == 0)
                    result.m_outOfBounds.insert(*id);
                pending.push_back({ item.folder.getKey("/Child"), item.depth + 1, 0, true });
                continue;
            }
            result.m_folders.push_back({ item.parent, name });
            const std::size_t index = result.m_folders.size() - 1;
            if (id)
                result.m_byId.emplace(*id, index);
            pending.push_back({ item.folder.getKey("/Child"), item.depth + 1, index, false });
        }
    } catch (std::exception &e) {
        warn(std::string("the portfolio's folders are unreadable: ") + e.what());
    }
    return result;
}

bool PortfolioFolders::hasFolders() const
{
    return m_hasFolders;
}

PortfolioFolders::Lookup PortfolioFolders::find(
    std::int64_t id, std::vector<std::string> &path) const
{
    path.clear();
    const auto found = m_byId.find(id);
    if (found == m_byId.end())
        return m_outOfBounds.count(id) != 0 ? Lookup::OutOfBounds : Lookup::Unknown;
    // Each folder's parent was added before it, so the walk up ends at the root.
    for (std::size_t at = found->second; at != 0; at = m_folders[at].parent)
        path.push_back(m_folders[at].name);
    std::reverse(path.begin(), path.end());
    return Lookup::Found;
}

bool splitFolderKey(std::string_view key, std::int64_t &id, std::string_view &rest)
{
    const std::size_t close = key.find('>');
    if (key.empty() || key[0] != '<' || close == std::string_view::npos || close < 2 || close > 19)
        return false;
    std::int64_t value = 0;
    for (std::size_t i = 1; i < close; ++i) {
        if (key[i] < '0' || key[i] > '9')
            return false;
        value = value * 10 + (key[i] - '0');
    }
    id = value;
    rest = key.substr(close + 1);
    return true;
}

} // namespace quenlith
