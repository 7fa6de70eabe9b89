#pragma once

#include "extract/pdf/PdfLibrary.h"

#include <QIcon>
#include <QList>
#include <QString>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quenlith {

struct AttachmentOutcome;

// What a document row shows of a document: read in the PDF library, then shown on its row.
struct DocumentSummary {
    bool opened = false;
    int count = 0;
    int unlisted = 0; // embedded files that nothing in the document lists
    std::string error;
    std::vector<Attachment> attachments; // the first ones, as many as a row shows
    InvoiceInfo invoice;
    bool repaired = false; // see Document::repaired
    bool listingComplete = true; // see Document::listingComplete
};

// The document list of the main window: its rows and the controls that follow them (the count
// label, "Select All" and the extraction button). A document row holds the attachment count as
// its text with the paper-clip icon (or 0 with the red exclamation mark and the reason as tool-tip
// when the document does not open; the exclamation mark and "repaired: attachments may be
// missing" first in the tool-tip when qpdf had to repair it), the file name with the PDF icon and
// the full path as tool-tip, and the full path; it expands to one line per attachment (size, name,
// date and origin), at most 500. Positions are 1-based, position 1 is the top row.
class DocumentList {
public:
    struct Controls {
        QTreeWidget *listView = nullptr;
        QLabel *countLabel = nullptr;
        QCheckBox *selectAll = nullptr;
        QPushButton *process = nullptr;
    };

    // `images` are the six images of the window's image list, image 1 first.
    DocumentList(const Controls &controls, PdfLibrary &library, const QList<QIcon> &images);

    // Runs a call that can take long (opening the document `path`); the default runs it in place.
    // The window runs it off its thread while it keeps processing events.
    using LongCall = std::function<void(const QString &path, const std::function<void()> &call)>;
    void setLongCall(LongCall longCall);

    // Opens `path` in the PDF library, counts its attachments and inserts an unticked row at
    // position 1. `pauseBeforeInsert`, when given, runs after the count and before the insert.
    void addDocumentRow(const QString &path, const std::function<void()> &pauseBeforeInsert = {});
    // The same for a path as the file system gives it: its bytes are kept exactly, also where
    // they are not UTF-8 (a Latin-1 name on a Linux disk), and the row shows them as well as it
    // can.
    void addDocumentFile(
        const std::string &file, const std::function<void()> &pauseBeforeInsert = {});
    // The same for a document already read with readSummary.
    void addSummarisedFile(const std::string &file,
        DocumentSummary summary,
        const std::function<void()> &pauseBeforeInsert = {});
    // Opens `file` in `library` and reads what its row shows.
    static DocumentSummary readSummary(PdfLibrary &library, const std::string &file);

    // Count label, "Select All" enabled and ticked, every row ticked.
    void finishBatch();
    // Ticks (box ticked or greyed) or unticks (box unticked) every row and sets the extraction
    // button to match; does nothing on an empty list.
    void selectAllRoutine();
    // Enables the extraction button when any row is ticked; does nothing on an empty list.
    void rowClick();
    // Removes every row and disables the extraction button.
    void clear();

    int rowCount() const;
    bool isTicked(int position) const;
    // The row's full path exactly as it was added; empty for a position out of range.
    QString documentPath(int position) const;
    // The row's path as bytes for the file system, exactly as it was added.
    std::string documentFile(int position) const;
    // Marks the attachment lines of the row at `position` with how the run did: a failed one
    // gets the exclamation mark and its reason as tool-tip.
    void showOutcomes(int position, const std::vector<AttachmentOutcome> &outcomes);
    // The same for every row of the document `file`.
    void showOutcomes(const std::string &file, const std::vector<AttachmentOutcome> &outcomes);
    // The files of the ticked rows, top to bottom, each once.
    std::vector<std::string> tickedFiles() const;

    // "<rows> PDF Documents Added".
    static QString countCaption(int rows);

    struct AttachmentLine {
        QString name;
        QString details; // size, date, origin
        QString failure; // why the last run failed it; empty when it did not fail
    };

private:
    struct PendingLines {
        std::vector<AttachmentLine> lines;
        int more = 0; // attachments beyond the lines
    };

    QIcon image(int number) const;
    // Makes `row`'s attachment lines its child items, the first time it is opened.
    void showLines(QTreeWidgetItem *row);

    std::unordered_map<const QTreeWidgetItem *, PendingLines> m_lines; // rows not yet opened
    Controls m_controls;
    PdfLibrary &m_library;
    QList<QIcon> m_images;
    LongCall m_longCall;
};

} // namespace quenlith
