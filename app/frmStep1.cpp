#include "app/frmStep1.h"

#include "app/BackgroundCall.h"
#include "app/RunSummary.h"
#include "doclist/DeferredListSelection.h"
#include "doclist/DocumentList.h"
#include "doclist/DocumentListView.h"
#include "doclist/FileDialogAnswer.h"
#include "extract/DocumentExtraction.h"
#include "extract/NestedExtraction.h"
#include "extract/PdfLibrary.h"
#include "extract/RunReport.h"
#include "scan/FileSystemService.h"
#include "scan/pathLogger.h"
#include "util/Error.h"
#include "util/PdfFileName.h"
#include "util/modMain.h"
#include "util/registry.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <cmath>
#include <map>
#include <new>
#include <utility>

// The icons live in the GUI library's resources, which a static library must register itself.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace quenlith {

namespace {

// Thrown by yieldEvents() once the window is closing, so that a command unwinds at once. It is
// caught by every command handler and never reaches the event loop.
struct WindowClosing { };

constexpr int OutOfMemoryError = 7;
constexpr int InternalError = 51;
constexpr int LibraryNotCreatedError = 429;

const QString Title = QStringLiteral("Quenlith");
const QString WaitText = QStringLiteral("Please wait... Reading Image Information...");

// Layout positions are given in twips, 15 to a pixel.
constexpr int px(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

QFont tahoma(double points, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    if (role == QPalette::Window)
        widget->setAutoFillBackground(true);
}

QString errorText(int number, const QString &description)
{
    return QString::number(number) + QLatin1Char(':') + description;
}

QString withSeparator(const QString &folder)
{
    return QString::fromStdString(withTrailingSeparator(folder.toStdString()));
}

QString plainCaption(const QString &caption)
{
    QString text = caption;
    return text.remove(QLatin1Char('&')).trimmed();
}

// The busy pointer for the lifetime of the object, restored also when a command fails.
class BusyCursor {
public:
    explicit BusyCursor(Platform &platform)
        : m_platform(platform)
    {
        m_platform.setBusyCursor(true);
    }
    ~BusyCursor()
    {
        m_platform.setBusyCursor(false);
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    Platform &m_platform;
};

} // namespace

// Keeps the window current while one document is extracted, and stops the extraction when the
// window closes (abandoning a write in progress) or the run is cancelled (after the current write).
class frmStep1::ExtractionObserverImpl : public ExtractionObserver {
public:
    explicit ExtractionObserverImpl(frmStep1 &window)
        : m_window(window)
    {
    }

    // The extraction runs on a helper thread: everything that touches the window is handed to
    // the window's thread.
    bool yieldPoint() override
    {
        bool goOn = false;
        BackgroundCall::onWindowThread([&] {
            m_window.m_platform.processEvents();
            goOn = !m_window.m_closing && !m_window.m_cancelRequested;
        });
        return goOn;
    }
    void attachmentLabel(const std::string &text) override
    {
        BackgroundCall::onWindowThread(
            [&] { m_window.LblImages->setText(QString::fromStdString(text)); });
    }
    void waitNotice(bool shown) override
    {
        BackgroundCall::onWindowThread([&] { m_window.FrameWait->setVisible(shown); });
    }
    void attachmentDone(const AttachmentOutcome &outcome) override
    {
        BackgroundCall::onWindowThread([&] { m_window.AttachmentIndex = outcome.index + 1; });
    }
    bool writeProgress(std::uint64_t) override
    {
        bool goOn = false;
        BackgroundCall::onWindowThread([&] { goOn = !m_window.m_closing; });
        return goOn;
    }

private:
    frmStep1 &m_window;
};

// The state of the window while a run is in progress: the commands that could change the list or
// the current document are disabled, drops are refused and the Cancel command is offered. Leaving
// the scope restores all of it, whatever ended the run.
class frmStep1::RunGuard {
public:
    explicit RunGuard(frmStep1 &window)
        : m_window(window)
    {
        m_window.m_runInProgress = true;
        m_window.m_cancelRequested = false;
        for (QPushButton *button : commands())
            button->setEnabled(false);
        m_window.ListView1->setDropsAccepted(false);
        m_window.ChkNested->setEnabled(false); // the run reads it once per document
        m_window.cmdCancel->setEnabled(true);
        m_window.cmdCancel->show();
    }
    ~RunGuard()
    {
        hideCancel();
        for (QPushButton *button : commands())
            button->setEnabled(true);
        m_window.ListView1->setDropsAccepted(true);
        m_window.ChkNested->setEnabled(true);
        m_window.m_runInProgress = false;
        m_window.m_cancelRequested = false;
    }
    RunGuard(const RunGuard &) = delete;
    RunGuard &operator=(const RunGuard &) = delete;

    void hideCancel()
    {
        m_window.cmdCancel->hide();
    }

private:
    QList<QPushButton *> commands() const
    {
        return { m_window.CmdProcess, m_window.cmdAdd, m_window.CmdAddFolder, m_window.cmdClear1 };
    }

    frmStep1 &m_window;
};

frmStep1::frmStep1(Platform &platform, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_platform(platform)
{
    initResources();
    Form_Initialize();
    buildLayout();
    setTabOrderAndNames();
    Form_Load();
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    cmdAdd->setFocus();
}

frmStep1::~frmStep1() = default;

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

void frmStep1::buildLayout()
{
    setObjectName(QStringLiteral("frmStep1"));
    setWindowTitle(Title);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(633, 519);
    setFont(tahoma(9));

    QIcon appIcon;
    for (const char *size : { "16", "32", "48", "256" })
        appIcon.addFile(QStringLiteral(":/icons/quenlith-%1.png").arg(QLatin1String(size)));
    setWindowIcon(appIcon);
    ImageList1.clear();
    for (const char *name :
        { "pdf-document", "paper-clip", "plus-box", "open-envelope", "exclamation", "green-tick" })
        ImageList1.append(QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name))));

