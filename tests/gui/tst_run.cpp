// The extraction run and adding documents from a folder, also by drag and drop.
#include "app/AttachmentActions.h"
#include "app/RunDetailsText.h"
#include "doclist/DocumentReadAhead.h"
#include "extract/DocumentExtraction.h"
#include "extract/ExtractionRun.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FileContents.h"
#include "tests/support/PdfFixtures.h"

#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

using namespace guitest;
using quenlith::Platform;
namespace fs = std::filesystem;

static const QString Completed = QStringLiteral("PDF Attachments Extraction - Completed !");
static const QStringList WorkedTreeRows = { "c1.pdf", "b1.pdf", "a1.pdf", "r2.pdf", "r1.pdf" };

class TestRunAndFolderAdd : public WindowTest {
    Q_OBJECT

private:
    fs::path m_tree;
    int m_folders = 0;

    fs::path freshFolder()
    {
        const fs::path folder = m_scratch.path() / ("f" + std::to_string(++m_folders));
        fs::create_directories(folder);
        return folder;
    }

    void addFolder(const fs::path &folder)
    {
        m_platform->folderAnswers.enqueue(qpath(folder));
        m_window->CmdAddFolder_Click();
    }

    void extractTo(const fs::path &out)
    {
        m_platform->folderAnswers.enqueue(qpath(out));
        m_window->CmdProcess_Click();
    }

    bool commandsEnabled() const
    {
        return m_window->CmdProcess->isEnabled() && m_window->cmdAdd->isEnabled()
            && m_window->CmdAddFolder->isEnabled() && m_window->cmdClear1->isEnabled();
    }

    // Sends a drag-enter and a drop of `paths` to the list; true when the drop was accepted.
    bool drop(const std::vector<fs::path> &paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const fs::path &path : paths)
            urls.append(QUrl::fromLocalFile(qpath(path)));
        data.setUrls(urls);
        QWidget *target = m_window->ListView1->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropEvent(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropEvent);
        QCoreApplication::processEvents(); // the drop is handled queued
        return dropEvent.isAccepted();
    }

