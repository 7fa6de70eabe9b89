#include "app/AttachmentActions.h"

#include "app/BackgroundCall.h"
#include "app/Platform.h"
#include "app/WindowCommon.h"
#include "doclist/DocumentListModel.h"
#include "doclist/DocumentListView.h"
#include "extract/DocumentExtraction.h"
#include "extract/ExtractionRun.h"
#include "extract/pdf/Document.h"
#include "util/SafeFileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <variant>

namespace quenlith {

AttachmentActions::AttachmentActions(Platform &platform,
    DocumentListView &list,
    QWidget *owner,
    LongCall longCall,
    Command runCommand,
    const std::atomic<bool> &closing)
    : m_platform(platform)
    , m_list(list)
    , m_owner(owner)
    , m_longCall(std::move(longCall))
    , m_runCommand(std::move(runCommand))
    , m_closing(closing)
{
    m_list.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_list, &QWidget::customContextMenuRequested, this, &AttachmentActions::showMenu);
    connect(&m_list, &QAbstractItemView::doubleClicked, this, &AttachmentActions::open);
}

AttachmentActions::~AttachmentActions() = default; // removes the temporary folder

std::optional<AttachmentActions::Line> AttachmentActions::lineAt(const QModelIndex &index) const
{
    const QModelIndex name = index.siblingAtColumn(DocumentListModel::NameColumn);
    const QVariant position = name.data(DocumentListModel::PositionRole);
    if (!index.parent().isValid() || !position.isValid())
        return std::nullopt; // a document's row, or the line after the last one shown
    const QModelIndex document = index.parent().siblingAtColumn(DocumentListModel::PathColumn);
    return Line { document.data(DocumentListModel::FileRole).toByteArray().toStdString(),
        position.toInt(),
        name.data().toString() };
}

std::unique_ptr<QMenu> AttachmentActions::menuFor(const QModelIndex &index)
{
    const std::optional<Line> line = lineAt(index);
    if (!line)
        return nullptr;
    auto menu = std::make_unique<QMenu>(); // no parent: the caller owns it alone
    // Queued: the menu has closed and is gone before a command lets events run.
    const auto add = [&](const QString &text, std::function<void()> command) {
        QAction *action = menu->addAction(text);
        connect(action, &QAction::triggered, this, command, Qt::QueuedConnection);
        return action;
    };
    // In bold: what a double click does.
    menu->setDefaultAction(add(tr("Open"), [this, line = *line] { openLine(line); }));
    add(tr("Save As..."), [this, line = *line] { saveLine(line); });
    if (const QString path = extractedPath(*line); !path.isEmpty())
        add(tr("Show in Folder"), [this, path] { showInFolder(path); });
    return menu;
}

void AttachmentActions::showMenu(const QPoint &at)
{
    if (const std::unique_ptr<QMenu> menu = menuFor(m_list.indexAt(at)))
        menu->exec(m_list.viewport()->mapToGlobal(at));
}

void AttachmentActions::open(const QModelIndex &index)
{
    if (const std::optional<Line> line = lineAt(index))
        openLine(*line);
}

void AttachmentActions::saveAs(const QModelIndex &index)
{
    if (const std::optional<Line> line = lineAt(index))
        saveLine(*line);
}

bool AttachmentActions::confirmOpen(const Line &line)
{
    if (m_openAgreed)
        return true;
    Platform::Message question;
    question.text = tr("Open \"%1\" with the program your desktop opens such files with?\n\n"
                       "Files attached to documents can harm your computer, as mail "
                       "attachments can: open only those from a source you trust.")
                        .arg(line.name);
    question.title = WindowTitle;
    question.icon = Platform::Icon::Warning;
    question.buttons = Platform::Buttons::YesNo;
    question.defaultButton = Platform::Answer::No;
    m_openAgreed = m_platform.messageBox(m_owner, question) == Platform::Answer::Yes;
    return m_openAgreed;
}

void AttachmentActions::openLine(const Line &line)
{
    if (!m_busy && !m_closing && confirmOpen(line))
        guarded([this, &line] { openCopy(line); });
}

void AttachmentActions::openCopy(const Line &line)
{
    if (!m_temporary) {
        m_temporary = std::make_unique<QTemporaryDir>(
            QDir::tempPath() + QStringLiteral("/quenlith-XXXXXX"));
    }
    if (!m_temporary->isValid()) {
        warn(tr("\"%1\" could not be opened: no temporary folder could be created (%2).")
                 .arg(line.name, m_temporary->errorString()));
        m_temporary.reset();
        return;
    }
    // Keep: a copy opened earlier is never replaced under the program that shows it; the same
    // bytes are reused, other ones get a numbered name.
    const std::optional<WriteResult> written = write(
        line, { QFile::encodeName(m_temporary->path()).toStdString(), {}, ExistingFiles::Keep });
    if (!written)
        return;
    if (written->status != WriteStatus::Written) {
        warn(tr("\"%1\" could not be opened: %2.")
                 .arg(line.name, QString::fromStdString(written->reason)));
        return;
    }
    const QString path = QFile::decodeName(QByteArray::fromStdString(written->path));
    if (!m_platform.shellOpen(path))
        warn(tr("\"%1\" could not be opened: the desktop has no program to open it with.")
                 .arg(line.name));
}

