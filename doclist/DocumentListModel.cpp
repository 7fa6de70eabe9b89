#include "doclist/DocumentListModel.h"

#include "extract/DocumentExtraction.h"
#include "extract/pdf/Document.h"
#include "extract/report/ReportText.h"
#include "util/registry.h"

#include <QStringList>
#include <algorithm>
#include <unordered_set>
#include <utility>
#include <variant>

namespace quenlith {

namespace {
constexpr int PdfDocumentImage = 1;
constexpr int PaperClipImage = 2;
constexpr int ExclamationImage = 5;

// The words before the first colon of an open failure ("damaged beyond repair", "needs a
// password"): what a row says after the document's name.
QString shortReason(const std::string &error)
{
    const QString text = QString::fromStdString(error);
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    return colon > 0     ? text.left(colon)
        : text.isEmpty() ? DocumentListModel::tr("cannot be opened")
                         : text;
}

QString countToolTip(const DocumentSummary &summary)
{
    QStringList notes;
    if (!summary.opened)
        notes.append(summary.error.empty()
                ? DocumentListModel::tr("The document could not be opened.")
                : QString::fromStdString(summary.error));
    if (summary.unlisted > 0)
        notes.append(
            DocumentListModel::tr("%n embedded file(s) that the document does not list are "
                                  "not extracted; quenlith-cli extract --unlisted "
                                  "writes them.",
                nullptr,
                summary.unlisted));
    if (summary.invoice.declared)
        notes.prepend(QString::fromStdString(invoiceText(summary.invoice)));
    // The count of a damaged document is what could be read, not what it held.
    if (!summary.listingComplete)
        notes.prepend(QString::fromLatin1(incompleteListingReason));
    if (summary.repaired)
        notes.prepend(DocumentListModel::tr("repaired: attachments may be missing"));
    return notes.join(QLatin1Char('\n'));
}
} // namespace

struct DocumentListModel::Notes {
    QString countToolTip;
    QString mark; // shown after the name: "repaired", "damaged", "needs a password", ...
    InvoiceInfo invoice;
    // Attachments that the last run failed, by position: the name it had and why.
    std::map<int, std::pair<QString, QString>> failures;
    std::unique_ptr<AttachmentLines> lines; // once read
    TickedAttachments lineTicks; // of a ticked row; the default while it is unticked
    int lineCount() const
    {
        return lines ? lineCountOf(*lines) : 0;
    }
    // The lines, and one more that tells of the attachments not shown or why none could be read.
    static int lineCountOf(const AttachmentLines &lines)
    {
        const bool extra = lines.more > 0 || (lines.lines.empty() && !lines.error.isEmpty());
        return static_cast<int>(lines.lines.size()) + (extra ? 1 : 0);
    }
};

DocumentSummary DocumentSummary::read(const std::string &file)
{
    DocumentSummary summary;
    auto opened = Document::open(file, std::string());
    if (const auto *failure = std::get_if<OpenFailure>(&opened)) {
        summary.error = failure->text;
        return summary;
    }
    const Document &document = std::get<Document>(opened);
    summary.opened = true;
    summary.count = static_cast<int>(document.attachments().size());
    // Embedded files that nothing in the document lists: a hidden payload must not be
    // invisible. Reading every object once costs what the command line's list pays too.
    summary.unlisted = static_cast<int>(document.unlisted().size());
    summary.invoice = document.invoice();
    summary.repaired = document.repaired();
    summary.listingComplete = document.listingComplete();
    return summary;
}

AttachmentLines AttachmentLines::read(const std::string &file)
{
    AttachmentLines read;
    auto opened = Document::open(file, std::string());
    if (const auto *failure = std::get_if<OpenFailure>(&opened)) {
        read.error = QString::fromStdString(failure->text);
        return read;
    }
    const Document &document = std::get<Document>(opened);
    for (const auto *list : { &document.attachments(), &document.unlisted() }) {
        for (const Attachment &attachment : *list) {
            if (read.lines.size() < DocumentListModel::MaxLines)
                read.lines.push_back(attachmentLine(attachment, document.invoice()));
            else
                ++read.more;
        }
    }
    return read;
}

DocumentListModel::DocumentListModel(QObject *parent)
    : QAbstractItemModel(parent)
{
    m_readers.setMaxThreadCount(1);
}

DocumentListModel::~DocumentListModel()
{
    m_readers.waitForDone();
}

void DocumentListModel::setImages(const QList<QIcon> &images)
{
    m_images = images;
}

void DocumentListModel::setLineReader(LineReader reader)
{
    m_lineReader = std::move(reader);
}

QIcon DocumentListModel::image(int number) const
{
    return number >= 1 && number <= m_images.size() ? m_images.at(number - 1) : QIcon();
}

DocumentListModel::Notes &DocumentListModel::notesOf(Row &row)
{
    if (!row.notes)
        row.notes = std::make_unique<Notes>();
    return *row.notes;
}

bool DocumentListModel::add(const std::string &file, const DocumentSummary &summary)
{
    const bool known = m_byFile.count(file) > 0;
    Row &row = m_rows.emplace_back();
    row.file = file;
    row.count = summary.count;
    row.trusted = summary.opened && !summary.repaired && summary.listingComplete;
    row.expandable = summary.count + summary.unlisted > 0;
    const QString tip = countToolTip(summary);
    if (!tip.isEmpty() || !row.trusted || summary.invoice.declared) {
        Notes &notes = notesOf(row);
        notes.countToolTip = tip;
        notes.invoice = summary.invoice;
        if (summary.repaired)
            notes.mark = tr("repaired");
        else if (!summary.opened)
            notes.mark = shortReason(summary.error);
        else if (!summary.listingComplete)
            notes.mark = tr("damaged");
    }
    m_byFile.emplace(row.file, static_cast<Entry>(m_rows.size() - 1));
    return known;
}

void DocumentListModel::insertPending()
{
    if (m_rows.size() == m_inserted)
        return;
    beginInsertRows({}, 0, static_cast<int>(m_rows.size() - m_inserted) - 1);
    m_inserted = m_rows.size();
    endInsertRows();
}

int DocumentListModel::documentCount() const
{
    return static_cast<int>(m_rows.size());
}

void DocumentListModel::clear()
{
    beginResetModel();
    m_byFile.clear(); // before the rows it views
    m_rows.clear();
    m_inserted = 0;
    m_sorted.clear();
    m_rank.clear();
    m_ticked = 0;
    m_partlyTicked = 0;
    m_reading = 0;
    ++m_generation;
    endResetModel();
}

DocumentListModel::Entry DocumentListModel::entryAt(int row) const
{
    const auto above = static_cast<int>(m_inserted - m_sorted.size());
    return row < above ? static_cast<Entry>(m_inserted - 1 - static_cast<std::size_t>(row))
                       : m_sorted[static_cast<std::size_t>(row - above)];
}

int DocumentListModel::rowOf(Entry entry) const
{
    if (entry >= m_sorted.size())
        return static_cast<int>(m_inserted - 1 - entry);
    return static_cast<int>(m_inserted - m_sorted.size() + m_rank[entry]);
}

bool DocumentListModel::isTicked(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[entryAt(row)].ticked;
}

void DocumentListModel::setTicked(int row, bool ticked)
{
    if (row < 0 || row >= rowCount())
        return;
    const Entry entry = entryAt(row);
    Row &document = m_rows[entry];
    const bool partly = isPartlyTicked(document);
    if (document.ticked == ticked && !partly)
        return;
    m_ticked += document.ticked == ticked ? 0 : ticked ? 1 : -1;
    m_partlyTicked -= partly ? 1 : 0;
    document.ticked = ticked;
    if (document.notes)
        document.notes->lineTicks = {};
    ticksChanged(entry);
}

bool DocumentListModel::isPartlyTicked(const Row &row)
{
    if (!row.ticked || !row.notes)
        return false;
    const TickedAttachments &ticks = row.notes->lineTicks;
    return ticks.onlyPositions || !ticks.positions.empty();
}

void DocumentListModel::setLineTicked(Entry entry, int position, bool ticked)
{
    Row &row = m_rows[entry];
    if (position < 1 || position > row.count)
        return;
    const bool wasPartly = isPartlyTicked(row);
    TickedAttachments &ticks = notesOf(row).lineTicks;
    if (!row.ticked) {
        if (!ticked)
            return;
        row.ticked = true;
        ++m_ticked;
        ticks = { true, {} }; // only the line ticked now
    }
    if (ticks.isTicked(position) != ticked && ticks.positions.erase(position) == 0)
        ticks.positions.insert(position);
    const std::size_t count = static_cast<std::size_t>(row.count);
    const std::size_t tickedLines
        = ticks.onlyPositions ? ticks.positions.size() : count - ticks.positions.size();
    if (tickedLines == count) {
        ticks = {};
    } else if (tickedLines == 0) {
        ticks = {};
        row.ticked = false;
        --m_ticked;
    }
    m_partlyTicked += (isPartlyTicked(row) ? 1 : 0) - (wasPartly ? 1 : 0);
    ticksChanged(entry);
}

void DocumentListModel::ticksChanged(Entry entry)
{
    if (entry >= m_inserted)
        return;
    const QModelIndex document = index(rowOf(entry), CountColumn);
    emit dataChanged(document, document, { Qt::CheckStateRole });
    const Row &row = m_rows[entry];
    if (row.notes && row.notes->lineCount() > 0)
        emit dataChanged(index(0, CountColumn, document),
            index(row.notes->lineCount() - 1, CountColumn, document),
            { Qt::CheckStateRole });
}

void DocumentListModel::setAllTicked(bool ticked)
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    for (std::size_t entry = 0; entry < m_inserted; ++entry) {
        m_rows[entry].ticked = ticked;
        if (m_rows[entry].notes)
            m_rows[entry].notes->lineTicks = {};
    }
    m_ticked = ticked ? rows : 0;
    m_partlyTicked = 0;
    emit dataChanged(index(0, CountColumn), index(rows - 1, CountColumn), { Qt::CheckStateRole });
    for (std::size_t entry = 0; entry < m_inserted; ++entry) {
        if (m_rows[entry].notes && m_rows[entry].notes->lineCount() > 0)
            ticksChanged(static_cast<Entry>(entry));
    }
}

