#include "extract/pdf/QpdfAttachmentSink.h"

#include "extract/pdf/BlockGathering.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace quenlith {

// Hashes blocks on threads of its own, one per digest, so that MD5 and SHA-256 together take
// the time of the slower one instead of their sum. Every thread hashes the blocks in the order
// they are submitted. The hasher owns blockCount blocks: the sink takes a free one, fills it and
// submits it; a block is free again once every digest has taken it. The threads touch nothing but
// the blocks and their own hash context.
class QpdfAttachmentSink::Hasher {
public:
    // Either context may be null. Throws std::system_error when no thread can be started.
    Hasher(std::shared_ptr<Digest> md5, std::shared_ptr<Digest> sha256)
    {
        for (int i = 0; i < blockCount; ++i) {
            m_storage.push_back(std::unique_ptr<unsigned char[]>(new unsigned char[blockSize]));
            m_free.push_back(m_storage.back().get());
        }
        for (auto &digest : { std::move(md5), std::move(sha256) })
            if (digest)
                m_workers.push_back(std::make_unique<Worker>(Worker { digest, 0, {} }));
        try {
            for (auto &worker : m_workers)
                worker->thread = std::thread([this, w = worker.get()] { run(*w); });
        } catch (...) {
            stopAll();
            throw;
        }
    }

    ~Hasher()
    {
        stopAll();
    }

    Hasher(const Hasher &) = delete;
    Hasher &operator=(const Hasher &) = delete;

    // A block to fill; waits while every block is queued for hashing.
    unsigned char *takeFree()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_free.empty(); });
        unsigned char *block = m_free.back();
        m_free.pop_back();
        return block;
    }

    void submit(unsigned char *block, std::size_t size)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back({ block, size, m_workers.size() });
        }
        m_changed.notify_all();
    }

    // Waits until every submitted block is hashed; false when hashing failed.
    bool close()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (auto &worker : m_workers)
            worker->thread.join();
        return !m_hashFailed;
    }

private:
    struct Worker {
        std::shared_ptr<Digest> digest;
        std::uint64_t next; // sequence number of the next block to hash
        std::thread thread;
    };
    struct Entry {
        unsigned char *block;
        std::size_t size;
        std::size_t pending; // digests that have still to take it
    };

    void stopAll()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (auto &worker : m_workers)
            if (worker->thread.joinable())
                worker->thread.join();
    }

    void run(Worker &worker)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_stop || m_closing || worker.next < queueEnd(); });
            if (m_stop || worker.next == queueEnd())
                return;
            const Entry entry = m_queue[worker.next - m_queueFront];
            const bool skip = m_hashFailed;
            lock.unlock();
            bool failed = false;
            try {
                if (!skip)
                    worker.digest->update(entry.block, entry.size);
            } catch (...) {
                failed = true; // an exception must not leave the thread
            }
            lock.lock();
            m_hashFailed = m_hashFailed || failed;
            --m_queue[worker.next - m_queueFront].pending;
            ++worker.next;
            // Every worker goes in order, so the blocks all have taken are at the front.
            bool freed = false;
            while (!m_queue.empty() && m_queue.front().pending == 0) {
                m_free.push_back(m_queue.front().block);
                m_queue.pop_front();
                ++m_queueFront;
                freed = true;
            }
            if (freed)
                m_changed.notify_all();
        }
    }

    std::uint64_t queueEnd() const
    {
        return m_queueFront + m_queue.size();
    }

    std::vector<std::unique_ptr<unsigned char[]>> m_storage;
    std::vector<std::unique_ptr<Worker>> m_workers; // started last, once everything is ready
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<unsigned char *> m_free;
    std::deque<Entry> m_queue;
    std::uint64_t m_queueFront = 0; // sequence number of m_queue's first entry
    bool m_closing = false; // no more blocks come: hash the queue, then end
    bool m_stop = false; // end now, leaving the queue
    bool m_hashFailed = false;
};