void AttachmentActions::saveLine(const Line &line)
{
    guarded([this, &line] { saveCopy(line); });
}

void AttachmentActions::saveCopy(const Line &line)
{
    const QString folder = m_saveFolder.isEmpty() ? QDir::homePath() : m_saveFolder;
    const QString name
        = QString::fromStdString(safeOutputFileName(line.name.toStdString(), line.position));
    QString filter;
    const QString chosen = m_platform.saveFile(m_owner,
        tr("Save Attachment As"),
        tr("All Files (*)"),
        QDir(folder).filePath(name),
        filter);
    if (chosen.isEmpty())
        return;
    m_saveFolder = QFileInfo(chosen).absolutePath();
    // The dialog asked before replacing a file: the new data takes its place once complete.
    const std::optional<WriteResult> written = write(line,
        SingleAttachmentTarget::exactPath(
            QFile::encodeName(chosen).toStdString(), ExistingFiles::Overwrite));
    if (!written || written->status == WriteStatus::Written)
        return;
    const QString reason = QString::fromStdString(written->reason);
    if (written->status == WriteStatus::ChecksumMismatch)
        warn(tr("\"%1\" was saved, but its data disagrees with what the document declares: %2.")
                 .arg(QDir::toNativeSeparators(chosen), reason));
    else
        warn(tr("\"%1\" could not be saved: %2.\nA file that was there is left as it was.")
                 .arg(QDir::toNativeSeparators(chosen), reason));
}

std::optional<WriteResult> AttachmentActions::write(
    const Line &line, const SingleAttachmentTarget &target)
{
    const auto known = m_passwords.find(line.file);
    std::string password = known != m_passwords.end() ? known->second : std::string();
    for (int asked = 0;; ++asked) {
        bool needsPassword = false;
        const WriteResult written = writeWith(line, target, password, needsPassword);
        if (m_closing)
            return std::nullopt;
        if (!needsPassword && !password.empty())
            m_passwords[line.file] = password;
        if (!needsPassword || asked == ExtractionRun::PasswordQuestions)
            return written;
        const QString document = QFile::decodeName(QByteArray::fromStdString(line.file));
        const Platform::PasswordAnswer answer
            = m_platform.askPassword(m_owner, QFileInfo(document).fileName(), asked > 0);
        if (!answer.given)
            return std::nullopt;
        password = answer.password.toStdString();
    }
}

WriteResult AttachmentActions::writeWith(const Line &line,
    const SingleAttachmentTarget &target,
    const std::string &password,
    bool &needsPassword)
{
    WriteResult written;
    m_longCall(QFile::decodeName(QByteArray::fromStdString(line.file)), [&] {
        OpenLimits limits;
        limits.stop = &m_closing;
        auto opened = Document::open(line.file, password, limits);
        if (const auto *failure = std::get_if<OpenFailure>(&opened)) {
            needsPassword = failure->reason == OpenFailure::Reason::NeedsPassword;
            written.reason = "the document cannot be opened: " + failure->text;
            return;
        }
        const Document &pdf = std::get<Document>(opened);
        const Attachment *attachment = pdf.at(line.position);
        if (attachment == nullptr || attachment->name != line.name.toStdString()) {
            written.reason = "the document has changed since its attachments were listed";
            return;
        }
        written = writeSingleAttachment(pdf, line.position, target, {}, [this](std::uint64_t) {
            return !m_closing && !BackgroundCall::stopRequested();
        });
    });
    return written;
}

void AttachmentActions::guarded(const std::function<void()> &command)
{
    if (m_busy || m_closing)
        return;
    m_busy = true;
    m_runCommand(command);
    m_busy = false;
}

void AttachmentActions::runStarted()
{
    m_extracted.clear();
}

void AttachmentActions::documentDone(const DocumentResult &result)
{
    std::vector<Extracted> &files = m_extracted[result.documentPath];
    files.clear();
    for (const AttachmentOutcome &outcome : result.attachments) {
        // Only the lines a row shows can ask for theirs.
        if (outcome.index <= DocumentListModel::MaxLines && outcomeSucceeded(outcome.kind)
            && outcome.kind != AttachmentOutcome::Kind::Skipped)
            files.push_back({ outcome.index, outcome.info.name, outcome.outputPath });
    }
    if (files.empty())
        m_extracted.erase(result.documentPath);
}

QString AttachmentActions::extractedPath(const Line &line) const
{
    const auto document = m_extracted.find(line.file);
    if (document == m_extracted.end())
        return {};
    for (const Extracted &file : document->second) {
        if (file.position != line.position || file.name != line.name.toStdString())
            continue;
        const QString path = QFile::decodeName(QByteArray::fromStdString(file.path));
        return QFileInfo::exists(path) ? path : QString();
    }
    return {};
}

void AttachmentActions::showInFolder(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!m_platform.shellOpen(folder))
        warn(tr("The folder could not be opened: the desktop has no program to open it with.\n%1")
                 .arg(QDir::toNativeSeparators(folder)));
}

QString AttachmentActions::temporaryFolder() const
{
    return m_temporary ? m_temporary->path() : QString();
}

void AttachmentActions::warn(const QString &text)
{
    Platform::Message message;
    message.text = text;
    message.title = WindowTitle;
    message.icon = Platform::Icon::Warning;
    m_platform.messageBox(m_owner, message);
}

} // namespace quenlith