int DocumentListModel::partlyTickedCount() const
{
    return m_partlyTicked;
}

std::map<std::string, TickedAttachments> DocumentListModel::partlyTicked() const
{
    std::map<std::string, TickedAttachments> ticked;
    for (int row = 0; row < rowCount() && ticked.size() < static_cast<std::size_t>(m_partlyTicked);
         ++row) {
        const Row &document = m_rows[entryAt(row)];
        if (isPartlyTicked(document))
            ticked.emplace(document.file, document.notes->lineTicks);
    }
    return ticked;
}

int DocumentListModel::tickedCount() const
{
    return m_ticked;
}

const std::string &DocumentListModel::file(int row) const
{
    static const std::string none;
    return row >= 0 && row < rowCount() ? m_rows[entryAt(row)].file : none;
}

std::vector<std::string> DocumentListModel::tickedFiles() const
{
    std::vector<std::string> files;
    std::unordered_set<std::string_view> seen;
    for (int row = 0; row < rowCount() && files.size() < static_cast<std::size_t>(m_ticked);
         ++row) {
        const Row &document = m_rows[entryAt(row)];
        if (document.ticked && seen.insert(document.file).second)
            files.push_back(document.file);
    }
    return files;
}

void DocumentListModel::showOutcomes(
    const std::string &file, const std::vector<AttachmentOutcome> &outcomes)
{
    const auto [first, last] = m_byFile.equal_range(file);
    for (auto it = first; it != last; ++it) {
        Row &row = m_rows[it->second];
        Notes &notes = notesOf(row);
        notes.failures.clear(); // a rerun may have written what failed before
        for (const AttachmentOutcome &outcome : outcomes) {
            if (!outcomeSucceeded(outcome.kind))
                notes.failures[outcome.index] = { QString::fromStdString(outcome.info.name),
                    QString::fromStdString(outcome.reason) };
        }
        if (it->second < m_inserted && notes.lineCount() > 0) {
            const QModelIndex parent = index(rowOf(it->second), CountColumn);
            emit dataChanged(index(0, NameColumn, parent),
                index(notes.lineCount() - 1, NameColumn, parent),
                { Qt::DecorationRole, Qt::ToolTipRole });
        }
    }
}

