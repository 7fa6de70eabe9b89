#pragma once

#include "doclist/AttachmentLine.h"
#include "extract/AttachmentChoice.h"
#include "extract/pdf/InvoiceMetadata.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <QThreadPool>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quenlith {

struct AttachmentOutcome;

// What a document's row shows of it, read when it is added: counts and flags, never its
// attachments, which are read when the row is first expanded.
struct DocumentSummary {
    bool opened = false;
    int count = 0; // listed attachments
    int unlisted = 0; // embedded files that nothing in the document lists
    std::string error; // why it did not open, in plain words
    InvoiceInfo invoice;
    bool repaired = false; // see Document::repaired
    bool listingComplete = true; // see Document::listingComplete

    // Opens `file` (bytes for the file system, as Document::open takes them) and reads its
    // summary; a document of its own, so that any thread may call it.
    static DocumentSummary read(const std::string &file);
};

// The lines of a document's attachments, as many as a row shows.
struct AttachmentLines {
    std::vector<AttachmentLine> lines;
    int more = 0; // attachments beyond the lines
    QString error; // why they could not be read; empty when they were

    // Opens `file` and makes the lines of its listed, then unlisted, attachments.
    static AttachmentLines read(const std::string &file);
};

// The document list as a model: one row per added document (newest on top), three columns
// (the attachment count with the paper-clip or exclamation image and the tick, the file name
// with the PDF image, the full path), each expanding to one line per attachment (at most
// MaxLines). The line of each attachment the document lists has a tick of its own: unticking
// some leaves the document's tick partly checked, and the document is still extracted, with
// only its ticked attachments; ticking or unticking the document does so to all of them. The
// ticks are kept per row, also before its lines are read. A row holds its path, counts and flags,
// and notes only for the rare document that needs them, so that 100,000 rows stay within a few tens
// of megabytes. The lines are read on a thread of the model's own when a row is first expanded.
// Rows come in batches: add() keeps a row pending until insertPending() inserts every pending row
// in one go. Sorting by a column orders the rows; rows added afterwards go on top again.
class DocumentListModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Column { CountColumn, NameColumn, PathColumn, ColumnCount };
    static constexpr int MaxLines = 500;
    // The role of a document row's file, as bytes for the file system (QByteArray).
    static constexpr int FileRole = Qt::UserRole;
    // The role of an attachment line's 1-based position in its document (int).
    static constexpr int PositionRole = Qt::UserRole + 1;

    explicit DocumentListModel(QObject *parent = nullptr);
    // Waits for a read of lines in progress.
    ~DocumentListModel() override;

    // The six images of the window's image list, image 1 first.
    void setImages(const QList<QIcon> &images);
    // Replaces what reads a row's lines when it is expanded (tests read no files); runs on the
    // model's reading thread.
    using LineReader = std::function<AttachmentLines(const std::string &file)>;
    void setLineReader(LineReader reader);

    // Keeps an unticked row for `file` (bytes, which need not be UTF-8) pending; it goes on top
    // at the next insertPending(). True when `file` was already in the list.
    bool add(const std::string &file, const DocumentSummary &summary);
    // Inserts the pending rows at the top, the last added first.
    void insertPending();
    // Inserted rows and pending ones.
    int documentCount() const;
    void clear();

    // Ticked: fully or partly (some attachment lines unticked).
    bool isTicked(int row) const;
    // Ticks or unticks the row and all of its attachments.
    void setTicked(int row, bool ticked);
    void setAllTicked(bool ticked);
    int tickedCount() const;
    // Rows ticked with some of their attachments unticked.
    int partlyTickedCount() const;
    // The attachments ticked in each partly ticked row's file (the topmost row of a file
    // that is in the list twice).
    std::map<std::string, TickedAttachments> partlyTicked() const;
    // The row's file as it was added; empty for a row out of range.
    const std::string &file(int row) const;
    // The file of every ticked row, each once, in the order of the rows, top to bottom.
    std::vector<std::string> tickedFiles() const;
    // Marks the lines of every row of `file` with how the run did: a failed line gets the
    // exclamation image and the reason as tool-tip (also on lines read later).
    void showOutcomes(const std::string &file, const std::vector<AttachmentOutcome> &outcomes);
    // Starts reading the lines of the document row `index`, once; they are inserted when read.
    void readLines(const QModelIndex &index);
    // Lines of some row are being read.
    bool isReading() const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The count as a number, names and paths without regard to case.
    void sort(int column, Qt::SortOrder order) override;

private:
    struct Notes; // what few rows need: failures, notes, invoice, lines
    struct Row {
        std::string file;
        int count = 0;
        bool ticked = false;
        bool trusted = true; // opened, not repaired, listed completely
        bool expandable = false; // it has attachments to show
        bool reading = false;
        std::unique_ptr<Notes> notes;
    };
    using Entry = std::uint32_t; // a row's place in m_rows, which never changes

    Entry entryAt(int row) const;
    int rowOf(Entry entry) const;
    Notes &notesOf(Row &row);
    QVariant documentData(const Row &row, int column, int role) const;
    QVariant lineData(const Row &row, int line, int column, int role) const;
    void linesRead(Entry entry, std::uint64_t generation, AttachmentLines lines);
    // Ticked with some attachment lines unticked.
    static bool isPartlyTicked(const Row &row);
    void setLineTicked(Entry entry, int position, bool ticked);
    // The line at `index` when it has a tick: a listed attachment's, in the first column.
    const AttachmentLine *tickableLine(const QModelIndex &index) const;
    // Tells the views of the new ticks of the row and its lines.
    void ticksChanged(Entry entry);
    QIcon image(int number) const;

    std::deque<Row> m_rows; // in the order they were added; pending ones last
    std::size_t m_inserted = 0; // rows of m_rows the views know
    // The rows present at the last sort, in their sorted order, and each one's place in it;
    // rows added since stand above them, the last added first.
    std::vector<Entry> m_sorted;
    std::vector<Entry> m_rank;
    std::unordered_multimap<std::string_view, Entry> m_byFile; // views into m_rows
    int m_ticked = 0;
    int m_partlyTicked = 0;
    int m_reading = 0;
    std::uint64_t m_generation = 0; // counts clear(): lines read for a row cleared are dropped
    QList<QIcon> m_images;
    LineReader m_lineReader;
    QThreadPool m_readers; // last: waited for before the rows go
};

} // namespace quenlith