QpdfAttachmentSink::QpdfAttachmentSink(PartFile &file, Progress progress, bool md5, bool sha256)
    : Pipeline("attachment sink", nullptr)
    , m_file(file)
    , m_progress(std::move(progress))
{
    // A digest OpenSSL refuses (MD5 under a FIPS policy) stays empty: the checksum then counts
    // as not matching, never as verified.
    try {
        if (md5)
            m_md5 = std::make_shared<Digest>(Digest::Kind::Md5);
        if (sha256)
            m_sha256 = std::make_shared<Digest>(Digest::Kind::Sha256);
    } catch (std::exception &) {
    }
}

QpdfAttachmentSink::~QpdfAttachmentSink() = default;

void QpdfAttachmentSink::write(unsigned char const *data, size_t len)
{
    if (m_failed || m_abandoned)
        throw std::runtime_error("attachment output stopped");
    if (len == 0)
        return;
    const bool hashing = m_md5 || m_sha256;
    if (hashing && !m_hasher && !m_inlineOnly && m_bytes + len > inlineHashLimit) {
        try {
            m_hasher = std::make_unique<Hasher>(m_md5, m_sha256);
        } catch (std::exception &) {
            m_inlineOnly = true; // slower, but still correct
        }
    }
    if (m_hasher) {
        gather(data, len);
    } else {
        writeToFile(data, len);
        if (m_md5)
            m_md5->update(data, len);
        if (m_sha256)
            m_sha256->update(data, len);
    }
    m_bytes += len;
    if (m_bytes >= m_nextReport) {
        m_nextReport = m_bytes + progressInterval;
        bool goOn = true;
        if (m_progress) {
            try {
                goOn = m_progress(m_bytes);
            } catch (...) {
                goOn = false;
            }
        }
        if (!goOn) {
            m_abandoned = true;
            throw std::runtime_error("attachment output abandoned");
        }
    }
}

void QpdfAttachmentSink::writeToFile(const unsigned char *data, std::size_t size)
{
    if (!m_file.write(data, size)) {
        m_failed = true;
        throw std::runtime_error("cannot write the attachment: " + m_file.errorText());
    }
}

void QpdfAttachmentSink::gather(const unsigned char *data, std::size_t size)
{
    gatherIntoBlocks(
        data,
        size,
        blockSize,
        m_blockUsed,
        [this] {
            if (m_block == nullptr)
                m_block = m_hasher->takeFree();
            return m_block;
        },
        [this] { passBlock(); });
}

void QpdfAttachmentSink::passBlock()
{
    // Written before it is hashed: a full block goes to the file in one call, past stdio's
    // buffer, so gathering costs no extra copy.
    writeToFile(m_block, m_blockUsed);
    m_hasher->submit(m_block, m_blockUsed);
    m_block = nullptr;
    m_blockUsed = 0;
}

void QpdfAttachmentSink::finish()
{
}

bool QpdfAttachmentSink::complete()
{
    if (m_failed || m_abandoned)
        return false;
    bool hashed = true;
    if (m_hasher) {
        try {
            if (m_blockUsed > 0)
                passBlock();
        } catch (std::exception &) {
            return false;
        }
        hashed = m_hasher->close();
    }
    try {
        if (m_md5 && hashed)
            m_digest = m_md5->finish();
        if (m_sha256 && hashed)
            m_sha256Hex = Digest::hex(m_sha256->finish());
    } catch (std::exception &) {
        // No digest: the checksum counts as not matching, never as verified.
    }
    return true;
}

std::uint64_t QpdfAttachmentSink::bytesWritten() const
{
    return m_bytes;
}

std::string QpdfAttachmentSink::md5() const
{
    return m_digest;
}

std::string QpdfAttachmentSink::sha256() const
{
    return m_sha256Hex;
}

bool QpdfAttachmentSink::failed() const
{
    return m_failed;
}

bool QpdfAttachmentSink::abandoned() const
{
    return m_abandoned;
}

} // namespace quenlith
