#include "doclist/DocumentList.h"

#include "doclist/DocumentListView.h"
#include "extract/DocumentExtraction.h"
#include "extract/pdf/PdfLibrary.h"
#include "extract/report/ReportText.h"
#include "util/DataSize.h"
#include "util/PdfFileName.h"
#include "util/registry.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QTreeWidget>
#include <unordered_set>

namespace quenlith {

namespace {
constexpr int PdfDocumentImage = 1;
constexpr int PaperClipImage = 2;
constexpr int ExclamationImage = 5;
// A row shows at most this many attachments when expanded: a document may hold 100,000.
constexpr int maxShownAttachments = 500;

QString sizeText(std::int64_t bytes)
{
    return bytes < 0 ? QStringLiteral("size not declared")
                     : QString::fromStdString(dataSizeText(static_cast<std::uint64_t>(bytes)));
}

// The line of one attachment under its document's row: name, then size, date and origin.
DocumentList::AttachmentLine lineOf(const Attachment &info)
{
    QStringList details { sizeText(info.declaredSize) };
    if (const std::string date = isoDate(info.modTime); !date.empty())
        details.append(QString::fromStdString(date));
    details.append(QString::fromLatin1(originWord(info.origin)));
    return { QString::fromStdString(info.name), details.join(QStringLiteral("  ")), {} };
}
} // namespace

DocumentList::DocumentList(
    const Controls &controls, PdfLibrary &library, const QList<QIcon> &images)
    : m_controls(controls)
    , m_library(library)
    , m_images(images)
{
    // The lines become items only when a row is first opened: 100,000 rows with a few
    // attachments each would otherwise hold hundreds of thousands of items.
    QObject::connect(m_controls.listView, &QTreeWidget::itemExpanded, [this](QTreeWidgetItem *row) {
        showLines(row);
    });
}

void DocumentList::showLines(QTreeWidgetItem *row)
{
    const auto pending = m_lines.find(row);
    if (pending == m_lines.end())
        return;
    const QIcon clip = image(PaperClipImage);
    const QIcon failed = image(ExclamationImage);
    for (const AttachmentLine &text : pending->second.lines) {
        auto *line = new DocumentRow;
        line->setFlags(Qt::ItemIsEnabled);
        // The first column is indented here: the details go where the path is.
        line->setText(1, text.name);
        line->setIcon(1, text.failure.isEmpty() ? clip : failed);
        line->setToolTip(1, text.failure);
        line->setText(2, text.details);
        row->addChild(line);
    }
    if (pending->second.more > 0) {
        auto *more = new DocumentRow;
        more->setFlags(Qt::ItemIsEnabled);
        more->setText(1, QStringLiteral("... and %1 more").arg(pending->second.more));
        row->addChild(more);
    }
    m_lines.erase(pending);
}

QIcon DocumentList::image(int number) const
{
    return number >= 1 && number <= m_images.size() ? m_images.at(number - 1) : QIcon();
}

void DocumentList::setLongCall(LongCall longCall)
{
    m_longCall = std::move(longCall);
}

void DocumentList::addDocumentRow(
    const QString &path, const std::function<void()> &pauseBeforeInsert)
{
    addDocumentFile(QFile::encodeName(path).toStdString(), pauseBeforeInsert);
}

DocumentSummary DocumentList::readSummary(PdfLibrary &library, const std::string &file)
{
    DocumentSummary summary;
    summary.opened
        = library.OpenDocument(file, std::string()) == static_cast<int>(OpenStatus::Opened);
    summary.error = library.lastError();
    const Document *document = library.document();
    // A document that does not open shows 0, never the count of the previous document.
    if (document == nullptr)
        return summary;
    summary.count = static_cast<int>(document->attachments().size());
    // Embedded files that nothing in the document lists: a hidden payload must not be
    // invisible. Reading every object once costs what the command line's list pays too.
    summary.unlisted = static_cast<int>(document->unlisted().size());
    for (int i = 0; i < std::min(summary.count, maxShownAttachments); ++i)
        summary.attachments.push_back(document->attachments()[static_cast<std::size_t>(i)]);
    summary.invoice = document->invoice();
    summary.repaired = document->repaired();
    summary.listingComplete = document->listingComplete();
    return summary;
}

void DocumentList::addDocumentFile(
    const std::string &file, const std::function<void()> &pauseBeforeInsert)
{
    DocumentSummary summary;
    const auto open = [&] { summary = readSummary(m_library, file); };
    if (m_longCall)
        m_longCall(QString::fromStdString(file), open);
    else
        open();
    addSummarisedFile(file, std::move(summary), pauseBeforeInsert);
}

void DocumentList::addSummarisedFile(const std::string &file,
    DocumentSummary summary,
    const std::function<void()> &pauseBeforeInsert)
{
    const std::string &utf8Path = file; // the bytes, which need not be UTF-8
    const QString path = QString::fromStdString(file); // for showing it
    const bool opened = summary.opened;
    const int count = summary.count;
    const int unlisted = summary.unlisted;
    const std::string &error = summary.error;
    const std::vector<Attachment> &attachments = summary.attachments;
    const InvoiceInfo &invoice = summary.invoice;
    QString reason;
    if (!opened) {
        reason = QString::fromStdString(error);
        if (reason.isEmpty())
            reason = QStringLiteral("The document could not be opened.");
    }
    if (pauseBeforeInsert)
        pauseBeforeInsert();

    auto *row = new DocumentRow;
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setText(0, QString::number(count));
    row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    const bool trusted = opened && !summary.repaired && summary.listingComplete;
    row->setIcon(0, image(trusted ? PaperClipImage : ExclamationImage));
    row->setCheckState(0, Qt::Unchecked);
    row->setText(1, QString::fromStdString(FileNameOfPath(utf8Path)));
    row->setIcon(1, image(PdfDocumentImage));
    row->setToolTip(1, path);
    row->setText(2, path);
    row->setData(2, Qt::UserRole, QByteArray::fromStdString(file));
    if (!attachments.empty()) {
        PendingLines &pending = m_lines[row];
        for (const Attachment &info : attachments)
            pending.lines.push_back(lineOf(info));
        pending.more = count - static_cast<int>(attachments.size());
        row->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
    QStringList notes; // the count's tooltip
    if (!opened)
        notes.append(reason);
    if (unlisted > 0)
        notes.append(unlisted == 1
                ? QStringLiteral("1 embedded file that the document does not list is not "
                                 "extracted; quenlith-cli extract --unlisted writes it.")
                : QStringLiteral("%1 embedded files that the document does not list are not "
                                 "extracted; quenlith-cli extract --unlisted writes them.")
                      .arg(unlisted));
    if (invoice.declared) {
        // An electronic invoice says so on its row, and on its attachment's line.
        const QString text = QString::fromStdString(invoiceText(invoice));
        notes.prepend(text);
        if (const auto pending = m_lines.find(row); pending != m_lines.end() && invoice.present
            && invoice.index >= 1
            && invoice.index <= static_cast<int>(pending->second.lines.size())) {
            QString &details
                = pending->second.lines[static_cast<std::size_t>(invoice.index - 1)].details;
            details = text + QStringLiteral("  ") + details;
        }
    }
    // The count of a damaged document is what could be read, not what it held.
    if (!summary.listingComplete)
        notes.prepend(QString::fromLatin1(incompleteListingReason));
    if (summary.repaired)
        notes.prepend(QStringLiteral("repaired: attachments may be missing"));
    if (!notes.isEmpty())
        row->setToolTip(0, notes.join(QLatin1Char('\n')));
    m_controls.listView->insertTopLevelItem(0, row);
}

void DocumentList::finishBatch()
{
    m_controls.countLabel->setText(countCaption(rowCount()));
    m_controls.selectAll->setEnabled(true);
    m_controls.selectAll->setCheckState(Qt::Checked);
    selectAllRoutine();
}

void DocumentList::selectAllRoutine()
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    const bool tick = m_controls.selectAll->checkState() != Qt::Unchecked;
    {
        // Without telling the view row by row, which looks each row up in its layout: quadratic
        // at 100,000 rows. One repaint shows them all.
        const QSignalBlocker quiet(m_controls.listView->model());
        for (int position = 1; position <= rows; ++position)
            m_controls.listView->topLevelItem(position - 1)
                ->setCheckState(0, tick ? Qt::Checked : Qt::Unchecked);
    }
    m_controls.listView->viewport()->update();
    m_controls.process->setEnabled(tick);
}

void DocumentList::rowClick()
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    for (int position = 1; position <= rows; ++position) {
        if (isTicked(position)) {
            m_controls.process->setEnabled(true);
            return;
        }
    }
    m_controls.process->setEnabled(false);
}

