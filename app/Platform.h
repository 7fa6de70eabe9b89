#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace quenlith {

// Everything the window asks of the desktop: dialogs, message boxes, the shell, the busy pointer
// and the event loop. The real one uses Qt (QtPlatform); tests use a fake that records the calls
// and returns scripted answers. Every function runs on the window's thread.
class Platform {
public:
    enum class Icon { None, Information, Warning, Question, Critical };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No, Extra };

    struct Message {
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer defaultButton = Answer::Ok;
        QString details; // shown on request below the text; empty for none
        // Caption of one more button beside the others, answered by Answer::Extra; empty for
        // none.
        QString extraButton;
    };

    virtual ~Platform() = default;

    // The multi-select open-file dialog with one filter entry such as "Adobe PDF Files (*.pdf)",
    // matching the extension in any mix of capitals, starting in the folder it was last used in
    // this session. The picked files' full paths in the order
    // the dialog gives them; empty when cancelled.
    virtual QStringList openFiles(QWidget *owner, const QString &filter) = 0;

    // The modal folder picker titled `title`, opened in `startFolder` when that is a folder. The
    // chosen folder as the platform gives it (a root keeps its trailing separator, other folders
    // have none), created when the user typed a new one; empty when cancelled or failed.
    virtual QString browseForFolder(
        QWidget *owner, const QString &title, const QString &startFolder)
        = 0;

    // The save-file dialog titled `title` with `filters` ("JSON report (*.json);;CSV report
    // (*.csv)"), proposing `proposed` (a full path), asking before it replaces a file. The chosen
    // path and, in `chosenFilter`, the filter entry it was chosen under; empty when cancelled.
    virtual QString saveFile(QWidget *owner,
        const QString &title,
        const QString &filters,
        const QString &proposed,
        QString &chosenFilter)
        = 0;

    // Asks for the password of the document `documentName` (shown as it is), saying that the
    // last one given was wrong when `lastWasWrong`. The password, or
    // nothing when the user skips the document; `forAllRemaining` says whether the answer (the
    // password, or skipping) holds for the rest of the run's documents that need one.
    struct PasswordAnswer {
        bool given = false;
        QString password;
        bool forAllRemaining = false;
    };
    virtual PasswordAnswer askPassword(
        QWidget *owner, const QString &documentName, bool lastWasWrong)
        = 0;

    // A modal message box; returns the button pressed (the default one when closed otherwise).
    virtual Answer messageBox(QWidget *owner, const Message &message) = 0;

    // Opens a local path or a web address with its default handler. Empty text: nothing happens.
    // False when no handler could be started.
    virtual bool shellOpen(const QString &pathOrUrl) = 0;

    // Switches the application-wide busy pointer on or off.
    virtual void setBusyCursor(bool busy) = 0;

    // Lets pending window events run. `beforeEvents`, when given, runs first and only when events
    // do run, e.g. to bring deferred view updates up to date; a platform may leave it out of some
    // rounds while its last run took long, the events then seeing the views as last updated.
    // Events::Now runs both even when the last call was a moment ago.
    enum class Events { WhenDue, Now };
    virtual void processEvents(
        const std::function<void()> &beforeEvents = {}, Events due = Events::WhenDue)
        = 0;

    // In how many milliseconds processEvents() would let events run (a platform may skip calls
    // that follow each other closely); 0: now. Work off the window's thread hands over its pauses
    // only then.
    virtual qint64 millisecondsUntilEventsDue() const
    {
        return 0;
    }

    // Asks the event loop to end the program once control returns to it.
    virtual void endProgram() = 0;
};

} // namespace quenlith
