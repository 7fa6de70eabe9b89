#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quenlith::cli {

// A one-line progress bar on stderr: documents done of the total, attachments and bytes
// written. The counters may be raised from any thread; draw() and finish() belong to one thread.
// When disabled (stderr is not a terminal) nothing is ever printed.
class ProgressDisplay {
public:
    ProgressDisplay(bool enabled, std::size_t totalDocuments, std::FILE *stream = stderr);

    // Whether stderr is a terminal, where a progress bar helps rather than pollutes a log.
    static bool stderrIsTerminal();

    void documentDone();
    void attachmentDone();
    void addBytes(std::uint64_t bytes);

    // Redraws the line when a counter changed since the last draw.
    void draw();
    // Erases the line, so that what follows starts on a clean one.
    void finish();

    // "1.5 MB" style: bytes in B, kB, MB, GB with one decimal above B.
    static std::string humanBytes(std::uint64_t bytes);

private:
    bool m_enabled;
    std::size_t m_total;
    std::FILE *m_stream;
    std::atomic<std::size_t> m_documents { 0 };
    std::atomic<std::uint64_t> m_attachments { 0 };
    std::atomic<std::uint64_t> m_bytes { 0 };
    std::string m_lastLine;
};

} // namespace quenlith::cli