void DocumentList::clear()
{
    m_lines.clear(); // before the rows that are its keys go
    m_controls.listView->clear();
    m_controls.process->setEnabled(false);
}

void DocumentList::showOutcomes(int position, const std::vector<AttachmentOutcome> &outcomes)
{
    QTreeWidgetItem *row = m_controls.listView->topLevelItem(position - 1);
    if (row == nullptr)
        return;
    const auto pending = m_lines.find(row);
    for (const AttachmentOutcome &outcome : outcomes) {
        const QString name = QString::fromStdString(outcome.info.name);
        const QString failure
            = outcomeSucceeded(outcome.kind) ? QString() : QString::fromStdString(outcome.reason);
        if (pending != m_lines.end()) { // not opened yet: the line shows it when it is
            const auto at = static_cast<std::size_t>(outcome.index - 1);
            if (outcome.index >= 1 && at < pending->second.lines.size()
                && pending->second.lines[at].name == name)
                pending->second.lines[at].failure = failure;
            continue;
        }
        QTreeWidgetItem *line = row->child(outcome.index - 1);
        if (line == nullptr || line->text(1) != name)
            continue; // beyond the lines shown, or the document changed since it was added
        line->setIcon(1, image(failure.isEmpty() ? PaperClipImage : ExclamationImage));
        line->setToolTip(1, failure);
    }
}