    const QColor white(0xFF, 0xFF, 0xFF);
    const QColor silver(0xC0, 0xC0, 0xC0);
    auto makeBand = [&](const QString &name) {
        auto *band = new QFrame(this);
        band->setObjectName(name);
        band->setFrameShape(QFrame::Box);
        band->setFrameShadow(QFrame::Plain);
        setColour(band, QPalette::Window, white);
        setColour(band, QPalette::WindowText, silver);
        return band;
    };
    auto makeLabel
        = [](QWidget *parent, const QString &name, const QString &text, const QFont &font) {
              auto *label = new QLabel(text, parent);
              label->setObjectName(name);
              label->setFont(font);
              return label;
          };
    auto makeButton
        = [](QWidget *parent, const QString &name, const QString &caption, const QFont &font) {
              auto *button = new QPushButton(caption, parent);
              button->setObjectName(name);
              button->setFont(font);
              button->setAutoDefault(false);
              return button;
          };

    Shape2 = makeBand(QStringLiteral("Shape2"));
    place(Shape2, -120, 0, 9615, 855);
    Shape1 = makeBand(QStringLiteral("Shape1"));
    place(Shape1, 0, 7200, 9975, 855);

    lblTitle = makeLabel(this, QStringLiteral("lblTitle"), Title, tahoma(14.25, true));
    setColour(lblTitle, QPalette::WindowText, QColor(0, 0, 0));
    setColour(lblTitle, QPalette::Window, white);
    place(lblTitle, 240, 120, 7695, 375);

    cmdAdd = makeButton(
        this, QStringLiteral("cmdAdd"), QStringLiteral("Add PDF File(s)..."), tahoma(9));
    place(cmdAdd, 240, 960, 1815, 375);
    CmdAddFolder = makeButton(this,
        QStringLiteral("CmdAddFolder"),
        QStringLiteral("Add Folder having PDF File(s)..."),
        tahoma(9));
    place(CmdAddFolder, 2280, 960, 2775, 375);
    cmdClear1 = makeButton(
        this, QStringLiteral("cmdClear1"), QStringLiteral("Clear File(s)..."), tahoma(9));
    place(cmdClear1, 7560, 960, 1695, 375);

    lblCount = makeLabel(this, QStringLiteral("lblCount"), QStringLiteral("0 files"), tahoma(8.25));
    place(lblCount, 240, 1560, 9015, 255);

    ListView1 = new DocumentListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setFont(tahoma(9));
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({ QStringLiteral("Attachments"),
        QStringLiteral("PDF Document Name"),
        QStringLiteral("PDF Document Path") });
    // The count narrow, name and path sharing the rest: no sideways scrolling, long paths
    // shortened in the middle, where they differ least.
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(40);
    ListView1->setColumnWidth(0, 87);
    ListView1->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    ListView1->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    ListView1->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListView1->setTextElideMode(Qt::ElideMiddle);
    ListView1->setIconSize(QSize(16, 16));
    place(ListView1, 240, 1800, 9015, 3015);

