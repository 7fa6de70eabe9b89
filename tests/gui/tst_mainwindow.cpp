// The window, the document list and adding documents with the file dialog.
#include "doclist/DocumentListView.h"
#include "doclist/FileDialogAnswer.h"
#include "doclist/SelectListItem.h"
#include "tests/gui/GuiTestSupport.h"
#include "util/Error.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <fstream>

using namespace guitest;
using quenlith::frmStep1;
using quenlith::Platform;

namespace {

QString nul(const char *text, int size)
{
    return QString::fromLatin1(text, size);
}

QImage imageOf(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    quenlith::fixtures::ScratchFolder m_scratch { "quenlith-gui" };
    std::filesystem::path m_twoAttachments;
    std::filesystem::path m_noAttachments;
    std::filesystem::path m_damaged;

private slots:
    void initTestCase()
    {
        m_twoAttachments = writeDocument(m_scratch.path() / "docs" / "two.pdf", 2);
        m_noAttachments = writeDocument(m_scratch.path() / "docs" / "none.pdf", 0);
        m_damaged = m_scratch.path() / "docs" / "damaged.pdf";
        std::ofstream(m_damaged) << "this is not a PDF document";
        for (const char *name : { "a.pdf", "b.pdf", "c.pdf" })
            writeDocument(m_scratch.path() / "abc" / name, 1);
    }

    void initialState()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        QCOMPARE(window->windowTitle(), QStringLiteral("Quenlith"));
        QCOMPARE(window->size(), QSize(633, 519));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(window->PdfLibrary != nullptr);
        QCOMPARE(window->ListView1->topLevelItemCount(), 0);
        QCOMPARE(window->lblCount->text(), QStringLiteral("0 files"));
        QVERIFY(!window->CmdProcess->isEnabled());
        QVERIFY(!window->ChkSelectAll->isEnabled());
        QCOMPARE(window->ChkSelectAll->checkState(), Qt::Unchecked);
        QVERIFY(window->FrameWait->isHidden());
        QCOMPARE(window->ProgressBar1->minimum(), 0);
        QCOMPARE(window->ProgressBar1->maximum(), 100);
        QCOMPARE(window->ProgressBar1->value(), 0);
        QCOMPARE(window->LblProgessCurrent->text(), QStringLiteral("PDF File <pdf-file>"));
        QCOMPARE(window->LblImages->text(), QStringLiteral("Extracted Attachment(s) 0 (of 0)"));
        QCOMPARE(
            window->Label1->text(), QStringLiteral("Please wait... Reading Image Information..."));
        QCOMPARE(window->Frame1->title(), QStringLiteral(" Extraction Details "));
        QCOMPARE(window->Label2->text(), QStringLiteral("Extraction Progress : "));
        QVERIFY(window->cmdCancel->isHidden());
        QCOMPARE(QApplication::focusWidget(), window->cmdAdd);
        QVERIFY(window->SourceFolder.isEmpty());
        QVERIFY(window->DocOutputFolder.isEmpty());
        QCOMPARE(window->AttachmentIndex, 0);
        QCOMPARE(window->ImageList1.size(), 6);
        for (const QIcon &icon : window->ImageList1)
            QCOMPARE(icon.pixmap(16, 16).size(), QSize(16, 16));

        QTreeWidget *list = window->ListView1;
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Attachments"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("PDF Document Name"));
        QCOMPARE(list->headerItem()->text(2), QStringLiteral("PDF Document Path"));
        QCOMPARE(list->columnWidth(0), 87);
        QCOMPARE(list->columnWidth(1), 511);
        QCOMPARE(list->columnWidth(2), 467);
        QVERIFY(!list->rootIsDecorated());
        QVERIFY(!list->isSortingEnabled());
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        // Twips divided by 15; captions as the user sees them.
        QTest::newRow("lblTitle") << "lblTitle"
                                  << "Quenlith" << QRect(16, 8, 513, 25) << 14.25 << true;
        QTest::newRow("cmdAdd") << "cmdAdd"
                                << "Add PDF File(s)..." << QRect(16, 64, 121, 25) << 9.0 << false;
        QTest::newRow("CmdAddFolder")
            << "CmdAddFolder"
            << "Add Folder having PDF File(s)..." << QRect(152, 64, 185, 25) << 9.0 << false;
        QTest::newRow("cmdClear1") << "cmdClear1"
                                   << "Clear File(s)..." << QRect(504, 64, 113, 25) << 9.0 << false;
        QTest::newRow("lblCount") << "lblCount"
                                  << "0 files" << QRect(16, 104, 601, 17) << 8.25 << false;
        QTest::newRow("ListView1") << "ListView1"
                                   << "" << QRect(16, 120, 601, 201) << 9.0 << false;
        QTest::newRow("FrameWait") << "FrameWait"
                                   << "" << QRect(128, 176, 297, 33) << 9.0 << false;
        QTest::newRow("Label1") << "Label1"
                                << "Please wait... Reading Image Information..."
                                << QRect(8, 8, 289, 17) << 9.0 << true;
        QTest::newRow("ChkSelectAll") << "ChkSelectAll"
                                      << "Select All" << QRect(16, 323, 145, 17) << 9.0 << false;
        QTest::newRow("Frame1") << "Frame1"
                                << "" << QRect(16, 344, 601, 81) << 9.0 << false;
        QTest::newRow("Picture1") << "Picture1"
                                  << "" << QRect(8, 16, 585, 57) << 9.0 << false;
        QTest::newRow("Image1") << "Image1"
                                << "" << QRect(0, 0, 16, 16) << 9.0 << false;
        QTest::newRow("LblProgessCurrent")
            << "LblProgessCurrent"
            << "PDF File <pdf-file>" << QRect(24, 0, 489, 17) << 8.25 << false;
        QTest::newRow("Image2") << "Image2"
                                << "" << QRect(24, 21, 16, 16) << 9.0 << false;
        QTest::newRow("LblImages")
            << "LblImages"
            << "Extracted Attachment(s) 0 (of 0)" << QRect(48, 21, 489, 17) << 8.25 << false;
        QTest::newRow("Label2") << "Label2"
                                << "Extraction Progress : " << QRect(0, 40, 113, 17) << 8.25
                                << false;
        QTest::newRow("ProgressBar1") << "ProgressBar1"
                                      << "" << QRect(104, 40, 481, 17) << 9.0 << false;
        QTest::newRow("CmdProcess")
            << "CmdProcess"
            << "E&xtract Attachments" << QRect(216, 432, 209, 37) << 14.25 << false;
        QTest::newRow("Shape2") << "Shape2"
                                << "" << QRect(-8, 0, 641, 57) << 9.0 << false;
        QTest::newRow("Shape1") << "Shape1"
                                << "" << QRect(0, 480, 665, 57) << 9.0 << false;
        QTest::newRow("Picture3") << "Picture3"
                                  << "" << QRect(16, 488, 609, 33) << 9.0 << false;
        QTest::newRow("CmdHelp") << "CmdHelp"
                                 << "&Help Manual" << QRect(0, 0, 113, 25) << 9.0 << false;
        QTest::newRow("cmdEnd") << "cmdEnd"
                                << "E&xit" << QRect(512, 0, 89, 25) << 9.0 << false;
    }

    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, geometry);
        QFETCH(double, points);
        QFETCH(bool, bold);
        FakePlatform platform;
        auto window = makeWindow(platform);
        auto *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget != nullptr, qPrintable(name));
        QCOMPARE(widget->geometry(), geometry);
        if (!caption.isEmpty()) {
            QString text;
            if (auto *label = qobject_cast<QLabel *>(widget))
                text = label->text();
            else if (auto *button = qobject_cast<QAbstractButton *>(widget))
                text = button->text();
            QCOMPARE(text, caption);
            QCOMPARE(widget->font().family(), QStringLiteral("Tahoma"));
            QCOMPARE(widget->font().pointSizeF(), points);
            QCOMPARE(widget->font().bold(), bold);
            QString plain = caption;
            QCOMPARE(widget->accessibleName(), plain.remove(QLatin1Char('&')).trimmed());
            // The caption fits its control in the font the platform substituted.
            if (qobject_cast<QLabel *>(widget) || qobject_cast<QAbstractButton *>(widget)) {
                const int textWidth = widget->fontMetrics().horizontalAdvance(plain);
                QVERIFY2(textWidth <= widget->width()
                            - (qobject_cast<QPushButton *>(widget) ? 8 : 0)
                            - (qobject_cast<QCheckBox *>(widget) ? 20 : 0),
                    qPrintable(QStringLiteral("%1 is %2 px wide").arg(plain).arg(textWidth)));
            }
        }
    }

    void colours()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        QCOMPARE(window->FrameWait->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xC0));
        QCOMPARE(window->Label1->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0xFF));
        QCOMPARE(
            window->ChkSelectAll->palette().color(QPalette::WindowText), QColor(0x00, 0x00, 0xC0));
        QCOMPARE(
            window->LblImages->palette().color(QPalette::WindowText), QColor(0x00, 0x40, 0x00));
        QCOMPARE(window->Picture3->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xFF));
        QCOMPARE(window->Shape2->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xFF));
        QCOMPARE(window->Shape2->palette().color(QPalette::WindowText), QColor(0xC0, 0xC0, 0xC0));
        QCOMPARE(imageOf(QIcon(window->Image1->pixmap())), imageOf(window->ImageList1.at(0)));
        QCOMPARE(imageOf(QIcon(window->Image2->pixmap())), imageOf(window->ImageList1.at(5)));
    }

    void tabOrder()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        window->CmdProcess->setEnabled(true);
        window->ChkSelectAll->setEnabled(true);
        const QList<QWidget *> expected = { window->cmdAdd,
            window->cmdClear1,
            window->CmdAddFolder,
            window->CmdProcess,
            window->cmdEnd,
            window->CmdHelp,
            window->ListView1,
            window->ChkSelectAll };
        window->cmdAdd->setFocus();
        for (qsizetype i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected.at(i));
        }
    }

    void addThreeInOneBatchAboveEarlierRows()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        const auto folder = m_scratch.path() / "abc";
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments) });
        platform.fileAnswers.enqueue(
            { qpath(folder / "a.pdf"), qpath(folder / "b.pdf"), qpath(folder / "c.pdf") });
        window->cmdAdd_Click();
        window->ListView1->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        window->cmdAdd_Click();

        QCOMPARE(platform.filters,
            QStringList({ "Adobe PDF Files (*.pdf)", "Adobe PDF Files (*.pdf)" }));
        QCOMPARE(column(*window, 1), QStringList({ "c.pdf", "b.pdf", "a.pdf", "two.pdf" }));
        QCOMPARE(column(*window, 2),
            QStringList({ qpath(folder / "c.pdf"),
                qpath(folder / "b.pdf"),
                qpath(folder / "a.pdf"),
                qpath(m_twoAttachments) }));
        QCOMPARE(column(*window, 0), QStringList({ "1", "1", "1", "2" }));
        QCOMPARE(ticks(*window), QList<bool>({ true, true, true, true }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("4 PDF Documents Added"));
        QVERIFY(window->ChkSelectAll->isEnabled());
        QCOMPARE(window->ChkSelectAll->checkState(), Qt::Checked);
        QVERIFY(window->CmdProcess->isEnabled());
        QTreeWidgetItem *top = window->ListView1->topLevelItem(0);
        QCOMPARE(top->toolTip(1), qpath(folder / "c.pdf"));
        QCOMPARE(imageOf(top->icon(0)), imageOf(window->ImageList1.at(1)));
        QCOMPARE(imageOf(top->icon(1)), imageOf(window->ImageList1.at(0)));
        QVERIFY(platform.messages.isEmpty());
    }

    void duplicatePathGivesSecondRow()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments) });
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments) });
        window->cmdAdd_Click();
        window->cmdAdd_Click();
        QCOMPARE(
            column(*window, 2), QStringList({ qpath(m_twoAttachments), qpath(m_twoAttachments) }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("2 PDF Documents Added"));
    }

    void unopenableDocumentShowsZeroAndReason()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        // The document before it leaves 2 attachments current in the library.
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments), qpath(m_damaged) });
        window->cmdAdd_Click();
        QTreeWidgetItem *row = window->ListView1->topLevelItem(0);
        QCOMPARE(row->text(1), QStringLiteral("damaged.pdf"));
        QCOMPARE(row->text(0), QStringLiteral("0"));
        QCOMPARE(imageOf(row->icon(0)), imageOf(window->ImageList1.at(4)));
        QVERIFY(!row->toolTip(0).isEmpty());
        QCOMPARE(row->toolTip(1), qpath(m_damaged));
        QCOMPARE(row->checkState(0), Qt::Checked);
        QCOMPARE(window->ListView1->topLevelItem(1)->text(0), QStringLiteral("2"));
        QVERIFY(window->ListView1->topLevelItem(1)->toolTip(0).isEmpty());
    }

    void selectAll_data()
    {
        QTest::addColumn<Qt::CheckState>("box");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("unticked unticks every row") << Qt::Unchecked << false;
        QTest::newRow("ticked ticks every row") << Qt::Checked << true;
        QTest::newRow("greyed ticks every row") << Qt::PartiallyChecked << true;
    }

    void selectAll()
    {
        QFETCH(Qt::CheckState, box);
        QFETCH(bool, ticked);
        FakePlatform platform;
        auto window = makeWindow(platform);

        // On an empty list only the box changes.
        window->CmdProcess->setEnabled(true);
        window->ChkSelectAll->setCheckState(box);
        window->ChkSelectAll_Click();
        QVERIFY(window->CmdProcess->isEnabled());

        platform.fileAnswers.enqueue(
            { qpath(m_twoAttachments), qpath(m_noAttachments), qpath(m_damaged) });
        window->cmdAdd_Click();
        window->ListView1->topLevelItem(1)->setCheckState(0, ticked ? Qt::Unchecked : Qt::Checked);
        window->ChkSelectAll->setCheckState(box);
        window->ChkSelectAll_Click();
        QCOMPARE(ticks(*window), QList<bool>({ ticked, ticked, ticked }));
        QCOMPARE(window->CmdProcess->isEnabled(), ticked);
    }

    void selectAllByMouseClick()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments), qpath(m_noAttachments) });
        window->cmdAdd_Click();
        QTest::mouseClick(window->ChkSelectAll, Qt::LeftButton);
        QCOMPARE(ticks(*window), QList<bool>({ false, false }));
        QVERIFY(!window->CmdProcess->isEnabled());
    }

    void rowClick()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        // Empty list: the button keeps its state either way.
        for (bool enabled : { true, false }) {
            window->CmdProcess->setEnabled(enabled);
            QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, {}, QPoint(50, 50));
            QCOMPARE(window->CmdProcess->isEnabled(), enabled);
        }
        platform.fileAnswers.enqueue(
            { qpath(m_twoAttachments), qpath(m_noAttachments), qpath(m_damaged) });
        window->cmdAdd_Click();
        for (int i = 0; i < 2; ++i)
            window->ListView1->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
        window->CmdProcess->setEnabled(false);
        window->ListView1_Click();
        QVERIFY2(window->CmdProcess->isEnabled(), "only the bottom row is ticked");

        // Unticking the last ticked row with the mouse disables the button.
        QTreeWidgetItem *bottom = window->ListView1->topLevelItem(2);
        const QRect rect = window->ListView1->visualItemRect(bottom);
        QStyleOptionViewItem option;
        option.initFrom(window->ListView1);
        option.rect = rect;
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = window->ListView1->style()->subElementRect(
            QStyle::SE_ItemViewItemCheckIndicator, &option, window->ListView1);
        QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, {}, box.center());
        QCOMPARE(bottom->checkState(0), Qt::Unchecked);
        QVERIFY(!window->CmdProcess->isEnabled());
    }

    void clearKeepsCountAndBox()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments), qpath(m_noAttachments) });
        window->cmdAdd_Click();
        window->ChkSelectAll->setCheckState(Qt::PartiallyChecked);
        QTest::mouseClick(window->cmdClear1, Qt::LeftButton);
        QCOMPARE(window->ListView1->topLevelItemCount(), 0);
        QVERIFY(!window->CmdProcess->isEnabled());
        QCOMPARE(window->lblCount->text(), QStringLiteral("2 PDF Documents Added"));
        QCOMPARE(window->ChkSelectAll->checkState(), Qt::PartiallyChecked);
        QVERIFY(window->ChkSelectAll->isEnabled());
    }

    void cancelledDialog()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        window->CmdProcess->setEnabled(true);
        window->cmdAdd_Click();
        QVERIFY2(!window->CmdProcess->isEnabled(), "cancel with an empty list disables");

        platform.fileAnswers.enqueue({ qpath(m_twoAttachments) });
        window->cmdAdd_Click();
        window->ListView1->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        window->CmdProcess->setEnabled(false);
        window->cmdAdd_Click();
        QVERIFY2(!window->CmdProcess->isEnabled(), "cancel with rows changes nothing");
        QCOMPARE(ticks(*window), QList<bool>({ false }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("1 PDF Documents Added"));
        QVERIFY(platform.messages.isEmpty());
    }

    void answerSplitting_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("one file") << QStringLiteral("/docs/a.pdf") << QStringList { "/docs/a.pdf" };
        QTest::newRow("one file, trailing NUL")
            << nul("/docs/a.pdf\0", 12) << QStringList { "/docs/a.pdf" };
        QTest::newRow("three files") << nul("/docs\0a.pdf\0b.pdf\0c.pdf", 23)
                                     << QStringList { "/docs/a.pdf", "/docs/b.pdf", "/docs/c.pdf" };
        QTest::newRow("three files, trailing NUL") << nul("/docs\0a.pdf\0b.pdf\0c.pdf\0",
            24) << QStringList { "/docs/a.pdf", "/docs/b.pdf", "/docs/c.pdf" };
        QTest::newRow("root-like folder keeps both separators")
            << nul("/\0a.pdf\0b.pdf", 13) << QStringList { "//a.pdf", "//b.pdf" };
        QTest::newRow("folder and one name")
            << nul("/docs\0a.pdf", 11) << QStringList { "/docs/a.pdf" };
    }

    void answerSplitting()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, paths);
        QCOMPARE(quenlith::FileDialogAnswer::documentPaths(answer), paths);
    }

    void answerFromPickedPaths()
    {
        using quenlith::FileDialogAnswer;
        QCOMPARE(FileDialogAnswer::fromPaths({ "/d/a.pdf" }), QStringLiteral("/d/a.pdf"));
        QCOMPARE(
            FileDialogAnswer::fromPaths({ "/d/a.pdf", "/d/b.pdf" }), nul("/d\0a.pdf\0b.pdf", 14));
        QCOMPARE(FileDialogAnswer::fromPaths({ "/a.pdf", "/b.pdf" }), nul("/\0a.pdf\0b.pdf", 13));
        QCOMPARE(FileDialogAnswer::fromPaths({ "/d/x/a.pdf", "/d/y/b.pdf" }),
            nul("/d\0x/a.pdf\0y/b.pdf", 18));
        const QStringList picked = { "/d/a.pdf", "/d/b.pdf", "/d/c.pdf" };
        QCOMPARE(FileDialogAnswer::documentPaths(FileDialogAnswer::fromPaths(picked)), picked);
        // "/d" NUL "a.pdf" NUL "b.pdf" NUL NUL is 16 characters.
        QVERIFY(FileDialogAnswer::fits(picked.mid(0, 2), 16));
        QVERIFY(!FileDialogAnswer::fits(picked.mid(0, 2), 15));
        QCOMPARE(FileDialogAnswer::filesThatFit(picked, 16), 2);
    }

    void rootLikeFolderThroughTheWindow()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ "/missing-a.pdf", "/missing-b.pdf" });
        window->cmdAdd_Click();
        QCOMPARE(column(*window, 2), QStringList({ "//missing-b.pdf", "//missing-a.pdf" }));
        QCOMPARE(column(*window, 1), QStringList({ "missing-b.pdf", "missing-a.pdf" }));
    }

    void selectionTooLongForTheBuffer()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments) });
        window->cmdAdd_Click();
        window->ListView1->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        window->CmdProcess->setEnabled(false);

        // "/picked", then NUL and 30 characters per file, then 2 NULs: 7 + 31 k + 2 <= 1000 for
        // k up to 31.
        QStringList picked;
        for (int i = 0; i < 40; ++i)
            picked.append(QStringLiteral("/picked/%1.pdf").arg(i, 26, 10, QLatin1Char('0')));
        QCOMPARE(quenlith::FileDialogAnswer::filesThatFit(picked), 31);
        platform.fileAnswers.enqueue(picked);
        window->cmdAdd_Click();

        QCOMPARE(platform.messages.size(), 1);
        const Platform::Message &warning = platform.messages.first();
        QCOMPARE(warning.text, QStringLiteral("Please select only 31 files at a time"));
        QCOMPARE(warning.title, QStringLiteral("Quenlith"));
        QCOMPARE(warning.icon, Platform::Icon::Warning);
        QCOMPARE(warning.buttons, Platform::Buttons::Ok);
        QCOMPARE(window->ListView1->topLevelItemCount(), 1);
        QCOMPARE(ticks(*window), QList<bool>({ false }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("1 PDF Documents Added"));
        QVERIFY(!window->CmdProcess->isEnabled());
    }

    void failureInTheMiddleOfABatch()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        const auto folder = m_scratch.path() / "abc";
        platform.fileAnswers.enqueue(
            { qpath(folder / "a.pdf"), qpath(folder / "b.pdf"), qpath(folder / "c.pdf") });
        // Two rows are in when the pause before the third document fails.
        platform.onProcessEvents = [&] {
            if (window->ListView1->topLevelItemCount() == 2)
                throw quenlith::Error(57, "Device I/O error");
        };
        window->cmdAdd_Click();
        platform.onProcessEvents = nullptr;
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages.first().text, QStringLiteral("57:Device I/O error"));
        QCOMPARE(platform.messages.first().icon, Platform::Icon::Warning);
        QCOMPARE(platform.messages.first().title, QStringLiteral("Quenlith"));
        QCOMPARE(column(*window, 1), QStringList({ "b.pdf", "a.pdf" }));
        QCOMPARE(ticks(*window), QList<bool>({ false, false }));
        QCOMPARE(window->lblCount->text(), QStringLiteral("0 files"));
        QVERIFY(window->CmdProcess->isEnabled());
        QVERIFY(!window->ChkSelectAll->isEnabled());
    }

    void selectListItem_data()
    {
        QTest::addColumn<int>("firstVisible");
        QTest::addColumn<int>("k");
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("expectedFirst");
        QTest::newRow("below the page, comes to line 3") << 1 << 40 << 3 << 38;
        QTest::newRow("above the page, comes to line 3") << 61 << 40 << 3 << 38;
        QTest::newRow("near the end shows the last page") << 1 << 95 << 3 << 91;
        QTest::newRow("above the page, k <= v becomes the first line") << 61 << 2 << 3 << 2;
        QTest::newRow("below the page, k <= v") << 1 << 3 << 5 << 1;
        QTest::newRow("visible row only selected") << 21 << 25 << 3 << 21;
    }

    void selectListItem()
    {
        QFETCH(int, firstVisible);
        QFETCH(int, k);
        QFETCH(int, v);
        QFETCH(int, expectedFirst);
        FakePlatform platform;
        auto window = makeWindow(platform);
        QTreeWidget *list = window->ListView1;
        for (int i = 100; i >= 1; --i) {
            auto *row = new QTreeWidgetItem({ QString::number(i) });
            row->setCheckState(0, i % 2 == 0 ? Qt::Checked : Qt::Unchecked);
            list->insertTopLevelItem(0, row);
        }
        // Exactly 10 rows per page.
        const int rowHeight = list->visualItemRect(list->topLevelItem(0)).height();
        list->setFixedHeight(
            list->height() - list->viewport()->height() + 10 * rowHeight + rowHeight / 2);
        QCOMPARE(list->viewport()->height() / rowHeight, 10);
        list->scrollToItem(list->topLevelItem(firstVisible - 1), QAbstractItemView::PositionAtTop);
        QCOMPARE(list->indexOfTopLevelItem(list->itemAt(0, 0)) + 1, firstVisible);

        QVERIFY(quenlith::SelectListItem(*list, k, v));
        QCOMPARE(list->indexOfTopLevelItem(list->itemAt(0, 0)) + 1, expectedFirst);
        QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem *>({ list->topLevelItem(k - 1) }));
        QCOMPARE(list->currentItem(), list->topLevelItem(k - 1));
        for (int i = 1; i <= 100; ++i)
            QCOMPARE(
                list->topLevelItem(i - 1)->checkState(0), i % 2 == 0 ? Qt::Checked : Qt::Unchecked);
    }

    void selectListItemOutOfRange()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        QTreeWidget *list = window->ListView1;
        QVERIFY(!quenlith::SelectListItem(*list, 1, 3));
        for (int i = 0; i < 3; ++i)
            list->addTopLevelItem(new QTreeWidgetItem({ QString::number(i) }));
        list->topLevelItem(0)->setSelected(true);
        QVERIFY(!quenlith::SelectListItem(*list, 4, 3));
        QVERIFY(!quenlith::SelectListItem(*list, 0, 3));
        QVERIFY(list->selectedItems().isEmpty());
    }

    void exitAnsweredNo()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.fileAnswers.enqueue({ qpath(m_twoAttachments), qpath(m_noAttachments) });
        window->cmdAdd_Click();
        window->ListView1->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        platform.messageAnswers.enqueue(Platform::Answer::No);
        QTest::mouseClick(window->cmdEnd, Qt::LeftButton);
        QCOMPARE(platform.messages.size(), 1);
        const Platform::Message &question = platform.messages.first();
        QCOMPARE(question.text, QStringLiteral("Are you sure you want to exit now?"));
        QCOMPARE(question.title, QStringLiteral("Quenlith"));
        QCOMPARE(question.icon, Platform::Icon::Question);
        QCOMPARE(question.buttons, Platform::Buttons::YesNo);
        QCOMPARE(question.defaultButton, Platform::Answer::Yes);
        QVERIFY(window->isVisible());
        QCOMPARE(platform.endProgramCalls, 0);
        QCOMPARE(ticks(*window), QList<bool>({ false, true }));
    }

    void exitAnsweredYes()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        platform.messageAnswers.enqueue(Platform::Answer::Yes);
        window->cmdEnd_Click();
        QVERIFY(!window->isVisible());
        QVERIFY(window->isClosing());
        QCOMPARE(platform.endProgramCalls, 1);
        QCOMPARE(platform.messages.size(), 1);
    }

    void closingOtherwiseAsksNothing()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        window->close();
        QVERIFY(!window->isVisible());
        QCOMPARE(platform.endProgramCalls, 1);
        QVERIFY(platform.messages.isEmpty());
    }

    void helpOpensTheManualOrSaysWhereItLooked()
    {
        FakePlatform platform;
        auto window = makeWindow(platform);
        QTest::mouseClick(window->CmdHelp, Qt::LeftButton);
        const QStringList candidates = frmStep1::manualCandidates();
        QVERIFY(candidates.size() >= 3);
        QString found;
        for (const QString &candidate : candidates) {
            if (QFileInfo(candidate).isFile()) {
                found = candidate;
                break;
            }
        }
        if (!found.isEmpty()) {
            QCOMPARE(platform.opened, QStringList({ found }));
            QVERIFY(platform.messages.isEmpty());
        } else {
            QVERIFY(platform.opened.isEmpty());
            QCOMPARE(platform.messages.size(), 1);
            for (const QString &candidate : candidates)
                QVERIFY(platform.messages.first().text.contains(candidate));
        }
    }
};

QObject *newTestMainWindow()
{
    return new TestMainWindow;
}

#include "tst_mainwindow.moc"
