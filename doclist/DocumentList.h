#pragma once

#include "doclist/DocumentListModel.h"

#include <QCoreApplication>
#include <QIcon>
#include <QList>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

namespace quenlith {

struct AttachmentOutcome;
class DocumentListView;

// The document list of the main window: its rows (a DocumentListModel shown by the list
// control) and the controls that follow them (the count label, "Select All" and the extraction
// button). A document row holds the attachment count as its text with the paper-clip image (or
// the red exclamation mark when the document did not open or qpdf had to repair it, which its
// name also says), the file name with the PDF image and the full path as tool-tip, and the full
// path; it expands to one line per attachment. Positions are 1-based, position 1 is the top row.
class DocumentList {
    Q_DECLARE_TR_FUNCTIONS(quenlith::DocumentList)

public:
    struct Controls {
        DocumentListView *listView = nullptr;
        QLabel *countLabel = nullptr;
        QCheckBox *selectAll = nullptr;
        QPushButton *process = nullptr;
    };

    // `images` are the six images of the window's image list, image 1 first.
    DocumentList(const Controls &controls, const QList<QIcon> &images);

    // Runs a call that can take long (opening the document `path`); the default runs it in place.
    // The window runs it off its thread while it keeps processing events.
    using LongCall = std::function<void(const QString &path, const std::function<void()> &call)>;
    void setLongCall(LongCall longCall);

    // Opens `path`, counts its attachments and inserts an unticked row at position 1.
    // `pauseBeforeInsert`, when given, runs after the count and before the insert.
    void addDocumentRow(const QString &path, const std::function<void()> &pauseBeforeInsert = {});
    // The same for a path as the file system gives it: its bytes are kept exactly, also where
    // they are not UTF-8 (a Latin-1 name on a Linux disk), and the row shows them as well as it
    // can.
    void addDocumentFile(
        const std::string &file, const std::function<void()> &pauseBeforeInsert = {});
    // The same for a document already read with DocumentSummary::read, except that the row waits
    // for the next DeferredListSelection::apply() (or any call below) to be inserted with the
    // others of its batch.
    void addSummarisedFile(const std::string &file,
        const DocumentSummary &summary,
        const std::function<void()> &pauseBeforeInsert = {});

    // Count label (with a note in its tool-tip when documents of the batch were in the list
    // already), "Select All" enabled and ticked, every row ticked.
    void finishBatch();
    // Ticks (box ticked or greyed) or unticks (box unticked) every row and sets the extraction
    // button to match; does nothing on an empty list.
    void selectAllRoutine();
    // Enables the extraction button when any row is ticked, and shows in "Select All" whether
    // none, some or all rows are (a partly ticked row counts as some); does nothing on an empty
    // list.
    void rowClick();
    // Removes every row and disables the extraction button.
    void clear();

    int rowCount() const;
    bool isTicked(int position) const;
    // The row's full path exactly as it was added; empty for a position out of range.
    QString documentPath(int position) const;
    // The row's path as bytes for the file system, exactly as it was added.
    std::string documentFile(int position) const;
    // The file of every ticked row, each once, top to bottom.
    std::vector<std::string> tickedFiles() const;
    // The ticked attachments of each partly ticked file (see DocumentListModel::partlyTicked).
    std::map<std::string, TickedAttachments> partlyTicked() const;
    // Marks the attachment lines of every row of `file` with how the run did: a failed one gets
    // the exclamation mark and its reason as tool-tip.
    void showOutcomes(const std::string &file, const std::vector<AttachmentOutcome> &outcomes);

    // "<rows> PDF Documents Added".
    static QString countCaption(int rows);
    // What the count label's tool-tip says after a batch that added `count` documents that were
    // in the list already; empty for none.
    static QString alreadyListedNote(int count);

private:
    Controls m_controls;
    DocumentListModel &m_documents;
    LongCall m_longCall;
    int m_alreadyListed = 0; // in the batch so far
};

} // namespace quenlith