    FrameWait = new QFrame(this);
    FrameWait->setObjectName(QStringLiteral("FrameWait"));
    FrameWait->setFrameShape(QFrame::Box);
    setColour(FrameWait, QPalette::Window, QColor(0xFF, 0xFF, 0xC0));
    place(FrameWait, 1920, 2640, 4455, 495);
    Label1 = makeLabel(FrameWait, QStringLiteral("Label1"), WaitText, tahoma(9, true));
    Label1->setAlignment(Qt::AlignCenter);
    setColour(Label1, QPalette::WindowText, QColor(0x00, 0x00, 0xFF));
    place(Label1, 120, 120, 4335, 255);
    FrameWait->hide();

    ChkSelectAll = new QCheckBox(QStringLiteral("Select All"), this);
    ChkSelectAll->setObjectName(QStringLiteral("ChkSelectAll"));
    ChkSelectAll->setFont(tahoma(9));
    setColour(ChkSelectAll, QPalette::WindowText, QColor(0x00, 0x00, 0xC0));
    ChkSelectAll->setCheckState(Qt::Unchecked);
    ChkSelectAll->setEnabled(false);
    place(ChkSelectAll, 240, 4850, 2175, 255);
    // A run option, off by default: nested documents can multiply the files a run writes.
    ChkNested = new QCheckBox(QStringLiteral("Also extract from attached PDF documents"), this);
    ChkNested->setObjectName(QStringLiteral("ChkNested"));
    ChkNested->setFont(tahoma(9));
    ChkNested->setToolTip(QStringLiteral(
        "The attachments of an attachment that is itself a PDF document go into a folder "
        "\"<name>.attachments\" beside it, up to 8 levels deep."));
    ChkNested->setLayoutDirection(Qt::RightToLeft); // box at the right edge, like the list's
    place(ChkNested, 4800, 4850, 4455, 255);