void DocumentListModel::readLines(const QModelIndex &document)
{
    if (!document.isValid() || document.parent().isValid())
        return;
    const Entry entry = entryAt(document.row());
    Row &row = m_rows[entry];
    if (!row.expandable || row.reading || (row.notes && row.notes->lines))
        return;
    row.reading = true;
    ++m_reading;
    m_readers.start(
        [this, entry, generation = m_generation, file = row.file, reader = m_lineReader] {
            AttachmentLines lines;
            try {
                lines = reader ? reader(file) : AttachmentLines::read(file);
            } catch (const std::exception &e) {
                lines = {};
                lines.error = tr("The attachments could not be read: %1")
                                  .arg(QString::fromLocal8Bit(e.what()));
            }
            QMetaObject::invokeMethod(
                this,
                [this, entry, generation, lines = std::move(lines)]() mutable {
                    linesRead(entry, generation, std::move(lines));
                },
                Qt::QueuedConnection);
        });
}

void DocumentListModel::linesRead(Entry entry, std::uint64_t generation, AttachmentLines lines)
{
    if (generation != m_generation)
        return; // the list was cleared meanwhile
    --m_reading;
    Row &row = m_rows[entry];
    row.reading = false;
    Notes &notes = notesOf(row);
    const int count = Notes::lineCountOf(lines);
    if (count > 0)
        beginInsertRows(index(rowOf(entry), CountColumn), 0, count - 1);
    notes.lines = std::make_unique<AttachmentLines>(std::move(lines));
    if (count > 0)
        endInsertRows();
}

