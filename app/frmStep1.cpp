#include "app/frmStep1.h"

#include "app/AttachmentActions.h"
#include "app/BackgroundCall.h"
#include "app/WindowCommon.h"
#include "doclist/DeferredListSelection.h"
#include "doclist/DocumentList.h"
#include "doclist/DocumentListView.h"
#include "doclist/DocumentReadAhead.h"
#include "doclist/FileDialogAnswer.h"
#include "scan/FileSystemService.h"
#include "scan/pathLogger.h"
#include "util/Error.h"
#include "util/PdfFileName.h"
#include "util/registry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <utility>

namespace quenlith {

frmStep1::frmStep1(Platform &platform, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_platform(platform)
{
    Form_Initialize();
    buildLayout();
    connectCommands();
    setTabOrderAndNames();
    Form_Load();
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    cmdAdd->setFocus();
}

frmStep1::~frmStep1()
{
    BackgroundCall::endIdleThreads();
}

void frmStep1::Form_Initialize()
{
    // The controls take the platform's style. Where Tahoma is missing, a face of similar width
    // keeps the captions inside their buttons.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
        { QStringLiteral("DejaVu Sans Condensed"),
            QStringLiteral("Liberation Sans Narrow"),
            QStringLiteral("Arial"),
            QStringLiteral("Liberation Sans") });
}

void frmStep1::connectCommands()
{
    connect(cmdAdd, &QPushButton::clicked, this, &frmStep1::cmdAdd_Click);
    connect(CmdAddFolder, &QPushButton::clicked, this, &frmStep1::CmdAddFolder_Click);
    connect(cmdClear1, &QPushButton::clicked, this, &frmStep1::cmdClear1_Click);
    connect(ChkSelectAll, &QCheckBox::clicked, this, &frmStep1::ChkSelectAll_Click);
    connect(ListView1, &DocumentListView::listClicked, this, &frmStep1::ListView1_Click);
    // Queued, so that the drag source is released before the documents are read.
    connect(ListView1,
        &DocumentListView::pathsDropped,
        this,
        &frmStep1::ListView1_Drop,
        Qt::QueuedConnection);
    connect(CmdProcess, &QPushButton::clicked, this, &frmStep1::CmdProcess_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStep1::cmdCancel_Click);
    // Escape cancels at once; a button's own shortcut would click it only after an animation.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &frmStep1::cmdCancel_Click);
    connect(CmdHelp, &QPushButton::clicked, this, &frmStep1::CmdHelp_Click);
    connect(cmdEnd, &QPushButton::clicked, this, &frmStep1::cmdEnd_Click);
}

void frmStep1::Form_Load()
{
    m_documentList = std::make_unique<DocumentList>(
        DocumentList::Controls { ListView1, lblCount, ChkSelectAll, CmdProcess }, ImageList1);
    m_documentList->setLongCall([this](const QString &path, const std::function<void()> &call) {
        runLongCall(call, path);
    });
    m_attachmentActions = std::make_unique<AttachmentActions>(
        m_platform,
        *ListView1,
        this,
        [this](const QString &path, const std::function<void()> &call) { runLongCall(call, path); },
        [this](const std::function<void()> &command) { runCommand(command); },
        m_closing);
}

void frmStep1::closeEvent(QCloseEvent *event)
{
    // Closing in the middle of a run abandons a write: the same question as Exit first.
    if (isRunInProgress() && !m_closing && !confirmExit()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmStep1::Form_Unload()
{
    if (m_closing)
        return;
    // A command in progress sees this at its next pause and unwinds; the event loop then ends.
    m_closing = true;
    m_platform.endProgram();
}

void frmStep1::setFileSystemFactory(FileSystemFactory factory)
{
    m_fileSystemFactory = std::move(factory);
}

bool frmStep1::isRunInProgress() const
{
    return m_runInProgress;
}

bool frmStep1::isClosing() const
{
    return m_closing;
}

AttachmentActions &frmStep1::attachmentActions() const
{
    return *m_attachmentActions;
}

void frmStep1::yieldEvents(Platform::Events due)
{
    m_platform.processEvents([this] { applyListSelection(); }, due);
    if (m_closing)
        throw WindowClosing();
}

void frmStep1::applyListSelection()
{
    // Before events paint the list or a command run by them reads it; in the same layout of the
    // list as the events' own.
    if (m_listSelection != nullptr)
        m_listSelection->apply();
}

void frmStep1::message(const QString &text, Platform::Icon icon, const QString &details)
{
    Platform::Message box;
    box.text = text;
    box.title = WindowTitle;
    box.icon = icon;
    box.details = details;
    m_platform.messageBox(this, box);
}

void frmStep1::showError(const QString &text)
{
    message(text, Platform::Icon::Warning);
}

bool frmStep1::runCommand(const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const WindowClosing &) {
    } catch (const Error &e) {
        showError(errorText(e.number(), QString::fromStdString(e.description())));
    } catch (const std::bad_alloc &) {
        showError(errorText(OutOfMemoryError, tr("Out of memory")));
    } catch (const std::exception &e) {
        showError(errorText(InternalError, QString::fromLocal8Bit(e.what())));
    }
    return false;
}

void frmStep1::openWithDesktop(const QString &path, const QString &failure)
{
    if (!m_platform.shellOpen(path))
        message(failure.arg(QDir::toNativeSeparators(path)), Platform::Icon::Warning);
}

// --- Document list commands ---------------------------------------------------------------------

void frmStep1::cmdAdd_Click()
{
    runCommand([this] {
        const QStringList picked = m_platform.openFiles(this, tr("Adobe PDF Files (*.pdf)"));
        if (picked.isEmpty()) {
            if (m_documentList->rowCount() == 0)
                CmdProcess->setEnabled(false);
            return;
        }
        QString answer = FileDialogAnswer::fromPaths(picked);
        if (!answer.endsWith(QChar(u'\0')))
            answer += QChar(u'\0');
        CmdProcess->setEnabled(true);
        m_outputPicker.added(picked.first(), false);
        const QStringList parts = FileDialogAnswer::selectionParts(answer);
        const QString prefix = FileDialogAnswer::folderPrefix(parts);
        for (qsizetype i = 0; i < parts.size() - 1; ++i) {
            yieldEvents();
            if (!prefix.isEmpty() && i == 0)
                continue;
            yieldEvents();
            m_documentList->addDocumentRow(prefix + parts.at(i));
            yieldEvents();
        }
        m_documentList->finishBatch();
    });
}

frmStep1::FolderAddResult frmStep1::addFolderTree(const QString &folder)
{
    std::vector<std::string> documents;
    FolderAddResult result;
    {
        // The walk runs on the helper thread (a slow share must not freeze the window); its pauses
        // only look whether the window is closing.
        pathLogger logger([this] {
            if (m_closing)
                throw WindowClosing();
        });
        if (m_fileSystemFactory)
            logger.setFileSystemFactory(m_fileSystemFactory);
        yieldEvents();
        std::vector<SkippedFolder> skippedFolders;
        runLongCall([&] {
            logger.PathLogInit();
            logger.setFullFileNamesOnly(true);
            logger.LogPath(folder.toStdString());
            // The names found are sifted and let go here too: for 100,000 of them that would
            // hold up the window's thread for tens of milliseconds.
            for (const std::string &entry : *logger.fullFileNames()) {
                if (isPdfFileName(entry))
                    documents.push_back(entry);
            }
            skippedFolders = logger.skippedFolders();
            logger.Terminate();
        });
        for (const SkippedFolder &skipped : skippedFolders)
            result.skippedFolders.append(
                QString::fromStdString(skipped.path + ": " + skipped.reason));
        yieldEvents();
    }
    // SelectListItem after every row, with its outcome shown only when events run: selecting and
    // scrolling lay out the whole list, which would cost more than a row as the list grows.
    // A drop handled meanwhile adds a folder of its own: the outer add's selection comes back.
    DeferredListSelection selection(*ListView1);
    DeferredListSelection *const outer = std::exchange(m_listSelection, &selection);
    const auto applySelection = qScopeGuard([this, &selection, outer] {
        m_listSelection = outer;
        selection.apply();
    });
    // The documents are read ahead on a thread of their own, while this one inserts rows and lets
    // events run.
    DocumentReadAhead readAhead(std::move(documents), m_beforeLongCall);
    for (const std::string &document : readAhead.files()) {
        yieldEvents();
        waitForDocument(readAhead, document);
        m_documentList->addSummarisedFile(
            document, readAhead.takeNext(), [this] { yieldEvents(); });
        yieldEvents();
        ++result.added;
        selection.select(result.added, 3);
    }
    return result;
}

void frmStep1::showFolderAddMessage(const FolderAddResult &result, int ignoredFiles)
{
    QString text = tr("%n PDF Documents Added to List.", nullptr, result.added);
    QString details;
    const int skipped = static_cast<int>(result.skippedFolders.size());
    if (skipped > 0) {
        text += QStringLiteral("\n\n") + tr("%n folder(s) could not be read:", nullptr, skipped);
        for (int i = 0; i < qMin(skipped, RunDetails::ItemsInText); ++i)
            text += QStringLiteral("\n    ") + result.skippedFolders.at(i);
        if (skipped > RunDetails::ItemsInText)
            text += QLatin1Char('\n')
                + tr("and %1 more (see the details).").arg(skipped - RunDetails::ItemsInText);
        details = result.skippedFolders.join(QLatin1Char('\n'));
    }
    if (ignoredFiles > 0)
        text += QStringLiteral("\n\n")
            + tr("%n dropped file(s) ignored: the name does not end in \".pdf\".",
                nullptr,
                ignoredFiles);
    message(text, Platform::Icon::None, details);
}

void frmStep1::CmdAddFolder_Click()
{
    SourceFolder
        = m_platform.browseForFolder(this, tr("Choose Source Folder..."), m_lastSourceFolder);
    if (SourceFolder.isEmpty())
        return;
    SourceFolder = withSeparator(SourceFolder);
    m_lastSourceFolder = SourceFolder;
    m_outputPicker.added(SourceFolder, true);
    runCommand([this] {
        FolderAddResult result;
        {
            BusyCursor busy(m_platform);
            result = addFolderTree(SourceFolder);
        }
        // The list's last selection was just laid out: let it be painted before the rows are
        // ticked, which takes as long again at 100,000 rows.
        yieldEvents(Platform::Events::Now);
        CmdProcess->setEnabled(result.added > 0);
        m_documentList->finishBatch();
        showFolderAddMessage(result, 0);
    });
}

void frmStep1::ListView1_Drop(const QStringList &localPaths)
{
    if (isRunInProgress() || m_closing || localPaths.isEmpty())
        return;
    runCommand([this, &localPaths] {
        FolderAddResult total;
        int ignored = 0;
        {
            BusyCursor busy(m_platform);
            for (const QString &path : localPaths) {
                const QFileInfo info(path);
                if (info.isDir()) {
                    m_outputPicker.added(path, true);
                    const FolderAddResult folder = addFolderTree(withSeparator(path));
                    total.added += folder.added;
                    total.skippedFolders += folder.skippedFolders;
                } else if (isPdfFileName(info.fileName().toStdString())) {
                    m_outputPicker.added(path, false);
                    yieldEvents();
                    m_documentList->addDocumentRow(path);
                    yieldEvents();
                    ++total.added;
                } else {
                    ++ignored;
                }
            }
        }
        yieldEvents(Platform::Events::Now); // as after a folder add
        CmdProcess->setEnabled(total.added > 0);
        m_documentList->finishBatch();
        showFolderAddMessage(total, ignored);
    });
}

void frmStep1::cmdClear1_Click()
{
    m_documentList->clear();
    m_outputPicker.clear();
    lblCount->setText(tr("0 files")); // not the count of a list no longer there
    // As when the window opened: nothing to select, and a run before has nothing left on show.
    ChkSelectAll->setCheckState(Qt::Unchecked);
    ChkSelectAll->setEnabled(false);
    resetProgress();
}

void frmStep1::ChkSelectAll_Click()
{
    m_documentList->selectAllRoutine();
}

void frmStep1::ListView1_Click()
{
    m_documentList->rowClick();
}

// --- Help and exit ------------------------------------------------------------------------------

bool frmStep1::confirmExit()
{
    Platform::Message question;
    question.text = tr("Are you sure you want to exit now?");
    question.title = WindowTitle;
    question.icon = Platform::Icon::Question;
    question.buttons = Platform::Buttons::YesNo;
    question.defaultButton = Platform::Answer::Yes;
    return m_platform.messageBox(this, question) == Platform::Answer::Yes;
}

void frmStep1::cmdEnd_Click()
{
    if (!confirmExit())
        return;
    // Answered: closing must not ask again.
    Form_Unload();
    close();
}

} // namespace quenlith