void DocumentList::showOutcomes(
    const std::string &file, const std::vector<AttachmentOutcome> &outcomes)
{
    for (int i = 1; i <= rowCount(); ++i) {
        if (documentFile(i) == file)
            showOutcomes(i, outcomes);
    }
}

std::vector<std::string> DocumentList::tickedFiles() const
{
    std::vector<std::string> files;
    std::unordered_set<std::string> seen;
    for (int i = 1; i <= rowCount(); ++i) {
        if (isTicked(i) && seen.insert(documentFile(i)).second)
            files.push_back(documentFile(i));
    }
    return files;
}

int DocumentList::rowCount() const
{
    return m_controls.listView->topLevelItemCount();
}

bool DocumentList::isTicked(int position) const
{
    const QTreeWidgetItem *row = m_controls.listView->topLevelItem(position - 1);
    return row != nullptr && row->checkState(0) == Qt::Checked;
}

QString DocumentList::documentPath(int position) const
{
    const QTreeWidgetItem *row = m_controls.listView->topLevelItem(position - 1);
    if (row == nullptr)
        return QString();
    // Exactly as the path was added: "t.pdf " and "t.pdf" are two documents.
    return row->text(2);
}

std::string DocumentList::documentFile(int position) const
{
    const QTreeWidgetItem *row = m_controls.listView->topLevelItem(position - 1);
    return row == nullptr ? std::string() : row->data(2, Qt::UserRole).toByteArray().toStdString();
}

QString DocumentList::countCaption(int rows)
{
    return QString::number(rows) + QStringLiteral(" PDF Documents Added");
}

} // namespace quenlith