bool DocumentListModel::isReading() const
{
    return m_reading > 0;
}

QModelIndex DocumentListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, quintptr(0));
    return createIndex(row, column, quintptr(entryAt(parent.row())) + 1);
}

QModelIndex DocumentListModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(rowOf(static_cast<Entry>(child.internalId() - 1)), 0, quintptr(0));
}

int DocumentListModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return static_cast<int>(m_inserted);
    if (parent.internalId() != 0 || parent.column() != 0)
        return 0;
    const Row &row = m_rows[entryAt(parent.row())];
    return row.notes ? row.notes->lineCount() : 0;
}

int DocumentListModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

bool DocumentListModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_inserted > 0;
    if (parent.internalId() != 0 || parent.column() != 0)
        return false;
    const Row &row = m_rows[entryAt(parent.row())];
    return row.notes && row.notes->lines ? row.notes->lineCount() > 0 : row.expandable;
}

QVariant DocumentListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (index.internalId() == 0)
        return documentData(m_rows[entryAt(index.row())], index.column(), role);
    return lineData(m_rows[index.internalId() - 1], index.row(), index.column(), role);
}

QVariant DocumentListModel::documentData(const Row &row, int column, int role) const
{
    const Notes *notes = row.notes.get();
    switch (column * 0x100 + role) {
    case CountColumn * 0x100 + Qt::DisplayRole:
        return QString::number(row.count);
    case CountColumn * 0x100 + Qt::TextAlignmentRole:
        return int(Qt::AlignRight | Qt::AlignVCenter);
    case CountColumn * 0x100 + Qt::DecorationRole:
        return image(row.trusted ? PaperClipImage : ExclamationImage);
    case CountColumn * 0x100 + Qt::CheckStateRole:
        return isPartlyTicked(row) ? Qt::PartiallyChecked
            : row.ticked           ? Qt::Checked
                                   : Qt::Unchecked;
    case CountColumn * 0x100 + Qt::ToolTipRole:
        return notes != nullptr ? notes->countToolTip : QString();
    case NameColumn * 0x100 + Qt::DisplayRole: {
        const QString name = QString::fromStdString(FileNameOfPath(row.file));
        return notes == nullptr || notes->mark.isEmpty() ? name : name + " (" + notes->mark + ")";
    }
    case NameColumn * 0x100 + Qt::DecorationRole:
        return image(PdfDocumentImage);
    case NameColumn * 0x100 + Qt::ToolTipRole:
    case PathColumn * 0x100 + Qt::DisplayRole:
        return QString::fromStdString(row.file);
    case PathColumn * 0x100 + FileRole:
        return QByteArray::fromStdString(row.file);
    default:
        return {};
    }
}