private slots:
    void initTestCase()
    {
        // R holds r1, r2, A and B; A holds a1 and C; C holds c1; B holds b1.
        m_tree = m_scratch.path() / "R";
        for (const char *path : { "r1.pdf", "r2.pdf", "A/a1.pdf", "A/C/c1.pdf", "B/b1.pdf" })
            writeDocument(m_tree / path, 1);
        std::ofstream(m_tree / "notes.txt") << "not a document";
        std::ofstream(m_tree / "A" / "old.pdf.bak") << "not a document";
        for (const char *name :
            { "upper.PDF", "mixed.Pdf", "lower.pdf", "a.pdf.bak", "b.pdfx", "pdf" })
            writeDocument(m_scratch.path() / "names" / name, 0);
        writeDocument(m_scratch.path() / "unreadable" / "ok.pdf", 1);
        writeDocument(m_scratch.path() / "unreadable" / "locked" / "hidden.pdf", 1);
        writeDocument(m_scratch.path() / "empty" / "readme.txt", 0);
    }

    // Folders added one after the other (every row unticked in between); %1 is the scratch folder.
    void folderAdd_data()
    {
        QTest::addColumn<QString>("folders"); // separated by spaces
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("message");
        const QString five = "5 PDF Documents Added to List.",
                      none = "0 PDF Documents Added to List.";
        QTest::newRow("worked tree") << "R" << WorkedTreeRows << 4 << five;
        QTest::newRow("trailing separator") << "R/" << WorkedTreeRows << 4 << five;
        QTest::newRow("same folder twice") << "R R" << WorkedTreeRows + WorkedTreeRows << 4 << five;
        QTest::newRow(".pdf in any capitals")
            << "names" << QStringList { "upper.PDF", "mixed.Pdf", "lower.pdf" } << 2
            << "3 PDF Documents Added to List.";
        QTest::newRow("no documents, empty list") << "empty" << QStringList() << -1 << none;
        QTest::newRow("no documents, rows unticked") << "R empty" << WorkedTreeRows << 4 << none;
        QTest::newRow("unreadable folder")
            << "unreadable" << QStringList { "ok.pdf" } << 0
            << "1 PDF Documents Added to List.\n\n1 folder could not be read:\n    "
               "%1/unreadable/locked/: Permission denied";
    }

    void folderAdd()
    {
        QFETCH(QString, folders);
        QFETCH(QStringList, rows);
        QFETCH(int, selected);
        QFETCH(QString, message);
        m_window->SourceFolder = QStringLiteral("/earlier/");
        m_window->CmdAddFolder_Click();
        QVERIFY2(m_window->SourceFolder.isEmpty(), "a cancelled picker adds nothing");
        QVERIFY(m_platform->busyCalls.isEmpty() && m_platform->messages.isEmpty()
            && !m_window->ChkSelectAll->isEnabled());

        QList<bool> busy;
        for (const QString &folder : folders.split(' ')) {
            m_window->ChkSelectAll->setCheckState(Qt::Unchecked);
            m_window->ChkSelectAll_Click();
            addFolder(m_scratch.path() / folder.toStdString());
            busy << true << false;
        }
        const QString last = qpath(m_scratch.path()) + "/" + folders.split(' ').last();
        QCOMPARE(m_window->SourceFolder, last.endsWith('/') ? last : last + "/");
        QCOMPARE(
            m_platform->folderTitles, QStringList(busy.size() / 2 + 1, "Choose Source Folder..."));
        QStringList starts(2, QString()); // then each picker opens in the folder added before
        const QStringList added = folders.split(' ');
        for (qsizetype i = 0; i + 1 < added.size(); ++i)
            starts.append(qpath(m_scratch.path() / added.at(i).toStdString() / ""));
        QCOMPARE(m_platform->folderStarts, starts);
        QCOMPARE(column(1), rows);
        QVERIFY(!ticks().contains(false));
        QCOMPARE(m_window->ChkSelectAll->checkState(), Qt::Checked);
        QCOMPARE(m_window->CmdProcess->isEnabled(), !rows.isEmpty());
        QCOMPARE(m_window->lblCount->text(), QString("%1 PDF Documents Added").arg(rows.size()));
        QCOMPARE(m_platform->busyCalls, busy);
        QCOMPARE(shown().size(), busy.size() / 2);
        QCOMPARE(shown().last(), QString(message).replace("%1", qpath(m_scratch.path())));
        QCOMPARE(m_platform->messages.last().icon, Platform::Icon::None);
        if (selected >= 0)
            QCOMPARE(m_window->ListView1->selectionModel()->selectedRows(),
                QModelIndexList({ row(selected).index() }));
    }

    // An error in the middle of an add leaves the rows added so far, unticked, and is shown;
    // closing the window ends a scan silently. The pointer is restored either way.
    void interruptedAdds()
    {
        int failAt = 2;
        m_platform->onProcessEvents = [&] {
            if (listRows() == failAt)
                throw quenlith::Error(57, "Device I/O error");
        };
        addFiles({ m_tree / "r1.pdf", m_tree / "r2.pdf", m_tree / "B" / "b1.pdf" });
        QCOMPARE(column(1), QStringList({ "r2.pdf", "r1.pdf" }));
        QCOMPARE(ticks(), QList<bool>({ false, false }));
        QCOMPARE(m_window->lblCount->text(), QStringLiteral("0 files"));
        QVERIFY(m_window->CmdProcess->isEnabled() && !m_window->ChkSelectAll->isEnabled());
        failAt = 4;
        addFolder(m_tree);
        QCOMPARE(column(1), QStringList({ "r2.pdf", "r1.pdf", "r2.pdf", "r1.pdf" }));
        QCOMPARE(shown(), QStringList(2, "57:Device I/O error"));
        QCOMPARE(m_platform->messages.first().icon, Platform::Icon::Warning);
        m_platform->onProcessEvents = [&] { m_window->close(); };
        addFolder(m_tree);
        m_platform->onProcessEvents = nullptr;
        QVERIFY(ticks().size() == 4 && shown().size() == 2);
        QCOMPARE(m_platform->busyCalls, QList<bool>({ true, false, true, false }));
        QCOMPARE(m_platform->endProgramCalls, 1);
    }

    // Rows dropped (a folder walked, non-".pdf" files ignored); the ticked ones are extracted;
    // progress counts unticked rows too; commands disabled and drops refused during the run.
    void runExtractsTheTickedRows()
    {
        const fs::path docs = freshFolder(), out = freshFolder();
        for (const char *name : { "Report.PDF", "a.pdf.pdf", "b.pdf", "three.pdf" })
            writeDocument(docs / name, name[0] == 'R' ? 2 : name[0] == 't' ? 3 : 1);
        QVERIFY(drop({ docs, m_tree / "notes.txt", m_tree / "A" / "old.pdf.bak" }));
        QCOMPARE(column(1), QStringList({ "three.pdf", "b.pdf", "a.pdf.pdf", "Report.PDF" }));
        QVERIFY(m_platform->folderTitles.isEmpty() && !ticks().contains(false));
        QCOMPARE(m_platform->busyCalls, QList<bool>({ true, false }));
        row(1)->setCheckState(0, Qt::Unchecked);

        QList<int> values;
        bool disabledDuringRun = true, cancelShown = false;
        m_platform->onProcessEvents = [&] {
            values << m_window->ProgressBar1->value();
            m_window->ListView1_Drop({ qpath(docs / "three.pdf") });
            if (m_window->cmdCancel->isHidden())
                return; // every row done, the run lets go of its report files
            cancelShown = true;
            disabledDuringRun = disabledDuringRun && m_window->isRunInProgress()
                && !m_window->CmdProcess->isEnabled() && !m_window->cmdAdd->isEnabled()
                && !m_window->CmdAddFolder->isEnabled() && !m_window->cmdClear1->isEnabled()
                && !m_window->ChkNested->isEnabled() && !drop({ docs / "three.pdf" });
        };
        extractTo(out);
        m_platform->onProcessEvents = nullptr;
        values << m_window->ProgressBar1->value();
        values.erase(std::unique(values.begin(), values.end()), values.end());

        QCOMPARE(m_platform->folderTitles, QStringList({ "Choose Folder to Save..." }));
        QVERIFY_CONTAINS(
            m_platform->messages.last().text, "3 documents processed, 6 attachments written");
        QCOMPARE(shown(),
            QStringList(
                { "4 PDF Documents Added to List.\n\n2 dropped files were ignored: their names "
                  "do not end in \".pdf\".",
                    Completed }));
        QCOMPARE(m_platform->messages.last().icon, Platform::Icon::Information);
        QCOMPARE(m_platform->messages.last().buttons, Platform::Buttons::Ok);
        QCOMPARE(m_platform->opened, QStringList({ qpath(out) + "/" }));
        QVERIFY(cancelShown && disabledDuringRun);
        QVERIFY(commandsEnabled() && m_window->cmdCancel->isHidden()
            && m_window->FrameWait->isHidden());
        QCOMPARE(values.first(), 0);
        QCOMPARE(values.last(), 100);
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QCOMPARE(m_window->LblProgessCurrent->text(), QStringLiteral("PDF File : Report.PDF"));
        QCOMPARE(m_window->LblImages->text(), QStringLiteral("Extracted Attachment(s) 2 (of 2)"));
        QCOMPARE(m_window->DocOutputFolder, qpath(out / "Report") + "/");
        QCOMPARE(m_window->AttachmentIndex, 3);
        QCOMPARE(listRows(), 4);
        QVERIFY(drop({ m_tree / "r1.pdf" }));
    }

    // Cancelled picker; runs one after the other, the picker opening where the first added
    // document is, then where the last run went. The second run, into "100%2 %1/" (named as it
    // is), starts again at 0; the last has nothing ticked, and the desktop cannot open its folder
    // or the manual: said with the path.
    void successiveRuns()
    {
        const fs::path x = writeDocument(freshFolder() / "report.pdf", 1);
        addFiles({ x });
        addFiles({ x });
        const fs::path y = writeDocument(freshFolder() / "report.pdf", 2);
        addFiles({ y });
        m_window->CmdProcess_Click();
        QVERIFY(m_platform->messages.isEmpty() && m_platform->opened.isEmpty()
            && m_window->CmdProcess->isEnabled());

        const fs::path first = freshFolder(), second = freshFolder() / "100%2 %1";
        extractTo(first);
        int firstValueSeen = -1;
        m_platform->onProcessEvents = [&] {
            if (firstValueSeen < 0)
                firstValueSeen = m_window->ProgressBar1->value();
        };
        extractTo(second / ""); // with a trailing separator
        m_platform->onProcessEvents = nullptr;
        QCOMPARE(firstValueSeen, 0);
        QCOMPARE(m_platform->opened.last(), qpath(second) + "/");
        QVERIFY_CONTAINS(m_platform->messages.last().text,
            "Output folder: " + qpath(second) + "/\n2 documents processed");

        m_window->ChkSelectAll->setCheckState(Qt::Unchecked);
        m_window->ChkSelectAll_Click();
        QVERIFY(!m_window->CmdProcess->isEnabled());
        m_platform->shellOpenWorks = false;
        const fs::path none = freshFolder();
        extractTo(none);
        QVERIFY(fs::is_empty(none));
        QVERIFY(m_window->CmdProcess->isEnabled());
        QCOMPARE(m_platform->folderStarts,
            QStringList({ qpath(x.parent_path()),
                qpath(x.parent_path()),
                qpath(first),
                qpath(second / "") }));
        m_window->CmdHelp_Click();
        // x is listed twice and extracted once: nothing was "already there" in a fresh folder.
        QCOMPARE(shown().mid(0, 4),
            QStringList({ Completed,
                Completed,
                Completed,
                "The output folder could not be opened: the desktop has no program to open it "
                "with.\n"
                    + qpath(none) + "/" }));
        QVERIFY_CONTAINS(shown().last(), "The manual could not be opened: the desktop has no");
    }

    // What a run of these documents reports after the output folder. "name:n" has n attachments,
    // "name:bad" is damaged, "name:nested" holds a document of 2; added with the file dialog or
    // as a folder, with the option to extract from attached PDF documents ticked or not.
    void runCounts_data()
    {
        QTest::addColumn<QByteArrayList>("documents");
        QTest::addColumn<bool>("asFolder");
        QTest::addColumn<bool>("nested");
        QTest::addColumn<QString>("counts");
        QTest::newRow("a damaged document")
            << QByteArrayList { "one.pdf:2", "two.pdf:1", "bad.pdf:bad" } << false << false
            << "3 documents processed (1 failed), 3 attachments written (";
        QTest::newRow("attached documents left alone")
            << QByteArrayList { "outer.pdf:nested" } << false << false
            << "1 document processed, 1 attachment written (";
        QTest::newRow("attached documents on request")
            << QByteArrayList { "outer.pdf:nested" } << false << true
            << "2 documents processed, 3 attachments written (";
        QTest::newRow("a name that is not UTF-8")
            << QByteArrayList { "caf\xe9.pdf:2" } << true << false
            << "1 document processed, 2 attachments written (";
        QTest::newRow("a name ending in a blank is its own document")
            << QByteArrayList { "t.pdf :1", "t.pdf:2" } << true << false
            << "2 documents processed, 3 attachments written (";
        QTest::newRow("Skip at the password question")
            << QByteArrayList { "plain.pdf:1", "locked.pdf:locked" } << false << false
            << "1 document was skipped when its password was asked for.|2 documents processed, "
               "1 attachment written (";
    }

    void runCounts()
    {
        QFETCH(QByteArrayList, documents);
        QFETCH(bool, asFolder);
        QFETCH(bool, nested);
        QFETCH(QString, counts);
        const fs::path docs = freshFolder(), out = freshFolder();
        std::vector<fs::path> paths;
        for (const QByteArray &document : documents) {
            const fs::path path = docs / document.left(document.indexOf(':')).toStdString();
            const QByteArray kind = document.mid(document.indexOf(':') + 1);
            if (kind == "bad")
                std::ofstream(path) << "%PDF-1.4 not really";
            else if (kind == "locked") {
                quenlith::fixtures::writeDocument(path.string(),
                    { .files = { quenlith::fixtures::treeFile("s.txt", "secret") },
                        .encryption = quenlith::fixtures::Encryption::Aes256,
                        .userPassword = "pw" });
                m_platform->passwordAnswers.enqueue({}); // Skip
            } else if (kind == "nested")
                quenlith::fixtures::writePdf(path.string(),
                    { { "inner.pdf",
                        quenlith::fixtures::readFile(writeDocument(m_scratch.path() / "in.pdf", 2)),
                        0 } });
            else
                writeDocument(path, kind.toInt());
            paths.push_back(path);
        }
        if (asFolder)
            addFolder(docs);
        else
            addFiles(paths);
        m_window->ChkNested->setChecked(nested);
        extractTo(out);
        const Platform::Message &box = m_platform->messages.last();
        // "lead|counts": the lead stands before the output folder.
        const QString lead = counts.contains('|') ? counts.section('|', 0, 0) : QString();
        QVERIFY_CONTAINS(
            box.text, lead + "\n\nOutput folder: " + qpath(out) + "/\n" + counts.section('|', -1));
        QCOMPARE(box.icon,
            documents.join().contains(":bad") ? Platform::Icon::Warning
                                              : Platform::Icon::Information);
    }

    // Embedded files that the document does not list are not counted on the row, but its
    // tooltip tells of them: a hidden payload is never invisible.
    void unlistedFilesAreTold()
    {
        using namespace quenlith::fixtures;
        const FileSpecFixture listed = treeFile("listed.txt", "listed", "listed.txt");
        FileSpecFixture hidden = treeFile({}, "hidden", "hidden.txt");
        hidden.treeKeys.clear();
        hidden.unreferenced = true;
        FileSpecFixture bare = hidden;
        bare.bareStream = true;
        const fs::path docs = freshFolder();
        writeDocument((docs / "two.pdf").string(), { .files = { listed, hidden, bare } });
        writeDocument((docs / "none.pdf").string(), { .files = { listed } });
        addFiles({ docs / "none.pdf", docs / "two.pdf" });
        QCOMPARE(column(0), QStringList({ "1", "1" }));
        QCOMPARE(row(0)->toolTip(0),
            QStringLiteral("2 embedded files that the document does not list are not extracted; "
                           "quenlith-cli extract --unlisted writes them."));
        QVERIFY(row(1)->toolTip(0).isEmpty());
    }

    // A real Factur-X invoice says so on its row and on the line of its XML attachment.
    void invoicesAreShown()
    {
        const fs::path invoice = fs::path(QUENLITH_CORPUS_DIR) / "factur-x__invoice_EN16931.pdf";
        if (!fs::exists(invoice))
            QSKIP("the corpus is not here");
        addFiles({ invoice });
        const ListRow top = row(0);
        QCOMPARE(top->toolTip(0),
            QStringLiteral(
                "invoice: Factur-X EN 16931, no. F20260023 of 2026-01-31, LE FOURNISSEUR "
                "to LE CLIENT, 104.90 EUR"));
        top->setExpanded(true);
        bool marked = false;
        for (int i = 0; i < top->childCount(); ++i)
            marked = marked
                || (top->child(i)->text(1) == "factur-x.xml"
                    && top->child(i)->text(2).startsWith(
                        "Invoice F20260023 of 2026-01-31, 104.90 EUR, "));
        QVERIFY(marked);
    }

    // A row expands to its attachments (lines and texts: see the main window's tests), each with a
    // tick: the document's is partly ticked while some are not, and a run writes only the ticked
    // ones. After a run, the one that failed carries the exclamation mark and its reason.
    void expandedRowsShowTheAttachments()
    {
        auto good = quenlith::fixtures::treeFile("good.txt", "good data", "good.txt");
        good.size = 9;
        good.modDate = "D:20240501120000Z";
        auto bad = quenlith::fixtures::treeFile("bad.txt", "bad data", "bad.txt");
        bad.modDate = good.modDate;
        bad.corruptFlate = true;
        const fs::path docs = freshFolder();
        quenlith::fixtures::writeDocument((docs / "two.pdf").string(), { .files = { good, bad } });
        addFiles({ docs / "two.pdf" });
        addFiles({ docs / "two.pdf" }); // the same again: its lines are opened only after the run
        const ListRow top = row(0);
        top->setExpanded(true);
        QCOMPARE(top->childCount(), 2);
        // The document's tick, its lines' and Select All's, after each click.
        const auto states = [&] {
            m_window->ListView1_Click();
            return QList<int>({ top->checkState(0),
                top->child(0)->checkState(0),
                top->child(1)->checkState(0),
                m_window->ChkSelectAll->checkState() });
        };
        quenlith::DocumentListView *list = m_window->ListView1;
        list->setCurrentIndex(top->child(1).index());
        QTest::keyClick(list, Qt::Key_Space);
        const int none = Qt::Unchecked, some = Qt::PartiallyChecked, all = Qt::Checked;
        QCOMPARE(states(), QList<int>({ some, all, none, some }));
        top->child(0)->setCheckState(0, Qt::Unchecked);
        QCOMPARE(states(), QList<int>({ none, none, none, some }));
        top->child(0)->setCheckState(0, Qt::Checked);
        QCOMPARE(states(), QList<int>({ some, all, none, some }));

        const fs::path out = freshFolder();
        extractTo(out);
        QCOMPARE(filesBelow(out), QStringList({ "two/good.txt" }));
        QVERIFY2(top->child(1)->toolTip(1).isEmpty(), "an attachment not chosen has not failed");
        top->child(1)->setCheckState(0, Qt::Checked);
        QCOMPARE(states(), QList<int>({ all, all, all, all }));
        extractTo(freshFolder());
        for (const ListRow &document : { top, row(1) }) {
            document->setExpanded(true);
            QVERIFY(document->child(0)->toolTip(1).isEmpty());
            QVERIFY2(!document->child(1)->toolTip(1).isEmpty(), "the failed attachment says why");
        }
    }

    // An attachment line opens as a temporary copy, after one question per session, and is saved
    // under the chosen name; after a run its menu shows its folder. The copies go with the window.
    void attachmentLineCommands()
    {
        using quenlith::fixtures::readFile;
        const fs::path docs = freshFolder();
        addFiles({ writeDocument(docs / "att.pdf", 2) });
        const ListRow top = row(0);
        top->setExpanded(true);
        quenlith::AttachmentActions &actions = m_window->attachmentActions();
        const QModelIndex second = top->child(1).index();
        m_platform->messageAnswers.enqueue(Platform::Answer::No);
        actions.open(second);
        QVERIFY(m_platform->opened.isEmpty() && actions.temporaryFolder().isEmpty());
        m_platform->messageAnswers.enqueue(Platform::Answer::Yes);
        actions.open(second);
        actions.open(top->child(0).index());
        QCOMPARE(m_platform->messages.size(), 2);
        QVERIFY_CONTAINS(m_platform->messages.last().text, "Open \"att-2.txt\"");
        QCOMPARE(m_platform->opened.size(), 2);
        const QString copy = m_platform->opened.first();
        QCOMPARE(QFileInfo(copy).absolutePath(), actions.temporaryFolder());
        const std::string data = "attachment 2 of att.pdf";
        QCOMPARE(readFile(copy.toStdString()), data);

        // Save As: the file chosen is replaced; a failure says why and where the next proposal is.
        std::ofstream(docs / "chosen.txt") << "old";
        m_platform->saveAnswers.enqueue({ qpath(docs / "chosen.txt"), {} });
        m_platform->saveAnswers.enqueue({ qpath(docs / "gone" / "x.txt"), {} });
        for (int i = 0; i < 2; ++i) {
            const std::unique_ptr<QMenu> menu = actions.menuFor(second);
            QCOMPARE(menu->actions().size(), 2); // Open, Save As...: nothing extracted yet
            menu->actions().last()->trigger();
            QTRY_COMPARE(m_platform->saveProposals.size(), i + 1);
        }
        QCOMPARE(m_platform->saveProposals,
            QStringList({ QDir::home().filePath("att-2.txt"), qpath(docs / "att-2.txt") }));
        QCOMPARE(readFile(docs / "chosen.txt"), data);
        QVERIFY_CONTAINS(m_platform->messages.last().text, "x.txt\" could not be saved");

        extractTo(docs / "out");
        const std::unique_ptr<QMenu> menu = actions.menuFor(second);
        QCOMPARE(menu->actions().last()->text(), "Show in Folder");
        menu->actions().last()->trigger();
        QTRY_COMPARE(m_platform->opened.last(), qpath(docs / "out" / "att"));
        // A document that needs a password now: asked once, then known for the session.
        quenlith::fixtures::writeDocument((docs / "att.pdf").string(),
            { .files = { quenlith::fixtures::treeFile("k", "secret", "att-1.txt") },
                .encryption = quenlith::fixtures::Encryption::Aes256,
                .userPassword = "pw" });
        m_platform->passwordAnswers.enqueue({ true, "pw", false });
        for (int i = 0; i < 2; ++i)
            actions.open(top->child(0).index());
        QCOMPARE(m_platform->passwordsAsked, QStringList({ "att.pdf" }));
        QCOMPARE(readFile(m_platform->opened.last().toStdString()), "secret");
        m_window.reset();
        QVERIFY(!QFileInfo::exists(copy));
    }

    // An output folder inside a folder that documents were added from is used only when the user
    // says so; the files added one by one do not count, nor do folders added before a Clear.
    void asksBeforeExtractingIntoASourceFolder()
    {
        const fs::path tree = freshFolder();
        writeDocument(tree / "a.pdf", 1);
        const QString question = QStringLiteral(
            "The output folder is inside a folder you added documents from; extracted PDF files "
            "would be found there the next time the folder is added. Extract there anyway?");
        addFolder(tree / "");
        m_platform->folderStarts.clear();
        m_platform->messages.clear();
        m_platform->messageAnswers.enqueue(Platform::Answer::No);
        extractTo(tree / "out"); // No: the picker again, then cancelled
        QCOMPARE(shown(), QStringList({ question }));
        QCOMPARE(m_platform->messages.first().defaultButton, Platform::Answer::No);
        QCOMPARE(m_platform->folderStarts, QStringList(2, qpath(tree.parent_path())));
        QVERIFY(!fs::exists(tree / "out"));
        m_platform->messageAnswers.enqueue(Platform::Answer::Yes);
        extractTo(tree / "out" / "");
        QCOMPARE(shown(), QStringList({ question, question, Completed }));

        m_window->cmdClear1_Click();
        QCOMPARE(m_window->lblCount->text(), QStringLiteral("0 files"));
        QCOMPARE(m_window->LblProgessCurrent->text(), QStringLiteral("PDF File <pdf-file>"));
        QCOMPARE(m_window->LblImages->text(), QStringLiteral("Extracted Attachment(s) 0 (of 0)"));
        QCOMPARE(m_window->ProgressBar1->value(), 0);
        addFiles({ tree / "a.pdf" });
        m_platform->messages.clear();
        extractTo(tree / "out2");
        QCOMPARE(shown(), QStringList({ Completed }));
    }

    // The run without a window: what its view is told, and what its details say. Passwords are
    // "pw"; the view answers from `replies` ("-": Skip, " all" after it: for all) and cancels once
    // `cancelAfter` documents are done.
    void runJob_data()
    {
        QTest::addColumn<QStringList>("documents"); // "name:kind", in the run's order
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<int>("cancelAfter");
        QTest::addColumn<QString>("told"); // the questions and ends, in order
        QTest::addColumn<QString>("details"); // a part of the details
        QTest::newRow("same name twice in a document")
            << QStringList { "twins.pdf:twins" } << QStringList() << -1 << "done twins.pdf 2"
            << "renamed: same.txt \u2192 same (2).txt (another attachment has its name)";
        QTest::newRow("wrong password asked again, then skipped")
            << QStringList { "e.pdf:locked" } << QStringList { "bad", "-" } << -1
            << "ask e.pdf|ask e.pdf again|done e.pdf 0"
            << "skipped: Skip was chosen when its password was asked for";
        QTest::newRow("three wrong passwords fail the document")
            << QStringList { "e.pdf:locked" } << QStringList { "x", "y", "z" } << -1
            << "ask e.pdf|ask e.pdf again|ask e.pdf again|done e.pdf 0"
            << "not extracted: needs a password";
        QTest::newRow("the right password on the second try")
            << QStringList { "e.pdf:locked" } << QStringList { "x", "pw" } << -1
            << "ask e.pdf|ask e.pdf again|done e.pdf 1"
            << "";
        QTest::newRow("a password for all is tried without asking")
            << QStringList { "e.pdf:locked", "f.pdf:locked" } << QStringList { "pw all" } << -1
            << "ask e.pdf|done e.pdf 1|done f.pdf 1"
            << "";
        QTest::newRow("skip for all asks once")
            << QStringList { "e.pdf:locked", "f.pdf:locked" } << QStringList { "- all" } << -1
            << "ask e.pdf|done e.pdf 0|done f.pdf 0"
            << "f.pdf\n    skipped: Skip";
        QTest::newRow("a path given twice is extracted once")
            << QStringList { "a.pdf:1", "a.pdf:1" } << QStringList() << -1 << "done a.pdf 1"
            << "";
        QTest::newRow("cancelled after the first document")
            << QStringList { "a.pdf:1", "b.pdf:1" } << QStringList() << 1
            << "done a.pdf 1|end 1 of 2"
            << "";
    }

    void runJob()
    {
        QFETCH(QStringList, documents);
        QFETCH(QStringList, replies);
        QFETCH(int, cancelAfter);
        QFETCH(QString, told);
        QFETCH(QString, details);
        using namespace quenlith::fixtures;
        const fs::path docs = freshFolder();
        std::vector<std::string> files;
        for (const QString &document : documents) {
            const std::string name = document.section(':', 0, 0).toStdString();
            const QString kind = document.section(':', 1);
            const fs::path path = docs / name;
            files.push_back(path.string());
            if (kind == "1")
                writeDocument(path, 1);
            else if (kind == "twins")
                quenlith::fixtures::writeDocument(path.string(),
                    { .files = {
                          treeFile("k1", "one", "same.txt"), treeFile("k2", "two", "same.txt") } });
            else
                quenlith::fixtures::writeDocument(path.string(),
                    { .files = { treeFile("s.txt", "secret") },
                        .encryption = Encryption::Aes256,
                        .userPassword = "pw" });
        }
        struct View : quenlith::RunView {
            QStringList told, replies;
            int cancelAfter = -1, done = 0;
            QList<double> shares;
            bool goOn() override
            {
                return done != cancelAfter;
            }
            void progress(double share) override
            {
                shares.append(share);
            }
            PasswordReply askPassword(const std::string &file, bool wrong) override
            {
                told.append("ask " + QString::fromStdString(fs::path(file).filename().string())
                    + (wrong ? " again" : ""));
                const QString reply = replies.takeFirst();
                return { !reply.startsWith('-'),
                    reply.section(' ', 0, 0).toStdString(),
                    reply.endsWith(" all") };
            }
            void documentDone(const quenlith::DocumentResult &result) override
            {
                ++done;
                told.append(QString("done %1 %2")
                                .arg(QString::fromStdString(
                                    fs::path(result.documentPath).filename().string()))
                                .arg(result.attachments.size()));
            }
        } view;
        view.replies = replies;
        view.cancelAfter = cancelAfter;
        quenlith::ExtractionRun run(files, (freshFolder() / "out").string(), {});
        const quenlith::RunEnd end = run.run(view);
        if (end.cancelled)
            view.told.append(QString("end %1 of %2").arg(end.done).arg(end.documents));
        QCOMPARE(view.told.join('|'), told);
        QVERIFY(std::is_sorted(view.shares.begin(), view.shares.end()));
        QCOMPARE(view.shares.last(), end.cancelled ? 0.5 : 1.0);
        QVERIFY_CONTAINS(quenlith::runDetailsText(run.details()), details);
    }

    // The completion message of a rerun tells of the file kept unchanged and of the one written
    // under a new name beside the file the user edited. The report saved from it takes the chosen
    // file type's format, else the one its name's extension says, else JSON, and gets the
    // extension when its name has none.
    void savedReport_data()
    {
        QTest::addColumn<QString>("typed"); // in the save dialog
        QTest::addColumn<QString>("filter"); // chosen there
        QTest::addColumn<QString>("saved"); // the file written; empty: none, an error shown
        QTest::addColumn<bool>("csv");
        const QString csv = "CSV report (*.csv)", json = "JSON report (*.json)";
        QTest::newRow("CSV chosen") << "run" << csv << "run.csv" << true;
        QTest::newRow("JSON chosen") << "run" << json << "run.json" << false;
        QTest::newRow("CSV chosen, own extension") << "run.txt" << csv << "run.txt" << true;
        QTest::newRow("no type, .CSV typed") << "run.CSV" << QString() << "run.CSV" << true;
        QTest::newRow("no type, no extension") << "run" << QString() << "run.json" << false;
        QTest::newRow("into a missing folder") << "gone/run" << csv << QString() << true;
    }

    void savedReport()
    {
        QFETCH(QString, typed);
        QFETCH(QString, filter);
        QFETCH(QString, saved);
        QFETCH(bool, csv);
        const fs::path docs = freshFolder(), out = freshFolder();
        addFiles({ writeDocument(docs / "report.pdf", 2) });
        extractTo(out);
        std::ofstream(out / "report" / "report-1.txt") << "edited";
        m_platform->messageAnswers.enqueue(Platform::Answer::Extra);
        m_platform->saveAnswers.enqueue({ qpath(docs / typed.toStdString()), filter });
        extractTo(out);
        const Platform::Message &box = m_platform->messages.at(1);
        QCOMPARE(box.extraButton, QStringLiteral("Save Report..."));
        QVERIFY_CONTAINS(box.text,
            "\n1 attachment was written under a new name because a file with other content was "
            "already there.\n1 attachment was already there unchanged.\n");
        QVERIFY_CONTAINS(box.text, "1 attachment written (26 bytes), 1 unchanged.");
        QVERIFY_CONTAINS(m_platform->saveProposals.last(), qpath(out) + "/quenlith-report-");
        QCOMPARE(m_platform->messages.last().text, box.text); // shown again after the save
        QCOMPARE(m_platform->saveTitles.last(),
            QStringLiteral("Save Report|JSON report (*.json);;CSV report (*.csv)"));
        if (saved.isEmpty()) {
            QVERIFY_CONTAINS(shown().at(shown().size() - 2), "The report could not be saved: ");
            return;
        }
        QCOMPARE(filesBelow(docs), QStringList({ "report.pdf", saved }));
        const std::string report = quenlith::fixtures::readFile(docs / saved.toStdString());
        QCOMPARE(report.rfind('{', 0) == 0, !csv);
    }

    // A slow library call runs off the window's thread: events keep coming, the wait notice
    // shows, and Cancel pressed during the call stops the run before its next write.
    void slowCallsLeaveTheWindowResponsive()
    {
        const fs::path docs = freshFolder(), out = freshFolder();
        writeDocument(docs / "one.pdf", 1);
        writeDocument(docs / "two.pdf", 1);
        m_window->setBeforeLongCall(
            [] { std::this_thread::sleep_for(std::chrono::milliseconds(400)); });
        const auto reset = qScopeGuard([this] { m_window->setBeforeLongCall({}); });
        int ticks = 0;
        bool waitShown = false;
        QSet<QString> notices; // what the wait notice said, naming the document
        std::function<void()> onTick;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ++ticks;
            if (m_window->FrameWait->isVisible()) {
                waitShown = true;
                notices.insert(m_window->Label1->text());
            }
            if (onTick)
                onTick();
        });
        timer.start();
        addFiles({ docs / "one.pdf", docs / "two.pdf" });
        QVERIFY2(ticks > 0, "the timer ran during the slow calls");
        QVERIFY(waitShown && m_window->FrameWait->isHidden());
        QVERIFY2(notices.contains("Please wait... Reading two.pdf..."),
            qPrintable(QStringList(notices.begin(), notices.end()).join(" | ")));
        QCOMPARE(listRows(), 2);
        // A folder add reads its documents ahead on a thread of its own: the same notice.
        notices.clear();
        ticks = 0;
        addFolder(docs);
        QVERIFY(ticks > 0 && m_window->FrameWait->isHidden());
        QVERIFY2(notices.contains("Please wait... Reading one.pdf...")
                && notices.contains("Please wait... Reading two.pdf..."),
            qPrintable(QStringList(notices.begin(), notices.end()).join(" | ")));
        QCOMPARE(listRows(), 4);

        ticks = 0;
        notices.clear();
        onTick = [&] {
            if (ticks == 5)
                m_window->cmdCancel_Click();
        };
        extractTo(out);
        QVERIFY_CONTAINS(shown().last(),
            "Cancelled !\nCancelled after 0 of 2 documents; 0 attachments were written before "
            "the stop.");
        QVERIFY(m_window->FrameWait->isHidden());
        // The notice named the document being extracted, and the label is back at rest.
        QVERIFY2(notices.contains("Please wait... Reading one.pdf...")
                || notices.contains("Please wait... Reading two.pdf..."),
            qPrintable(QStringList(notices.begin(), notices.end()).join(" | ")));
        QCOMPARE(m_window->Label1->text(), QString("Please wait... Reading Image Information..."));
        QVERIFY(m_window->Label1->toolTip().isEmpty());
    }

    // Read ahead in order, past the bound of what is kept ahead, and stopped early without
    // reading the rest.
    void readAheadKeepsTheOrder()
    {
        const fs::path docs = freshFolder();
        constexpr std::size_t count = quenlith::DocumentReadAhead::Ahead * 2 + 3;
        std::vector<std::string> files;
        for (std::size_t i = 0; i < count; ++i)
            files.push_back((docs / ("gone-" + std::to_string(i) + ".pdf")).string());
        files[700] = writeDocument(docs / "real.pdf", 3).string();
        {
            quenlith::DocumentReadAhead readAhead(files);
            for (std::size_t i = 0; i < count; ++i) {
                const quenlith::DocumentSummary summary = readAhead.takeNext();
                QCOMPARE(summary.opened, i == 700);
                QCOMPARE(summary.count, i == 700 ? 3 : 0);
                QCOMPARE(summary.error.empty(), i == 700);
            }
            QVERIFY(readAhead.waitForNext(std::chrono::milliseconds(0)));
        }
        std::atomic<std::size_t> read { 0 };
        {
            quenlith::DocumentReadAhead readAhead(files, [&] { ++read; });
            readAhead.takeNext();
            QVERIFY(readAhead.waitForNext(std::chrono::seconds(10)));
        }
        QVERIFY2(read <= quenlith::DocumentReadAhead::Ahead + 2, qPrintable(QString::number(read)));
    }

    // Documents that fail are named after the completion text, ten at most, all in the details.
    void failuresAreSummarised()
    {
        const fs::path docs = freshFolder(), out = freshFolder();
        std::vector<fs::path> missing;
        for (int i = 0; i < 11; ++i)
            missing.push_back(docs / ("gone-" + std::to_string(i) + ".pdf"));
        addFiles(missing);
        std::ofstream(docs / "broken.pdf") << "%PDF-1.4 not really";
        addFiles({ writeDocument(docs / "good.pdf", 1),
            docs / "broken.pdf" }); // broken, good, gone-10..0
        extractTo(out);
        QCOMPARE(shown().size(), 1);
        const Platform::Message &box = m_platform->messages.first();
        QVERIFY2(box.text.startsWith(Completed + "\n"), qPrintable(box.text));
        QVERIFY_CONTAINS(box.text, "12 documents could not be extracted");
        QVERIFY2(box.text.contains("and 2 more"), qPrintable(box.text));
        QVERIFY(box.text.contains(qpath(docs / "broken.pdf")));
        QCOMPARE(box.text.count("gone-"), 9);
        QCOMPARE(box.details.count("gone-"), 11);
        QCOMPARE(box.icon, Platform::Icon::Warning);
    }

    void stopDuringARun_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : { "window closed",
                 "window closed, answered No",
                 "Exit answered Yes",
                 "Cancel button",
                 "Escape" })
            QTest::newRow(how) << QString::fromLatin1(how);
    }

    // Rows d3, d2, d1, stopped after d2's first attachment: no new write, nothing partial left.
    // Closing the window asks first, as Exit does; answered No, the run goes on.
    void stopDuringARun()
    {
        QFETCH(QString, how);
        const fs::path docs = freshFolder(), out = freshFolder();
        for (const char *name : { "d1.pdf", "d2.pdf", "d3.pdf" })
            writeDocument(docs / name, 2);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        addFiles({ docs / "d1.pdf", docs / "d2.pdf", docs / "d3.pdf" });
        bool stopped = false;
        m_platform->onProcessEvents = [&] {
            if (stopped || !fs::exists(out / "d2" / "d2-1.txt"))
                return;
            stopped = true;
            if (how.startsWith("window closed")) {
                if (how.endsWith("No"))
                    m_platform->messageAnswers.enqueue(Platform::Answer::No);
                m_window->close();
            } else if (how == "Exit answered Yes")
                m_window->cmdEnd_Click(); // the fake answers the default button, Yes
            else if (how == "Escape")
                QTest::keyClick(m_window.get(), Qt::Key_Escape);
            else
                QTest::mouseClick(m_window->cmdCancel, Qt::LeftButton);
        };
        extractTo(out);
        m_platform->onProcessEvents = nullptr;
        const QString question = QStringLiteral("Are you sure you want to exit now?");
        if (how.endsWith("answered No")) {
            QCOMPARE(shown(), QStringList({ question, Completed }));
            QVERIFY(m_window->isVisible() && m_platform->endProgramCalls == 0);
            return;
        }
        QCOMPARE(filesBelow(out), QStringList({ "d2/d2-1.txt", "d3/d3-1.txt", "d3/d3-2.txt" }));
        const bool cancelled = how == "Cancel button" || how == "Escape";
        QCOMPARE(m_platform->endProgramCalls, cancelled ? 0 : 1);
        QCOMPARE(m_window->isVisible(), cancelled);
        QCOMPARE(m_platform->opened.isEmpty(), !cancelled);
        const QStringList texts = shown();
        QCOMPARE(texts.size(), 1);
        if (!cancelled)
            QCOMPARE(texts.first(), question);
        if (!cancelled)
            return;
        const QString &text = texts.first();
        QVERIFY2(text.startsWith("PDF Attachments Extraction - Cancelled !"), qPrintable(text));
        QVERIFY_CONTAINS(text, "Cancelled after 1 of 3 documents; 3 attachments were written");
        QCOMPARE(m_window->ProgressBar1->value(), 50); // d3 and half of d2
        QCOMPARE(m_platform->opened, QStringList({ qpath(out) + "/" }));
        QVERIFY(commandsEnabled() && m_window->cmdCancel->isHidden());
        const fs::path again = freshFolder();
        extractTo(again); // the next run is not cancelled
        QCOMPARE(filesBelow(again).size(), 6);
        QCOMPARE(shown().last(), Completed);
    }

    void closingDuringALongWriteAbandonsIt()
    {
        const fs::path docs = freshFolder(), out = freshFolder();
        // 32 MB that Flate cannot shrink much: its write lasts far longer than the window's
        // thread waits between two looks at the events (BackgroundCall::PollInterval).
        std::string data(32u << 20, '\0');
        std::minstd_rand random(12345);
        std::generate(data.begin(), data.end(), [&] { return static_cast<char>(random() >> 8); });
        quenlith::fixtures::writePdf((docs / "big.pdf").string(), { { "big.bin", data, 0 } });
        addFiles({ docs / "big.pdf" });
        bool closedDuringWrite = false;
        m_platform->onProcessEvents = [&] {
            // The document folder exists once the document opened: the write starts now.
            if (!m_window->isClosing() && fs::exists(out / "big")) {
                closedDuringWrite = true;
                m_window->close();
            }
        };
        extractTo(out);
        m_platform->onProcessEvents = nullptr;
        QVERIFY(closedDuringWrite);
        QVERIFY(m_window->isClosing());
        QCOMPARE(shown(), QStringList({ "Are you sure you want to exit now?" }));
        QCOMPARE(filesBelow(out), QStringList());
    }
};

QObject *newTestRunAndFolderAdd()
{
    return new TestRunAndFolderAdd;
}

#include "tst_run.moc"
