#pragma once

#include "extract/SingleAttachment.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMenu;
class QModelIndex;
class QPoint;
class QTemporaryDir;
class QWidget;

namespace quenlith {

class DocumentListView;
class Platform;
struct DocumentResult;

// The commands on one attachment line of the document list, from its context menu or a double
// click: Open (a copy in the session's temporary folder, opened with the desktop's default
// program once the user has agreed for the session), Save As... and, when the last run
// extracted it, Show in Folder. Every file goes through writeSingleAttachment, so that these
// copies follow the rules of a run's writes. The temporary folder and all it holds are removed
// with this object. Runs on the window's thread; the writes run as the window's long calls.
class AttachmentActions : public QObject {
    Q_OBJECT

public:
    // Runs `call` off the window's thread while the window keeps answering; `document` (a path)
    // names it in the wait notice.
    using LongCall
        = std::function<void(const QString &document, const std::function<void()> &call)>;
    // Runs a command, telling the user of what it throws as the window's other commands do.
    using Command = std::function<void(const std::function<void()> &command)>;

    // `list`, `owner` and `platform` must outlive this object; `closing` turns true once the
    // program is ending, which abandons a write in progress.
    AttachmentActions(Platform &platform,
        DocumentListView &list,
        QWidget *owner,
        LongCall longCall,
        Command runCommand,
        const std::atomic<bool> &closing);
    ~AttachmentActions() override;

    // The menu of the list item at `index`; null for anything but an attachment line. Its
    // commands run once control is back in the event loop.
    std::unique_ptr<QMenu> menuFor(const QModelIndex &index);
    void open(const QModelIndex &index);
    void saveAs(const QModelIndex &index);

    // Where the last run put each attachment, for Show in Folder: forgotten when a run starts,
    // recorded as each document is done.
    void runStarted();
    void documentDone(const DocumentResult &result);

    // The session's temporary folder; empty until the first Open.
    QString temporaryFolder() const;

private:
    struct Line {
        std::string file; // the document, as bytes for the file system
        int position = 0;
        QString name; // as the document stores it
    };
    struct Extracted {
        int position = 0;
        std::string name;
        std::string path;
    };

    std::optional<Line> lineAt(const QModelIndex &index) const;
    void showMenu(const QPoint &at);
    void openLine(const Line &line);
    void openCopy(const Line &line);
    void saveLine(const Line &line);
    void saveCopy(const Line &line);
    // Runs one command at a time; an error it throws reaches the user as a message.
    void guarded(const std::function<void()> &command);
    // The extracted file of the line by the last run, when it is still there; empty otherwise.
    QString extractedPath(const Line &line) const;
    void showInFolder(const QString &path);
    bool confirmOpen(const Line &line);
    // The line's attachment written to `target`, its document opened off the window's thread
    // with the password given for it before, else asked for; nothing when the user gave none or
    // the program is ending.
    std::optional<WriteResult> write(const Line &line, const SingleAttachmentTarget &target);
    WriteResult writeWith(const Line &line,
        const SingleAttachmentTarget &target,
        const std::string &password,
        bool &needsPassword);
    void warn(const QString &text);

    Platform &m_platform;
    DocumentListView &m_list;
    QWidget *m_owner;
    LongCall m_longCall;
    Command m_runCommand;
    const std::atomic<bool> &m_closing;
    bool m_busy = false; // a write is in progress: a second command waits for none
    bool m_openAgreed = false; // the user agreed to open attachments in this session
    std::unique_ptr<QTemporaryDir> m_temporary;
    QString m_saveFolder; // where Save As was last used
    std::map<std::string, std::string> m_passwords; // document file -> its password
    std::map<std::string, std::vector<Extracted>> m_extracted; // by document file
};

} // namespace quenlith