QVariant DocumentListModel::lineData(const Row &row, int line, int column, int role) const
{
    const Notes *notes = row.notes.get();
    if (notes == nullptr || !notes->lines)
        return {};
    const AttachmentLines &lines = *notes->lines;
    if (line >= static_cast<int>(lines.lines.size())) { // the line after the last one shown
        if (column != NameColumn || role != Qt::DisplayRole)
            return {};
        return lines.more > 0 ? tr("... and %n more", nullptr, lines.more) : lines.error;
    }
    // The first column is indented here: the name goes where the document's is.
    const AttachmentLine &text = lines.lines[static_cast<std::size_t>(line)];
    if (role == PositionRole)
        return column == NameColumn ? QVariant(text.position) : QVariant();
    const auto failed = notes->failures.find(text.position);
    const bool failure = failed != notes->failures.end() && failed->second.first == text.name;
    switch (column * 0x100 + role) {
    case CountColumn * 0x100 + Qt::CheckStateRole:
        if (text.position > row.count) // an unlisted file: the window does not extract it
            return {};
        return row.ticked && notes->lineTicks.isTicked(text.position) ? Qt::Checked : Qt::Unchecked;
    case NameColumn * 0x100 + Qt::DisplayRole:
        return text.name;
    case NameColumn * 0x100 + Qt::DecorationRole:
        return image(failure ? ExclamationImage : PaperClipImage);
    case NameColumn * 0x100 + Qt::ToolTipRole:
        return failure ? failed->second.second : QString();
    case PathColumn * 0x100 + Qt::DisplayRole:
        return text.details;
    case PathColumn * 0x100 + Qt::ToolTipRole:
        return text.toolTip;
    default:
        return {};
    }
}

const AttachmentLine *DocumentListModel::tickableLine(const QModelIndex &index) const
{
    if (!index.isValid() || index.internalId() == 0 || index.column() != CountColumn)
        return nullptr;
    const Row &row = m_rows[index.internalId() - 1];
    if (!row.notes || !row.notes->lines
        || index.row() >= static_cast<int>(row.notes->lines->lines.size()))
        return nullptr;
    const AttachmentLine &line = row.notes->lines->lines[static_cast<std::size_t>(index.row())];
    return line.position <= row.count ? &line : nullptr;
}

bool DocumentListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != CountColumn || role != Qt::CheckStateRole)
        return false;
    const bool ticked = value.toInt() == Qt::Checked;
    if (index.internalId() == 0) {
        setTicked(index.row(), ticked);
        return true;
    }
    const AttachmentLine *line = tickableLine(index);
    if (line != nullptr)
        setLineTicked(static_cast<Entry>(index.internalId() - 1), line->position, ticked);
    return line != nullptr;
}

Qt::ItemFlags DocumentListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.internalId() != 0) // the line of a listed attachment has a tick
        return Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
            | (tickableLine(index) != nullptr ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return index.column() == CountColumn ? flags | Qt::ItemIsUserCheckable : flags;
}

QVariant DocumentListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case CountColumn:
        return tr("Attachments");
    case NameColumn:
        return tr("PDF Document Name");
    case PathColumn:
        return tr("PDF Document Path");
    default:
        return {};
    }
}

void DocumentListModel::sort(int column, Qt::SortOrder order)
{
    insertPending();
    const int rows = rowCount();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<Entry> entriesBefore;
    for (const QModelIndex &index : before)
        entriesBefore.push_back(index.internalId() == 0 ? entryAt(index.row()) : 0);
    // Keys made once: comparing 100,000 paths as they are would convert each many times.
    std::vector<QString> keys(column == CountColumn ? 0 : m_inserted);
    for (std::size_t entry = 0; entry < keys.size(); ++entry)
        keys[entry] = QString::fromStdString(
            column == NameColumn ? FileNameOfPath(m_rows[entry].file) : m_rows[entry].file)
                          .toCaseFolded();
    std::vector<Entry> sorted;
    sorted.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row)
        sorted.push_back(entryAt(row));
    const auto less = [&](Entry a, Entry b) {
        if (column == CountColumn)
            return m_rows[a].count < m_rows[b].count;
        return keys[a] < keys[b];
    };
    if (order == Qt::AscendingOrder)
        std::stable_sort(sorted.begin(), sorted.end(), less);
    else
        std::stable_sort(
            sorted.begin(), sorted.end(), [&](Entry a, Entry b) { return less(b, a); });
    m_sorted = std::move(sorted);
    m_rank.assign(m_sorted.size(), 0);
    for (std::size_t rank = 0; rank < m_sorted.size(); ++rank)
        m_rank[m_sorted[rank]] = static_cast<Entry>(rank);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(before[i].internalId() != 0
                ? before[i]
                : createIndex(rowOf(entriesBefore[static_cast<std::size_t>(i)]),
                    before[i].column(),
                    quintptr(0)));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace quenlith
