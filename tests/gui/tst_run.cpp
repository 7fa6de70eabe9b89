// The extraction run and adding documents from a folder.
#include "doclist/DocumentListView.h"
#include "tests/gui/GuiTestSupport.h"
#include "util/Error.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <fstream>

using namespace guitest;
using quenlith::frmStep1;
using quenlith::Platform;
namespace fs = std::filesystem;

namespace {

const QString Completed = QStringLiteral("PDF Attachments Extraction - Completed !");

bool hasPartFile(const fs::path &folder)
{
    for (const QString &file : filesBelow(folder)) {
        if (file.endsWith(QLatin1String(".part")))
            return true;
    }
    return false;
}

} // namespace

class TestRunAndFolderAdd : public QObject {
    Q_OBJECT

private:
    quenlith::fixtures::ScratchFolder m_scratch { "quenlith-gui-run" };
    fs::path m_tree;

    // Adds `paths` as one batch with the file dialog.
    static void addFiles(frmStep1 &window, FakePlatform &platform, const QList<fs::path> &paths)
    {
        QStringList picked;
        for (const fs::path &path : paths)
            picked.append(qpath(path));
        platform.fileAnswers.enqueue(picked);
        window.cmdAdd_Click();
    }

    fs::path freshFolder(const std::string &name)
    {
        const fs::path folder = m_scratch.path() / name;
        fs::create_directories(folder);
        return folder;
    }

private slots:
    void initTestCase()
    {
        // The worked tree: R holds r1, r2 and the folders A and B; A holds a1 and C; C holds c1;
        // B holds b1. Other files are not documents.
        m_tree = m_scratch.path() / "R";
        for (const char *path : { "r1.pdf", "r2.pdf", "A/a1.pdf", "A/C/c1.pdf", "B/b1.pdf" })
            writeDocument(m_tree / path, 1);
        std::ofstream(m_tree / "notes.txt") << "not a document";
        std::ofstream(m_tree / "A" / "old.pdf.bak") << "not a document";
    }

    // --- Adding a folder ---

