#include "cli/ProgressDisplay.h"

#include <unistd.h>

namespace quenlith::cli {

ProgressDisplay::ProgressDisplay(bool enabled, std::size_t totalDocuments, std::FILE *stream)
    : m_enabled(enabled)
    , m_total(totalDocuments)
    , m_stream(stream)
{
}

bool ProgressDisplay::stderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

void ProgressDisplay::documentDone()
{
    m_documents.fetch_add(1, std::memory_order_relaxed);
}

void ProgressDisplay::attachmentDone()
{
    m_attachments.fetch_add(1, std::memory_order_relaxed);
}

void ProgressDisplay::addBytes(std::uint64_t bytes)
{
    m_bytes.fetch_add(bytes, std::memory_order_relaxed);
}

std::string ProgressDisplay::humanBytes(std::uint64_t bytes)
{
    static constexpr const char *units[] = { "kB", "MB", "GB", "TB" };
    if (bytes < 1000)
        return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1000.0;
    std::size_t unit = 0;
    while (value >= 1000.0 && unit + 1 < std::size(units)) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

void ProgressDisplay::draw()
{
    if (!m_enabled)
        return;
    const std::size_t documents = m_documents.load(std::memory_order_relaxed);
    constexpr std::size_t width = 24;
    const std::size_t filled = m_total == 0 ? width : documents * width / m_total;
    std::string line = "[" + std::string(filled, '#') + std::string(width - filled, '.') + "] "
        + std::to_string(documents) + "/" + std::to_string(m_total) + " documents, "
        + std::to_string(m_attachments.load(std::memory_order_relaxed)) + " attachments, "
        + humanBytes(m_bytes.load(std::memory_order_relaxed));
    if (line == m_lastLine)
        return;
    // Pad with spaces over a longer previous line, then return to the line's start.
    std::string padded = line;
    if (padded.size() < m_lastLine.size())
        padded.append(m_lastLine.size() - padded.size(), ' ');
    std::fprintf(m_stream, "\r%s", padded.c_str());
    std::fflush(m_stream);
    m_lastLine = std::move(line);
}

void ProgressDisplay::finish()
{
    if (!m_enabled || m_lastLine.empty())
        return;
    std::fprintf(m_stream, "\r%s\r", std::string(m_lastLine.size(), ' ').c_str());
    std::fflush(m_stream);
    m_lastLine.clear();
}

} // namespace quenlith::cli
