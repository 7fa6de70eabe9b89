#pragma once

#include "app/OutputFolderPicker.h"
#include "app/Platform.h"
#include "extract/ExtractionRun.h"

#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace quenlith {

class AttachmentActions;
class DeferredListSelection;
class Error;
class DocumentList;
class DocumentReadAhead;
class DocumentListView;
class FileSystemService;

// The one window of the program: the document list, the add commands, the extraction run (an
// ExtractionRun on a helper thread, which the window shows as its RunView), help and exit. Every
// command runs on this thread and lets pending events run between items; closing the window in the
// middle of a command ends the program as soon as the command has unwound, and no command starts a
// new write after that.
class frmStep1 : public QWidget, private RunView {
    Q_OBJECT

public:
    // Builds the controls and creates the PDF library; throws quenlith::Error when the library
    // cannot be created. `platform` must outlive the window.
    explicit frmStep1(Platform &platform, QWidget *parent = nullptr);
    ~frmStep1() override;

    // Writes every attachment of the document `myPDF` into `myPDFFolder` (ending in a separator),
    // keeping LblImages and FrameWait current.
    void ExtractPDFAttachments(const QString &myPDF, const QString &myPDFFolder);

    // Where the manual is looked for, most specific first.
    static QStringList manualCandidates();
    // The message that ends the program when the window cannot be created.
    static Platform::Message startupFailure(const Error &error);

    // Replaces the file-system service of the folder scans (tests and the bench use this).
    using FileSystemFactory = std::function<std::unique_ptr<FileSystemService>()>;
    void setFileSystemFactory(FileSystemFactory factory);

    bool isRunInProgress() const;
    bool isClosing() const;
    // Open, Save As... and Show in Folder of the list's attachment lines.
    AttachmentActions &attachmentActions() const;

    // Controls, named as the window's design names them; each objectName is the same.
    QFrame *Shape2 = nullptr;
    QLabel *lblTitle = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *CmdAddFolder = nullptr;
    QPushButton *cmdClear1 = nullptr;
    QLabel *lblCount = nullptr;
    DocumentListView *ListView1 = nullptr;
    QFrame *FrameWait = nullptr;
    QLabel *Label1 = nullptr;
    QCheckBox *ChkSelectAll = nullptr;
    QCheckBox *ChkNested = nullptr; // also extract from attachments that are PDF documents
    QGroupBox *Frame1 = nullptr;
    QWidget *Picture1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *LblProgessCurrent = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *LblImages = nullptr;
    QLabel *Label2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *CmdProcess = nullptr;
    QPushButton *cmdCancel = nullptr; // visible only while a run is in progress
    QFrame *Shape1 = nullptr;
    QWidget *Picture3 = nullptr;
    QPushButton *CmdHelp = nullptr;
    QPushButton *cmdEnd = nullptr;
    QList<QIcon> ImageList1; // images 1 to 6 at indices 0 to 5

    // Window-level fields.
    QString SourceFolder; // last folder chosen by the folder add, with a trailing separator
    QString DocOutputFolder; // document folder of the document being extracted
    int AttachmentIndex = 0; // 1-based index of the attachment being written

public slots:
    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void ChkSelectAll_Click();
    void ListView1_Click();
    void CmdProcess_Click();
    void cmdCancel_Click();
    void CmdHelp_Click();
    void cmdEnd_Click();
    // Adds dropped documents and folders as the two add commands do; refused during a run.
    void ListView1_Drop(const QStringList &localPaths);

public:
    // Runs before every long library call, on its helper thread (tests make calls slow with it).
    void setBeforeLongCall(std::function<void()> beforeLongCall);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    struct FolderAddResult {
        int added = 0;
        QStringList skippedFolders; // "path: reason", in the order met
    };

    void Form_Initialize();
    void buildLayout(); // the controls and their geometry, the window's icons and images
    void setUpWindow(); // title, fixed size, font, icon and images
    void createListControls(); // the title band, the add commands and the list with its options
    void createRunControls(); // the progress block, the run commands, help and exit
    void placeControls();
    void connectCommands();
    void setTabOrderAndNames();
    void Form_Load();
    void Form_Unload();
    bool confirmExit(); // "Are you sure you want to exit now?" answered Yes

    // The run of the ticked documents into `outputFolder`, to its completion message.
    void extractTicked(const QString &outputFolder);
    // While a run is in progress the commands that could change the list are disabled, drops are
    // refused and Cancel is offered.
    void setRunning(bool running);
    // The progress block as at start-up: labels and bar.
    void resetProgress();
    // RunView, on the window's thread (see ThreadedRunView).
    bool goOn() override;
    bool keepWriting() override;
    void progress(double share) override;
    void documentStarted(const std::string &file, const std::string &folder) override;
    void attachmentCount(int index, int count) override;
    void bytesWritten(std::uint64_t written, std::uint64_t total, std::uint64_t perSecond) override;
    void opening(bool opening) override;
    PasswordReply askPassword(const std::string &file, bool lastWasWrong) override;
    void documentDone(const DocumentResult &result) override;

    // Lets pending events run, bringing a folder add's selection up to date first; throws
    // WindowClosing once the window is closing.
    void yieldEvents(Platform::Events due = Platform::Events::WhenDue);
    void applyListSelection(); // a folder add's, when one runs
    FolderAddResult addFolderTree(const QString &folder);
    void showFolderAddMessage(const FolderAddResult &result, int ignoredFiles);
    void showError(const QString &text);
    // Runs a command's body: an error it throws reaches the user as a message, and the window
    // closing ends it quietly. True when the body ran to its end.
    bool runCommand(const std::function<void()> &command);
    void message(const QString &text, Platform::Icon icon, const QString &details = QString());
    // Opens `path` with the desktop; when that fails, shows `failure` with `path` for its "%1".
    void openWithDesktop(const QString &path, const QString &failure);

    // Runs `call` (which uses the PDF library) on a helper thread while this thread keeps
    // processing events, showing the wait notice when it lasts; calls made meanwhile by nested
    // commands wait for the library in turn.
    void runLongCall(const std::function<void()> &call, const QString &document = QString());
    // Waits for the read-ahead's next document, letting events run and showing the wait notice
    // when it lasts.
    void waitForDocument(DocumentReadAhead &readAhead, const std::string &document);
    // The wait notice's text, naming `document` (a path) when there is one.
    void setWaitText(const QString &document);
    // Shows the wait notice, naming the document of the long call in progress.
    void showWaitNotice();
    static constexpr qint64 WaitNoticeDelay = 300; // milliseconds

    Platform &m_platform;
    std::unique_ptr<DocumentList> m_documentList;
    std::unique_ptr<AttachmentActions> m_attachmentActions; // holds the session's temporary files
    std::function<void()> m_beforeLongCall; // tests make the calls slow with it
    FileSystemFactory m_fileSystemFactory;
    DeferredListSelection *m_listSelection = nullptr; // the folder add's, while it runs
    // The document of the long call in progress, and whether the notice's text still has to be
    // made for it: measuring the name for every call would cost a run of small documents a few
    // per cent, and most calls end before the notice shows.
    QString m_waitDocument;
    bool m_waitTextPending = false;
    std::atomic<bool> m_closing { false }; // read by helper threads too
    QString m_lastSourceFolder; // chosen by the last folder add of this session
    OutputFolderPicker m_outputPicker;
    bool m_runInProgress = false;
    std::atomic<bool> m_cancelRequested { false }; // read by the run's thread
    QElapsedTimer m_opening; // since the run's current document began to open; invalid: not
    QString m_openingDocument;
};

} // namespace quenlith