    void workedTreeAddedAsFolder()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.folderAnswers.enqueue(qpath(m_tree));
        window->CmdAddFolder_Click();
        QCOMPARE(platform.folderTitles, QStringList({ "Choose Source Folder..." }));
        QCOMPARE(window->SourceFolder, qpath(m_tree) + "/");
        QCOMPARE(
            column(*window, 1), QStringList({ "c1.pdf", "b1.pdf", "a1.pdf", "r2.pdf", "r1.pdf" }));
        QCOMPARE(column(*window, 2).last(), qpath(m_tree / "r1.pdf"));
        QCOMPARE(window->ListView1->selectedItems(),
            QList<QTreeWidgetItem *>({ window->ListView1->topLevelItem(4) }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("5 PDF Documents Added"));
        QCOMPARE(ticks(*window), QList<bool>({ true, true, true, true, true }));
        QVERIFY(window->CmdProcess->isEnabled());
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages.first().text, QStringLiteral("5 PDF Documents Added to List."));
        QCOMPARE(platform.messages.first().icon, Platform::Icon::None);
        QCOMPARE(platform.messages.first().title, QStringLiteral("Quenlith"));
        QCOMPARE(platform.busyCalls, QList<bool>({ true, false }));
    }

    void folderWithTrailingSeparatorGetsNoSecond()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.folderAnswers.enqueue(qpath(m_tree / "B") + "/");
        window->CmdAddFolder_Click();
        QCOMPARE(window->SourceFolder, qpath(m_tree / "B") + "/");
        QCOMPARE(column(*window, 2), QStringList({ qpath(m_tree / "B" / "b1.pdf") }));
    }

    void cancelledFolderPickerChangesNothing()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        window->SourceFolder = QStringLiteral("/earlier/");
        window->CmdAddFolder_Click();
        QVERIFY(window->SourceFolder.isEmpty());
        QCOMPARE(window->ListView1->topLevelItemCount(), 0);
        QCOMPARE(window->lblCount->text(), QStringLiteral("0 files"));
        QVERIFY(!window->ChkSelectAll->isEnabled());
        QVERIFY(platform.messages.isEmpty());
        QVERIFY(platform.busyCalls.isEmpty());
    }

    void pdfNameRule()
    {
        const fs::path folder = freshFolder("names");
        for (const char *name :
            { "upper.PDF", "mixed.Pdf", "lower.pdf", "backup.pdf.bak", "longer.pdfx", "pdf" })
            std::ofstream(folder / name) << "x";
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.folderAnswers.enqueue(qpath(folder));
        window->CmdAddFolder_Click();
        QStringList names = column(*window, 1);
        names.sort();
        QCOMPARE(names, QStringList({ "lower.pdf", "mixed.Pdf", "upper.PDF" }));
    }

    void sameFolderTwice()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.folderAnswers.enqueue(qpath(m_tree));
        platform.folderAnswers.enqueue(qpath(m_tree));
        window->CmdAddFolder_Click();
        window->ListView1->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        window->CmdAddFolder_Click();
        QCOMPARE(column(*window, 1),
            QStringList({ "c1.pdf",
                "b1.pdf",
                "a1.pdf",
                "r2.pdf",
                "r1.pdf",
                "c1.pdf",
                "b1.pdf",
                "a1.pdf",
                "r2.pdf",
                "r1.pdf" }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("10 PDF Documents Added"));
        QVERIFY2(!ticks(*window).contains(false), "rows unticked before are ticked again");
        QCOMPARE(platform.messages.last().text, QStringLiteral("5 PDF Documents Added to List."));
    }

    void folderWithoutDocuments()
    {
        const fs::path empty = freshFolder("no-documents");
        std::ofstream(empty / "readme.txt") << "x";
        FakePlatform platform;
        auto window = makeWindow(platform);

        platform.folderAnswers.enqueue(qpath(empty));
        window->CmdAddFolder_Click();
        QVERIFY(!window->CmdProcess->isEnabled());
        QVERIFY(window->ChkSelectAll->isEnabled());
        QCOMPARE(window->ChkSelectAll->checkState(), Qt::Checked);
        QCOMPARE(window->lblCount->text(), QStringLiteral("0 PDF Documents Added"));
        QCOMPARE(platform.messages.last().text, QStringLiteral("0 PDF Documents Added to List."));

        // Into a list with unticked rows: the select-all routine ticks them and enables the button.
        addFiles(*window, platform, { m_tree / "r1.pdf", m_tree / "r2.pdf" });
        window->ChkSelectAll->setCheckState(Qt::Unchecked);
        window->ChkSelectAll_Click();
        platform.folderAnswers.enqueue(qpath(empty));
        window->CmdAddFolder_Click();
        QVERIFY(window->CmdProcess->isEnabled());
        QCOMPARE(ticks(*window), QList<bool>({ true, true }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("2 PDF Documents Added"));
    }

    void unreadableFoldersAreReported()
    {
        const fs::path folder = freshFolder("with-locked");
        writeDocument(folder / "ok.pdf", 1);
        writeDocument(folder / "locked" / "hidden.pdf", 1);
        FakePlatform platform;
        auto window = makeWindow(platform);
        window->setFileSystemFactory([] { return std::make_unique<LockedFolderFileSystem>(); });
        platform.folderAnswers.enqueue(qpath(folder));
        window->CmdAddFolder_Click();
        QCOMPARE(column(*window, 1), QStringList({ "ok.pdf" }));
        QCOMPARE(platform.messages.size(), 1);
        const QString text = platform.messages.first().text;
        QVERIFY2(
            text.startsWith(QStringLiteral("1 PDF Documents Added to List.\n")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("1 folder could not be read")), qPrintable(text));
        QVERIFY2(text.contains(qpath(folder / "locked")), qPrintable(text));
        QVERIFY(platform.messages.first().details.contains(QStringLiteral("Permission denied")));
        QVERIFY(!platform.busy());
    }

    void errorEndingTheFolderAddIsShownAndPointerRestored()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.folderAnswers.enqueue(qpath(m_tree));
        platform.onProcessEvents = [&] {
            if (window->ListView1->topLevelItemCount() == 2)
                throw quenlith::Error(quenlith::ErrorNumber::FileSystem, "Path/File access error");
        };
        window->CmdAddFolder_Click();
        platform.onProcessEvents = nullptr;
        QCOMPARE(window->ListView1->topLevelItemCount(), 2);
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages.first().title, QStringLiteral("Quenlith"));
        QCOMPARE(platform.messages.first().text, QStringLiteral("75:Path/File access error"));
        QCOMPARE(platform.busyCalls, QList<bool>({ true, false }));
    }

    // --- The extraction run ---

    void cancelledOutputPickerChangesNothing()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, { m_tree / "r1.pdf" });
        window->CmdProcess_Click();
        QCOMPARE(platform.folderTitles, QStringList({ "Choose Folder to Save..." }));
        QVERIFY(platform.messages.isEmpty());
        QVERIFY(platform.opened.isEmpty());
        QVERIFY(window->CmdProcess->isEnabled());
        QCOMPARE(window->LblProgessCurrent->text(), QStringLiteral("PDF File <pdf-file>"));
    }

    void runWritesOneFolderPerDocument_data()
    {
        QTest::addColumn<bool>("trailingSeparator");
        QTest::newRow("folder without separator") << false;
        QTest::newRow("folder with separator") << true;
    }

    void runWritesOneFolderPerDocument()
    {
        QFETCH(bool, trailingSeparator);
        const fs::path docs = freshFolder(trailingSeparator ? "docs-sep" : "docs-nosep");
        writeDocument(docs / "Report.PDF", 2);
        writeDocument(docs / "a.pdf.pdf", 1);
        writeDocument(docs / "three.pdf", 3);
        const fs::path out = freshFolder(trailingSeparator ? "out-sep" : "out-nosep");
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(
            *window, platform, { docs / "Report.PDF", docs / "a.pdf.pdf", docs / "three.pdf" });

        QStringList labels;
        platform.onProcessEvents = [&] {
            if (labels.isEmpty() || labels.last() != window->LblImages->text())
                labels.append(window->LblImages->text());
        };
        platform.folderAnswers.enqueue(qpath(out) + (trailingSeparator ? "/" : ""));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;

        QCOMPARE(filesBelow(out),
            QStringList({ "Report/Report-1.txt",
                "Report/Report-2.txt",
                "a/a.pdf-1.txt",
                "three/three-1.txt",
                "three/three-2.txt",
                "three/three-3.txt" }));
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages.first().text, Completed);
        QCOMPARE(platform.messages.first().icon, Platform::Icon::Information);
        QCOMPARE(platform.messages.first().title, QStringLiteral("Quenlith"));
        QCOMPARE(platform.messages.first().buttons, Platform::Buttons::Ok);
        QCOMPARE(platform.opened, QStringList({ qpath(out) + "/" }));
        QVERIFY(window->CmdProcess->isEnabled());
        // Rows top to bottom: three.pdf, a.pdf.pdf, Report.PDF.
        QCOMPARE(window->LblProgessCurrent->text(), QStringLiteral("PDF File : Report.PDF"));
        QCOMPARE(window->LblImages->text(), QStringLiteral("Extracted Attachment(s) 2 (of 2)"));
        QCOMPARE(window->DocOutputFolder, qpath(out / "Report") + "/");
        QCOMPARE(window->AttachmentIndex, 3);
        QCOMPARE(window->ProgressBar1->value(), 100);
        QVERIFY(window->FrameWait->isHidden());
        for (const char *label : { "Extracted Attachment(s) 1 (of 3)",
                 "Extracted Attachment(s) 2 (of 3)",
                 "Extracted Attachment(s) 3 (of 3)" })
            QVERIFY2(labels.contains(QLatin1String(label)), label);
    }

    void nothingTicked()
    {
        const fs::path out = freshFolder("out-nothing");
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, { m_tree / "r1.pdf", m_tree / "r2.pdf" });
        window->ChkSelectAll->setCheckState(Qt::Unchecked);
        window->ChkSelectAll_Click();
        QVERIFY(!window->CmdProcess->isEnabled());
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        QCOMPARE(platform.messages.last().text, Completed);
        QVERIFY(window->CmdProcess->isEnabled());
        QCOMPARE(platform.opened, QStringList({ qpath(out) + "/" }));
        QVERIFY(filesBelow(out).isEmpty());
        QVERIFY(fs::is_empty(out));
    }

    void progressCountsUntickedRows()
    {
        const fs::path out = freshFolder("out-progress");
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window,
            platform,
            { m_tree / "r1.pdf", m_tree / "r2.pdf", m_tree / "A/a1.pdf", m_tree / "B/b1.pdf" });
        window->ListView1->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        QList<int> values;
        bool disabledDuringRun = true;
        platform.onProcessEvents = [&] {
            if (values.isEmpty() || values.last() != window->ProgressBar1->value())
                values.append(window->ProgressBar1->value());
            if (!window->isRunInProgress())
                return;
            for (QPushButton *button :
                { window->CmdProcess, window->cmdAdd, window->CmdAddFolder, window->cmdClear1 })
                disabledDuringRun = disabledDuringRun && !button->isEnabled();
            disabledDuringRun = disabledDuringRun && window->cmdCancel->isVisible()
                && !window->ListView1->dropsAccepted();
        };
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;
        if (values.last() != window->ProgressBar1->value())
            values.append(window->ProgressBar1->value());
        QCOMPARE(values, QList<int>({ 0, 25, 50, 75, 100 }));
        QVERIFY(disabledDuringRun);
        for (QPushButton *button :
            { window->CmdProcess, window->cmdAdd, window->CmdAddFolder, window->cmdClear1 })
            QVERIFY(button->isEnabled());
        QVERIFY(window->cmdCancel->isHidden());
        // Rows: b1, a1 (unticked), r2, r1.
        QCOMPARE(filesBelow(out), QStringList({ "b1/b1-1.txt", "r1/r1-1.txt", "r2/r2-1.txt" }));
    }

    void sameDocumentTwiceAndSameNameTwice()
    {
        const fs::path out = freshFolder("out-names");
        writeDocument(m_scratch.path() / "x" / "report.pdf", 1);
        writeDocument(m_scratch.path() / "y" / "report.pdf", 2);
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, { m_scratch.path() / "x" / "report.pdf" });
        addFiles(*window, platform, { m_scratch.path() / "x" / "report.pdf" });
        addFiles(*window, platform, { m_scratch.path() / "y" / "report.pdf" });
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        // Rows: y/report.pdf, x/report.pdf, x/report.pdf. y came first in the run.
        QCOMPARE(filesBelow(out),
            QStringList(
                { "report (2)/report-1.txt", "report/report-1.txt", "report/report-2.txt" }));
        QVERIFY2(!filesBelow(out).join(' ').contains("(2).txt"),
            "the same document twice writes into its folder again");
        QCOMPARE(platform.messages.last().text, Completed);
    }

    void secondRunStartsFromThePreviousProgress()
    {
        const fs::path out1 = freshFolder("out-first");
        const fs::path out2 = freshFolder("out-second");
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, { m_tree / "r1.pdf", m_tree / "r2.pdf" });
        platform.folderAnswers.enqueue(qpath(out1));
        window->CmdProcess_Click();
        QCOMPARE(window->ProgressBar1->value(), 100);

        int firstValueSeen = -1;
        platform.onProcessEvents = [&] {
            if (firstValueSeen < 0)
                firstValueSeen = window->ProgressBar1->value();
        };
        platform.folderAnswers.enqueue(qpath(out2));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;
        QCOMPARE(firstValueSeen, 100);
        QCOMPARE(filesBelow(out2), filesBelow(out1));
        QCOMPARE(platform.messages.size(), 2);
        QCOMPARE(platform.opened.size(), 2);
    }

    void failuresAreSummarised()
    {
        const fs::path docs = freshFolder("failing");
        const fs::path out = freshFolder("out-failing");
        writeDocument(docs / "good.pdf", 1);
        std::ofstream(docs / "broken.pdf") << "%PDF-1.4 not really";
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(
            *window, platform, { docs / "good.pdf", docs / "broken.pdf", docs / "missing.pdf" });
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        QCOMPARE(platform.messages.size(), 1);
        const Platform::Message &box = platform.messages.first();
        QVERIFY2(box.text.startsWith(Completed + "\n"), qPrintable(box.text));
        QVERIFY2(box.text.contains(QStringLiteral("2 documents could not be opened")),
            qPrintable(box.text));
        QVERIFY(box.text.contains(qpath(docs / "broken.pdf")));
        QVERIFY(box.text.contains(qpath(docs / "missing.pdf")));
        QCOMPARE(box.icon, Platform::Icon::Warning);
        QVERIFY(!box.details.isEmpty());
        QVERIFY(filesBelow(out).contains(QStringLiteral("good/good-1.txt")));
    }

    void longSummaryShowsTenAndTheRest()
    {
        const fs::path docs = freshFolder("many-missing");
        const fs::path out = freshFolder("out-many");
        QList<fs::path> missing;
        for (int i = 0; i < 13; ++i)
            missing.append(docs / ("gone-" + std::to_string(i) + ".pdf"));
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, missing);
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        const Platform::Message &box = platform.messages.last();
        QVERIFY2(box.text.contains(QStringLiteral("13 documents could not be opened")),
            qPrintable(box.text));
        QVERIFY2(box.text.contains(QStringLiteral("and 3 more")), qPrintable(box.text));
        QCOMPARE(box.text.count(QStringLiteral("gone-")), 10);
        QCOMPARE(box.details.count(QStringLiteral("gone-")), 13);
    }

    void closingDuringARunEndsItAndLeavesNoPartialFile()
    {
        const fs::path docs = freshFolder("closing");
        const fs::path out = freshFolder("out-closing");
        for (const char *name : { "d1.pdf", "d2.pdf", "d3.pdf" })
            writeDocument(docs / name, 2);
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, { docs / "d1.pdf", docs / "d2.pdf", docs / "d3.pdf" });
        // Rows: d3, d2, d1. Close once the first attachment of d2 is written.
        platform.onProcessEvents = [&] {
            if (!window->isClosing() && fs::exists(out / "d2" / "d2-1.txt"))
                window->close();
        };
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;
        QVERIFY(!window->isVisible());
        QCOMPARE(platform.endProgramCalls, 1);
        QVERIFY2(platform.messages.isEmpty(), "no completion message after the window closed");
        QVERIFY(platform.opened.isEmpty());
        QCOMPARE(filesBelow(out), QStringList({ "d2/d2-1.txt", "d3/d3-1.txt", "d3/d3-2.txt" }));
    }

    void closingDuringALongWriteAbandonsIt()
    {
        const fs::path docs = freshFolder("long-write");
        const fs::path out = freshFolder("out-long-write");
        // 24 MB that Flate cannot shrink much, so the write takes several progress steps.
        std::string data(24u << 20, '\0');
        std::uint32_t state = 12345;
        for (char &byte : data) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<char>(state >> 24);
        }
        quenlith::fixtures::writePdf((docs / "big.pdf").string(), { { "big.bin", data, 0 } });
        data.clear();
        data.shrink_to_fit();

        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, { docs / "big.pdf" });
        int callsDuringWrite = 0;
        platform.onProcessEvents = [&] {
            if (window->isClosing() || !hasPartFile(out))
                return;
            if (++callsDuringWrite == 2)
                window->close();
        };
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;
        QCOMPARE(callsDuringWrite, 2);
        QVERIFY(window->isClosing());
        QVERIFY(platform.messages.isEmpty());
        QCOMPARE(filesBelow(out), QStringList());
    }

    void exitAnsweredYesDuringARun()
    {
        const fs::path out = freshFolder("out-exit");
        FakePlatform platform;
        auto window = makeWindow(platform);
        addFiles(*window, platform, { m_tree / "r1.pdf", m_tree / "r2.pdf", m_tree / "A/a1.pdf" });
        platform.onProcessEvents = [&] {
            if (!window->isClosing()
                && window->LblProgessCurrent->text().endsWith(QLatin1String("r2.pdf"))) {
                platform.messageAnswers.enqueue(Platform::Answer::Yes);
                window->cmdEnd_Click();
            }
        };
        platform.folderAnswers.enqueue(qpath(out));
        window->CmdProcess_Click();
        platform.onProcessEvents = nullptr;
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(
            platform.messages.first().text, QStringLiteral("Are you sure you want to exit now?"));
        QCOMPARE(platform.endProgramCalls, 1);
        QVERIFY(!filesBelow(out).contains(QStringLiteral("r1/r1-1.txt")));
        QVERIFY(filesBelow(out).contains(QStringLiteral("a1/a1-1.txt")));
        QVERIFY(!hasPartFile(out));
    }

    void closingDuringAScanEndsIt()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.folderAnswers.enqueue(qpath(m_tree));
        int calls = 0;
        platform.onProcessEvents = [&] {
            if (++calls == 3)
                window->close();
        };
        window->CmdAddFolder_Click();
        platform.onProcessEvents = nullptr;
        QCOMPARE(window->ListView1->topLevelItemCount(), 0);
        QVERIFY(platform.messages.isEmpty());
        QCOMPARE(platform.busyCalls, QList<bool>({ true, false }));
        QCOMPARE(platform.endProgramCalls, 1);
    }
};

QObject *newTestRunAndFolderAdd()
{
    return new TestRunAndFolderAdd;
}

#include "tst_run.moc"
