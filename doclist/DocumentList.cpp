#include "doclist/DocumentList.h"

#include "doclist/DocumentListView.h"
#include "extract/DocumentExtraction.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QToolTip>
#include <utility>

namespace quenlith {

DocumentList::DocumentList(const Controls &controls, const QList<QIcon> &images)
    : m_controls(controls)
    , m_documents(controls.listView->documents())
{
    m_documents.setImages(images);
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

void DocumentList::addDocumentFile(
    const std::string &file, const std::function<void()> &pauseBeforeInsert)
{
    DocumentSummary summary;
    const auto open = [&] { summary = DocumentSummary::read(file); };
    if (m_longCall)
        m_longCall(QString::fromStdString(file), open);
    else
        open();
    addSummarisedFile(file, summary, pauseBeforeInsert);
    m_documents.insertPending();
}

void DocumentList::addSummarisedFile(const std::string &file,
    const DocumentSummary &summary,
    const std::function<void()> &pauseBeforeInsert)
{
    if (pauseBeforeInsert)
        pauseBeforeInsert();
    if (m_documents.add(file, summary))
        ++m_alreadyListed;
}

QString DocumentList::alreadyListedNote(int count)
{
    if (count <= 0)
        return {};
    return tr("%n added document(s) already in the list.", nullptr, count);
}

void DocumentList::finishBatch()
{
    m_documents.insertPending();
    QLabel *label = m_controls.countLabel;
    label->setText(countCaption(rowCount()));
    // Said once for the batch, where the count is, without a box to dismiss.
    const QString note = alreadyListedNote(std::exchange(m_alreadyListed, 0));
    label->setToolTip(note);
    if (!note.isEmpty() && label->isVisible())
        QToolTip::showText(label->mapToGlobal(label->rect().bottomLeft()), note, label);
    m_controls.selectAll->setEnabled(true);
    m_controls.selectAll->setCheckState(Qt::Checked);
    selectAllRoutine();
}

void DocumentList::selectAllRoutine()
{
    m_documents.insertPending();
    if (rowCount() == 0)
        return;
    const bool tick = m_controls.selectAll->checkState() != Qt::Unchecked;
    m_documents.setAllTicked(tick);
    m_controls.process->setEnabled(tick);
}

void DocumentList::rowClick()
{
    m_documents.insertPending();
    const int rows = rowCount();
    if (rows == 0)
        return;
    const int ticked = m_documents.tickedCount();
    m_controls.process->setEnabled(ticked > 0);
    const bool all = ticked == rows && m_documents.partlyTickedCount() == 0;
    m_controls.selectAll->setCheckState(ticked == 0 ? Qt::Unchecked
            : all                                   ? Qt::Checked
                                                    : Qt::PartiallyChecked);
}

void DocumentList::clear()
{
    m_documents.clear();
    m_alreadyListed = 0;
    m_controls.process->setEnabled(false);
}

int DocumentList::rowCount() const
{
    return m_documents.documentCount();
}

bool DocumentList::isTicked(int position) const
{
    m_documents.insertPending();
    return m_documents.isTicked(position - 1);
}

QString DocumentList::documentPath(int position) const
{
    // Exactly as the path was added: "t.pdf " and "t.pdf" are two documents.
    return QString::fromStdString(documentFile(position));
}

std::string DocumentList::documentFile(int position) const
{
    m_documents.insertPending();
    return m_documents.file(position - 1);
}

std::vector<std::string> DocumentList::tickedFiles() const
{
    m_documents.insertPending();
    return m_documents.tickedFiles();
}

std::map<std::string, TickedAttachments> DocumentList::partlyTicked() const
{
    m_documents.insertPending();
    return m_documents.partlyTicked();
}

void DocumentList::showOutcomes(
    const std::string &file, const std::vector<AttachmentOutcome> &outcomes)
{
    m_documents.showOutcomes(file, outcomes);
}

QString DocumentList::countCaption(int rows)
{
    return tr("%n PDF Documents Added", nullptr, rows);
}

} // namespace quenlith