    Frame1 = new QGroupBox(QStringLiteral(" Extraction Details "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFont(tahoma(9));
    place(Frame1, 240, 5160, 9015, 1215);
    Picture1 = new QWidget(Frame1);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    place(Picture1, 120, 240, 8775, 855);

    Image1 = new QLabel(Picture1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(ImageList1.at(0).pixmap(16, 16));
    place(Image1, 0, 0, 240, 240);
    LblProgessCurrent = makeLabel(Picture1,
        QStringLiteral("LblProgessCurrent"),
        QStringLiteral("PDF File <pdf-file>"),
        tahoma(8.25));
    setColour(LblProgessCurrent, QPalette::WindowText, QColor(0, 0, 0));
    place(LblProgessCurrent, 360, 0, 7335, 255);
    Image2 = new QLabel(Picture1);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(ImageList1.at(5).pixmap(16, 16));
    place(Image2, 360, 315, 240, 240);
    LblImages = makeLabel(Picture1,
        QStringLiteral("LblImages"),
        QStringLiteral("Extracted Attachment(s) 0 (of 0)"),
        tahoma(8.25));
    setColour(LblImages, QPalette::WindowText, QColor(0x00, 0x40, 0x00));
    place(LblImages, 720, 315, 7335, 255);
    Label2 = makeLabel(
        Picture1, QStringLiteral("Label2"), QStringLiteral("Extraction Progress : "), tahoma(8.25));
    place(Label2, 0, 600, 1695, 255);
    ProgressBar1 = new QProgressBar(Picture1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    place(ProgressBar1, 1560, 600, 7215, 255);

    CmdProcess = makeButton(
        this, QStringLiteral("CmdProcess"), QStringLiteral("E&xtract Attachments"), tahoma(14.25));
    CmdProcess->setEnabled(false);
    place(CmdProcess, 3240, 6480, 3135, 555);
    cmdCancel = makeButton(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), tahoma(9));
    place(cmdCancel, 6480, 6570, 1335, 375);
    cmdCancel->hide();

    Picture3 = new QWidget(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    setColour(Picture3, QPalette::Window, white);
    place(Picture3, 240, 7320, 9135, 495);
    CmdHelp = makeButton(
        Picture3, QStringLiteral("CmdHelp"), QStringLiteral("&Help Manual"), tahoma(9));
    place(CmdHelp, 0, 0, 1695, 375);
    cmdEnd = makeButton(Picture3, QStringLiteral("cmdEnd"), QStringLiteral("E&xit"), tahoma(9));
    place(cmdEnd, 7680, 0, 1335, 375);

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

void frmStep1::setTabOrderAndNames()
{
    // Left to right, top to bottom, as the window reads.
    const QList<QWidget *> order = { cmdAdd,
        CmdAddFolder,
        cmdClear1,
        ChkSelectAll,
        ChkNested,
        ListView1,
        CmdProcess,
        cmdCancel,
        CmdHelp,
        cmdEnd };
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));
    for (QWidget *widget : { lblTitle, Label1, LblProgessCurrent, LblImages, Label2, lblCount })
        widget->setFocusPolicy(Qt::NoFocus);

    for (QPushButton *button :
        { cmdAdd, CmdAddFolder, cmdClear1, CmdProcess, cmdCancel, CmdHelp, cmdEnd })
        button->setAccessibleName(plainCaption(button->text()));
    ChkSelectAll->setAccessibleName(ChkSelectAll->text());
    ChkNested->setAccessibleName(ChkNested->text());
    Frame1->setAccessibleName(plainCaption(Frame1->title()));
    for (QLabel *label : { lblTitle, lblCount, Label1, LblProgessCurrent, LblImages, Label2 })
        label->setAccessibleName(plainCaption(label->text()));
    ListView1->setAccessibleName(QStringLiteral("PDF Documents"));
    ProgressBar1->setAccessibleName(
        plainCaption(Label2->text()).remove(QLatin1Char(':')).trimmed());
    Image1->setAccessibleName(QStringLiteral("PDF File"));
    Image2->setAccessibleName(QStringLiteral("Extracted Attachment(s)"));
}

void frmStep1::Form_Load()
{
    try {
        PdfLibrary = std::make_unique<quenlith::PdfLibrary>();
    } catch (const std::exception &e) {
        throw Error(LibraryNotCreatedError,
            std::string("The PDF library could not be started: ") + e.what());
    }
    m_documentList = std::make_unique<DocumentList>(
        DocumentList::Controls { ListView1, lblCount, ChkSelectAll, CmdProcess },
        *PdfLibrary,
        ImageList1);
    m_documentList->setLongCall([this](const QString &path, const std::function<void()> &call) {
        runLongCall(call, path);
    });
}

void frmStep1::closeEvent(QCloseEvent *event)
{
    // Closing in the middle of a run abandons a write: the same question as Exit first.
    if (m_runInProgress && !m_closing && !confirmExit()) {
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

void frmStep1::yieldEvents()
{
    if (m_listSelection != nullptr && m_platform.eventsDue())
        m_listSelection->apply();
    m_platform.processEvents();
    if (m_closing)
        throw WindowClosing();
}

void frmStep1::message(const QString &text, Platform::Icon icon, const QString &details)
{
    Platform::Message box;
    box.text = text;
    box.title = Title;
    box.icon = icon;
    box.details = details;
    m_platform.messageBox(this, box);
}

void frmStep1::showError(const QString &text)
{
    message(text, Platform::Icon::Warning);
}

// --- Document list commands ---------------------------------------------------------------------

void frmStep1::cmdAdd_Click()
{
    QStringList picked;
    try {
        picked = m_platform.openFiles(this, QStringLiteral("Adobe PDF Files (*.pdf)"));
        if (picked.isEmpty()) {
            if (m_documentList->rowCount() == 0)
                CmdProcess->setEnabled(false);
            return;
        }
        QString answer = FileDialogAnswer::fromPaths(picked);
        if (!answer.endsWith(QChar(u'\0')))
            answer += QChar(u'\0');
        CmdProcess->setEnabled(true);
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
    } catch (const WindowClosing &) {
        return;
    } catch (const Error &e) {
        showError(errorText(e.number(), QString::fromStdString(e.description())));
    } catch (const std::bad_alloc &) {
        showError(errorText(OutOfMemoryError, QStringLiteral("Out of memory")));
    } catch (const std::exception &e) {
        showError(errorText(InternalError, QString::fromLocal8Bit(e.what())));
    }
}

frmStep1::FolderAddResult frmStep1::addFolderTree(const QString &folder)
{
    std::shared_ptr<pathLogger::StringList> found;
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
            found = logger.fullFileNames();
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
    for (const std::string &entry : *found) {
        yieldEvents();
        const QString path = QString::fromStdString(entry);
        if (!isPdfFileName(entry))
            continue;
        yieldEvents();
        m_documentList->addDocumentRow(path, [this] { yieldEvents(); });
        yieldEvents();
        ++result.added;
        selection.select(result.added, 3);
    }
    return result;
}

void frmStep1::showFolderAddMessage(const FolderAddResult &result, int ignoredFiles)
{
    QString text = QString::number(result.added) + QStringLiteral(" PDF Documents Added to List.");
    QString details;
    const qsizetype skipped = result.skippedFolders.size();
    if (skipped > 0) {
        text += QStringLiteral("\n\n") + QString::number(skipped)
            + (skipped == 1 ? QStringLiteral(" folder could not be read:")
                            : QStringLiteral(" folders could not be read:"));
        for (qsizetype i = 0; i < qMin<qsizetype>(skipped, RunSummary::ItemsInText); ++i)
            text += QStringLiteral("\n    ") + result.skippedFolders.at(i);
        if (skipped > RunSummary::ItemsInText)
            text += QStringLiteral("\nand %1 more (see the details).")
                        .arg(skipped - RunSummary::ItemsInText);
        details = result.skippedFolders.join(QLatin1Char('\n'));
    }
    if (ignoredFiles > 0)
        text += QStringLiteral("\n\n") + QString::number(ignoredFiles)
            + (ignoredFiles == 1
                    ? QStringLiteral(
                        " dropped file was ignored: its name does not end in \".pdf\".")
                    : QStringLiteral(
                        " dropped files were ignored: their names do not end in \".pdf\"."));
    message(text, Platform::Icon::None, details);
}

void frmStep1::CmdAddFolder_Click()
{
    SourceFolder = m_platform.browseForFolder(
        this, QStringLiteral("Choose Source Folder..."), m_lastSourceFolder);
    if (SourceFolder.isEmpty())
        return;
    SourceFolder = withSeparator(SourceFolder);
    m_lastSourceFolder = SourceFolder;
    m_sourceFolders.append(SourceFolder);
    try {
        FolderAddResult result;
        {
            BusyCursor busy(m_platform);
            result = addFolderTree(SourceFolder);
        }
        CmdProcess->setEnabled(result.added > 0);
        m_documentList->finishBatch();
        showFolderAddMessage(result, 0);
    } catch (const WindowClosing &) {
        return;
    } catch (const Error &e) {
        showError(errorText(e.number(), QString::fromStdString(e.description())));
    } catch (const std::bad_alloc &) {
        showError(errorText(OutOfMemoryError, QStringLiteral("Out of memory")));
    } catch (const std::exception &e) {
        showError(errorText(InternalError, QString::fromLocal8Bit(e.what())));
    }
}

void frmStep1::ListView1_Drop(const QStringList &localPaths)
{
    if (m_runInProgress || m_closing || localPaths.isEmpty())
        return;
    try {
        FolderAddResult total;
        int ignored = 0;
        {
            BusyCursor busy(m_platform);
            for (const QString &path : localPaths) {
                const QFileInfo info(path);
                if (info.isDir()) {
                    m_sourceFolders.append(withSeparator(path));
                    const FolderAddResult folder = addFolderTree(withSeparator(path));
                    total.added += folder.added;
                    total.skippedFolders += folder.skippedFolders;
                } else if (isPdfFileName(info.fileName().toStdString())) {
                    yieldEvents();
                    m_documentList->addDocumentRow(path);
                    yieldEvents();
                    ++total.added;
                } else {
                    ++ignored;
                }
            }
        }
        CmdProcess->setEnabled(total.added > 0);
        m_documentList->finishBatch();
        showFolderAddMessage(total, ignored);
    } catch (const WindowClosing &) {
        return;
    } catch (const Error &e) {
        showError(errorText(e.number(), QString::fromStdString(e.description())));
    } catch (const std::bad_alloc &) {
        showError(errorText(OutOfMemoryError, QStringLiteral("Out of memory")));
    } catch (const std::exception &e) {
        showError(errorText(InternalError, QString::fromLocal8Bit(e.what())));
    }
}

void frmStep1::cmdClear1_Click()
{
    m_documentList->clear();
    m_sourceFolders.clear();
    lblCount->setText(QStringLiteral("0 files")); // not the count of a list no longer there
}

void frmStep1::ChkSelectAll_Click()
{
    m_documentList->selectAllRoutine();
}

void frmStep1::ListView1_Click()
{
    m_documentList->rowClick();
}

// --- Extraction run -----------------------------------------------------------------------------

QString frmStep1::outputPickerStart() const
{
    if (!m_lastOutputFolder.isEmpty())
        return m_lastOutputFolder;
    for (int i = 1; i <= m_documentList->rowCount(); ++i) {
        if (m_documentList->isTicked(i))
            return QFileInfo(m_documentList->documentPath(i)).absolutePath();
    }
    return {};
}

bool frmStep1::isInsideSourceFolder(const QString &folder) const
{
    const Qt::CaseSensitivity sensitivity
        = folderIgnoresCase(folder.toStdString()) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString inside = withSeparator(QDir::cleanPath(folder));
    for (const QString &source : m_sourceFolders) {
        if (inside.startsWith(withSeparator(QDir::cleanPath(source)), sensitivity))
            return true;
    }
    return false;
}

void frmStep1::CmdProcess_Click()
{
    const QString chosen = m_platform.browseForFolder(
        this, QStringLiteral("Choose Folder to Save..."), outputPickerStart());
    if (chosen.isEmpty())
        return;
    const QString OutputFolder = withSeparator(chosen);
    m_lastOutputFolder = chosen;
    if (isInsideSourceFolder(OutputFolder)) {
        Platform::Message question;
        question.text = QStringLiteral(
            "The output folder is inside a folder you added documents from; extracted PDF files "
            "would be found there the next time the folder is added. Extract there anyway?");
        question.title = Title;
        question.icon = Platform::Icon::Question;
        question.buttons = Platform::Buttons::YesNo;
        question.defaultButton = Platform::Answer::No;
        if (m_platform.messageBox(this, question) != Platform::Answer::Yes)
            return;
    }
    try {
        // The guard comes before the first pause, so that a second click queued meanwhile finds
        // the button disabled instead of starting a nested run.
        RunGuard guard(*this);
        // Nothing of the run before stays on show.
        ProgressBar1->setRange(0, 100);
        ProgressBar1->setValue(0);
        LblProgessCurrent->clear();
        LblImages->setText(QStringLiteral("Extracted Attachment(s) 0 (of 0)"));
        yieldEvents();
        RunSummary summary;
        const int rows = m_documentList->rowCount();
        // The folders depend only on the set of documents, as on the command line.
        std::vector<std::string> tickedPaths;
        for (int i = 1; i <= rows; ++i) {
            if (m_documentList->isTicked(i))
                tickedPaths.push_back(m_documentList->documentPath(i).toStdString());
        }
        EnsureFolderPath(OutputFolder.toStdString());
        m_outputIgnoresCase = folderIgnoresCase(OutputFolder.toStdString());
        const std::vector<std::string> assigned
            = assignDocumentFolders(OutputFolder.toStdString(), tickedPaths, m_outputIgnoresCase);
        std::map<std::string, std::string> folderOf;
        for (std::size_t k = 0; k < tickedPaths.size(); ++k)
            folderOf.emplace(tickedPaths[k], assigned[k]);
        const int ticked = static_cast<int>(tickedPaths.size());
        RunRecord record;
        record.program = "quenlith";
        record.outputFolder = OutputFolder.toStdString();
        int done = 0;
        bool cancelled = false;
        for (int i = 1; i <= rows && !cancelled; ++i) {
            yieldEvents();
            if (m_documentList->isTicked(i)) {
                const QString path = m_documentList->documentPath(i);
                const QString name = QString::fromStdString(FileNameOfPath(path.toStdString()));
                yieldEvents();
                const auto known = folderOf.find(path.toStdString());
                DocOutputFolder = QString::fromStdString(known != folderOf.end()
                        ? known->second
                        : documentFolderFor(OutputFolder.toStdString(), path.toStdString()));
                yieldEvents();
                LblProgessCurrent->setText(QStringLiteral("PDF File : ") + name);
                std::vector<DocumentResult> nested;
                DocumentResult result = extractDocument(path, DocOutputFolder, &nested);
                m_documentList->showOutcomes(i, result.attachments);
                if (!result.folderFailure.empty())
                    summary.folderNotCreated(DocOutputFolder);
                else if (result.openStatus != static_cast<int>(OpenStatus::Opened)
                    || !result.openReason.empty())
                    summary.documentNotOpened(path, QString::fromStdString(result.openReason));
                for (const AttachmentOutcome &outcome : result.attachments) {
                    if (!outcomeSucceeded(outcome.kind))
                        summary.attachmentFailed(path,
                            QString::fromStdString(outcome.storedName),
                            QString::fromStdString(outcome.reason));
                }
                cancelled = m_cancelRequested;
                if (!result.stopped)
                    ++done;
                record.documents.push_back(std::move(result));
                for (DocumentResult &inner : nested) {
                    const QString innerPath = QString::fromStdString(inner.documentPath);
                    const std::string failure = documentFailure(inner);
                    if (!failure.empty())
                        summary.documentNotOpened(innerPath, QString::fromStdString(failure));
                    for (const AttachmentOutcome &outcome : inner.attachments) {
                        if (!outcomeSucceeded(outcome.kind))
                            summary.attachmentFailed(innerPath,
                                QString::fromStdString(outcome.storedName),
                                QString::fromStdString(outcome.reason));
                    }
                    record.documents.push_back(std::move(inner));
                }
            }
            yieldEvents();
            const int current = std::max(m_documentList->rowCount(), 1);
            ProgressBar1->setValue(static_cast<int>(std::lround(i * 100.0 / current)));
            cancelled = cancelled || m_cancelRequested;
        }
        guard.hideCancel();

        QString headline = QStringLiteral("PDF Attachments Extraction - Completed !");
        if (cancelled)
            headline = QStringLiteral(
                "PDF Attachments Extraction - Cancelled !\n%1 of %2 documents were done.")
                           .arg(done)
                           .arg(ticked);
        const RunTotals totals = totalsOf(record.documents);
        if (totals.unchanged > 0)
            headline += QStringLiteral("\n%1 attachment(s) were already there unchanged.")
                            .arg(totals.unchanged);
        if (totals.renamed > 0)
            headline += QStringLiteral(
                "\n%1 attachment(s) were written under a new name, because a file of the same "
                "name was there.")
                            .arg(totals.renamed);
        // Where the files went and how many, so that the message stands on its own.
        QString counts = QStringLiteral("Output folder: %1\n%2 %3 processed%4, %5 %6 written (%7)")
                             .arg(QDir::toNativeSeparators(OutputFolder))
                             .arg(totals.documents)
                             .arg(totals.documents == 1 ? QStringLiteral("document")
                                                        : QStringLiteral("documents"))
                             .arg(totals.documentsFailed > 0
                                     ? QStringLiteral(" (%1 failed)").arg(totals.documentsFailed)
                                     : QString())
                             .arg(totals.written)
                             .arg(totals.written == 1 ? QStringLiteral("attachment")
                                                      : QStringLiteral("attachments"))
                             .arg(QLocale::system().formattedDataSize(
                                 static_cast<qint64>(totals.bytesWritten)));
        if (totals.failed > 0)
            counts += QStringLiteral(", %1 failed").arg(totals.failed);
        headline += QStringLiteral("\n\n") + counts + QLatin1Char('.');
        Platform::Message box;
        box.text = summary.text(headline);
        box.title = Title;
        box.icon = summary.hasFailures() ? Platform::Icon::Warning : Platform::Icon::Information;
        box.details = summary.details();
        box.extraButton = QStringLiteral("Save Report...");
        if (m_platform.messageBox(this, box) == Platform::Answer::Extra)
            saveReport(record);
    } catch (const WindowClosing &) {
        return;
    } catch (const Error &e) {
        showError(errorText(e.number(), QString::fromStdString(e.description())));
        return;
    } catch (const std::bad_alloc &) {
        showError(errorText(OutOfMemoryError, QStringLiteral("Out of memory")));
        return;
    } catch (const std::exception &e) {
        showError(errorText(InternalError, QString::fromLocal8Bit(e.what())));
        return;
    }
    openWithDesktop(OutputFolder, QStringLiteral("output folder"));
}

void frmStep1::openWithDesktop(const QString &path, const QString &what)
{
    if (!m_platform.shellOpen(path))
        message(QStringLiteral("The %1 could not be opened: the desktop has no program to open "
                               "it with.\n%2")
                    .arg(what, QDir::toNativeSeparators(path)),
            Platform::Icon::Warning);
}

void frmStep1::setBeforeLongCall(std::function<void()> beforeLongCall)
{
    m_beforeLongCall = std::move(beforeLongCall);
}

void frmStep1::runLongCall(const std::function<void()> &call, const QString &document)
{
    // The notice names the document, so that a slow one can be told from a hung program.
    const QString name = QString::fromStdString(FileNameOfPath(document.toStdString()));
    Label1->setText(
        name.isEmpty() ? WaitText : QStringLiteral("Please wait... Reading %1...").arg(name));
    const auto restoreText = qScopeGuard([this] { Label1->setText(WaitText); });
    BackgroundCall background(m_platform);
    background.setBeforeWork(m_beforeLongCall);
    const bool waitShown = FrameWait->isVisible();
    background.run(
        [&] {
            const std::lock_guard lock(m_libraryMutex);
            call();
        },
        [&](qint64 milliseconds) {
            // Longer than a moment: say that the program is at work, not hung.
            if (milliseconds >= WaitNoticeDelay && !FrameWait->isVisible())
                FrameWait->show();
        });
    if (!waitShown)
        FrameWait->hide();
}

void frmStep1::saveReport(const RunRecord &record)
{
    const QString json = QStringLiteral("JSON report (*.json)");
    const QString csv = QStringLiteral("CSV report (*.csv)");
    QString chosenFilter;
    QString path = m_platform.saveFile(
        this, QStringLiteral("Save Report"), json + QStringLiteral(";;") + csv, chosenFilter);
    if (path.isEmpty())
        return;
    const bool asCsv = chosenFilter == csv
        || (chosenFilter.isEmpty() && path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive));
    const QString extension = asCsv ? QStringLiteral(".csv") : QStringLiteral(".json");
    if (QFileInfo(path).suffix().isEmpty())
        path += extension;
    std::string error;
    if (!saveRunReport(
            path.toStdString(), record, asCsv ? ReportFormat::Csv : ReportFormat::Json, error))
        showError(
            QStringLiteral("The report could not be saved: ") + QString::fromStdString(error));
}

void frmStep1::cmdCancel_Click()
{
    if (m_runInProgress)
        m_cancelRequested = true;
}

void frmStep1::ExtractPDFAttachments(const QString &myPDF, const QString &myPDFFolder)
{
    extractDocument(myPDF, myPDFFolder, nullptr);
}

DocumentResult frmStep1::extractDocument(
    const QString &myPDF, const QString &myPDFFolder, std::vector<DocumentResult> *nested)
{
    LblImages->setText(QStringLiteral("Extracted Attachment(s) 0 (of 0)"));
    ExtractionObserverImpl observer(*this);
    ExtractionOptions options; // keeps every file already there
    options.sha256 = true; // for the report the completion message offers
    options.foldCase = m_outputIgnoresCase;
    DocumentResult result;
    const bool nestedWanted = ChkNested->isChecked();
    runLongCall(
        [&] {
            result = extractDocumentAttachments(
                *PdfLibrary, myPDF.toStdString(), myPDFFolder.toStdString(), observer, options);
            if (nested != nullptr && nestedWanted && !result.stopped)
                *nested = extractNestedDocuments(result, observer, options);
        },
        myPDF);
    FrameWait->hide();
    if (result.openStatus == static_cast<int>(OpenStatus::Opened))
        AttachmentIndex = static_cast<int>(result.attachments.size()) + 1;
    return result;
}

// --- Help and exit ------------------------------------------------------------------------------

QStringList frmStep1::manualCandidates()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    QStringList candidates;
    auto add = [&candidates](const QString &path) {
        const QString clean = QDir::cleanPath(path);
        if (!candidates.contains(clean))
            candidates.append(clean);
    };
#ifdef QUENLITH_MANUAL_FROM_BINDIR
    add(programFolder.filePath(QStringLiteral(QUENLITH_MANUAL_FROM_BINDIR)));
#endif
    add(programFolder.filePath(QStringLiteral("../share/doc/quenlith/manual.html")));
    add(programFolder.filePath(QStringLiteral("manual.html")));
#ifdef QUENLITH_SOURCE_DIR
    add(QStringLiteral(QUENLITH_SOURCE_DIR "/docs/manual.html"));
#endif
    return candidates;
}

void frmStep1::CmdHelp_Click()
{
    const QStringList candidates = manualCandidates();
    for (const QString &candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            openWithDesktop(candidate, QStringLiteral("manual"));
            return;
        }
    }
    message(QStringLiteral("The manual could not be found. It was looked for in:\n")
            + candidates.join(QLatin1Char('\n')),
        Platform::Icon::Information);
}

bool frmStep1::confirmExit()
{
    Platform::Message question;
    question.text = QStringLiteral("Are you sure you want to exit now?");
    question.title = Title;
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
