// The window, the document list, the keyboard and adding documents with the file dialog.
#include "app/QtPlatform.h"
#include "app/RunDetailsText.h"
#include "app/Translations.h"
#include "doclist/DeferredListSelection.h"
#include "doclist/FileDialogAnswer.h"
#include "doclist/SelectListItem.h"
#include "extract/report/RunDetails.h"
#include "tests/gui/GuiTestSupport.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QThread>
#include <atomic>

using namespace guitest;
using quenlith::Platform;

struct Control {
    const char *name;
    const char *caption; // as the user sees it; empty for controls without one
    QRect geometry; // twips divided by 15
    double points;
    bool bold;
};

static const Control Controls[] = {
    { "lblTitle", "Quenlith", { 16, 8, 513, 25 }, 14.25, true },
    { "cmdAdd", "Add PDF File(s)...", { 16, 64, 121, 25 }, 9, false },
    { "CmdAddFolder", "Add Folder having PDF File(s)...", { 152, 64, 185, 25 }, 9, false },
    { "cmdClear1", "Clear File(s)...", { 504, 64, 113, 25 }, 9, false },
    { "lblCount", "0 files", { 16, 104, 601, 17 }, 8.25, false },
    { "ListView1", "", { 16, 120, 601, 201 }, 9, false },
    { "Label1", "Please wait... Reading Image Information...", { 8, 8, 289, 17 }, 9, true },
    { "ChkSelectAll", "Select All", { 16, 323, 145, 17 }, 9, false },
    { "Frame1", " Extraction Details ", { 16, 344, 601, 81 }, 9, false },
    { "LblProgessCurrent", "PDF File <pdf-file>", { 24, 0, 489, 17 }, 8.25, false },
    { "LblImages", "Extracted Attachment(s) 0 (of 0)", { 48, 21, 489, 17 }, 8.25, false },
    { "Label2", "Extraction Progress : ", { 0, 40, 113, 17 }, 8.25, false },
    { "CmdProcess", "&Extract Attachments", { 216, 432, 209, 37 }, 14.25, false },
    { "cmdCancel", "Cancel", { 432, 438, 89, 25 }, 9, false },
    { "CmdHelp", "&Help Manual", { 0, 0, 113, 25 }, 9, false },
    { "cmdEnd", "E&xit", { 512, 0, 89, 25 }, 9, false },
    { "ChkNested", "Also extract from attached PDF documents", { 320, 323, 297, 17 }, 9, false },
    // Shapes, frames, pictures and images: geometry only.
    { "Shape2", "", { -8, 0, 641, 57 }, 9, false },
    { "Shape1", "", { 0, 480, 665, 57 }, 9, false },
    { "FrameWait", "", { 128, 176, 297, 33 }, 9, false },
    { "Picture1", "", { 8, 21, 585, 57 }, 9, false },
    { "Image1", "", { 0, 0, 16, 16 }, 9, false },
    { "Image2", "", { 24, 21, 16, 16 }, 9, false },
    { "ProgressBar1", "", { 104, 40, 481, 17 }, 9, false },
    { "Picture3", "", { 16, 488, 609, 33 }, 9, false },
};

class TestMainWindow : public WindowTest {
    Q_OBJECT

private:
    std::filesystem::path m_two, m_damaged, m_a, m_b, m_c;

    // Adds `count` pending rows of documents that are never opened, one attachment each.
    static void inject(
        quenlith::DocumentListModel &documents, int count, const QString &prefix = "injected")
    {
        quenlith::DocumentSummary summary;
        summary.opened = true;
        summary.count = 1;
        for (int i = 1; i <= count; ++i)
            documents.add(QString("/%1%2.pdf").arg(prefix).arg(i).toStdString(), summary);
    }

private slots:
    void initTestCase()
    {
        m_two = writeDocument(m_scratch.path() / "two.pdf", 2);
        m_damaged = m_scratch.path() / "damaged.pdf";
        std::ofstream(m_damaged) << "this is not a PDF document";
        m_a = writeDocument(m_scratch.path() / "abc" / "a.pdf", 1);
        m_b = writeDocument(m_scratch.path() / "abc" / "b.pdf", 1);
        m_c = writeDocument(m_scratch.path() / "abc" / "c.pdf", 1);
    }

    // What ends the program when the window cannot be made (its PDF library failed to start).
    void startupFailureMessage()
    {
        const Platform::Message message = quenlith::frmStep1::startupFailure(
            quenlith::Error(429, "The PDF library could not be started: %1 of 100% missing"));
        QCOMPARE(message.text,
            QStringLiteral("Error 429: The PDF library could not be started: %1 of 100% missing"));
        QCOMPARE(message.title, QStringLiteral("Quenlith"));
        QVERIFY(
            message.icon == Platform::Icon::Critical && message.buttons == Platform::Buttons::Ok);
    }

    void initialState()
    {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Quenlith"));
        QVERIFY(m_window->size() == QSize(633, 519)
            && m_window->minimumSize() == m_window->maximumSize());
        QVERIFY(!m_window->CmdProcess->isEnabled() && !m_window->ChkSelectAll->isEnabled()
            && !m_window->ChkNested->isChecked());
        QCOMPARE(m_window->ChkSelectAll->checkState(), Qt::Unchecked);
        QVERIFY(m_window->FrameWait->isHidden() && m_window->cmdCancel->isHidden());
        // The progress block lies inside the group's border, wherever the style draws it.
        QVERIFY(m_window->Frame1->contentsRect().contains(m_window->Picture1->geometry()));
        const QProgressBar *bar = m_window->ProgressBar1;
        QVERIFY(bar->minimum() == 0 && bar->maximum() == 100 && bar->value() == 0);
        QCOMPARE(QApplication::focusWidget(), m_window->cmdAdd);
        quenlith::DocumentListView *list = m_window->ListView1;
        QStringList captions;
        for (int i = 0; i < list->model()->columnCount(); ++i)
            captions.append(list->model()->headerData(i, Qt::Horizontal).toString());
        QCOMPARE(
            captions, QStringList({ "Attachments", "PDF Document Name", "PDF Document Path" }));
        // Rows expand to their attachments; sorting waits for a header click.
        QVERIFY(list->rootIsDecorated() && !list->isSortingEnabled());
    }

    void layout_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(Controls)); ++i)
            QTest::newRow(Controls[i].name) << i;
    }

    // Geometry, caption, font and accessible name.
    void layout()
    {
        QFETCH(int, index);
        const Control &control = Controls[index];
        auto *widget = m_window->findChild<QWidget *>(control.name);
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->geometry(), control.geometry);
        QString caption = QString::fromUtf8(control.caption);
        if (caption.isEmpty())
            return;
        auto *label = qobject_cast<QLabel *>(widget);
        auto *button = qobject_cast<QAbstractButton *>(widget);
        auto *group = qobject_cast<QGroupBox *>(widget);
        QCOMPARE(label ? label->text() : button ? button->text() : group->title(), caption);
        QCOMPARE(widget->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(widget->font().pointSizeF(), control.points);
        QCOMPARE(widget->font().bold(), control.bold);
        const QString plain = caption.remove(QLatin1Char('&')).trimmed();
        QCOMPARE(widget->accessibleName(), plain);
    }

    // In each language the window, its plural forms and Qt's own buttons speak it; every caption
    // fits its control, whose geometry is fixed; no two controls share an access key (all are on
    // show together during a run).
    void languages_data()
    {
        QTest::addColumn<QString>("language");
        // extraction button, count, Qt's Cancel, the completion message's failure heading
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("English") << "en"
                                 << QStringList { "&Extract Attachments",
                                        "1 PDF Documents Added",
                                        "Cancel",
                                        "1 document could not be extracted:" };
        QTest::newRow("German") << "de"
                                << QStringList { "Anhänge &extrahieren",
                                       "1 PDF-Dokument hinzugefügt",
                                       "Abbrechen",
                                       "1 Dokument konnte nicht extrahiert werden:" };
        QTest::newRow("French") << "fr"
                                << QStringList { "&Extraire les fichiers",
                                       "1 document PDF ajouté",
                                       "Annuler",
                                       "1 document n'a pas pu être extrait :" };
    }
    void languages()
    {
        QFETCH(QString, language);
        const auto english
            = qScopeGuard([] { quenlith::installTranslations(QLocale(QLocale::English)); });
        QCOMPARE(quenlith::installTranslations(QLocale(language)), language);
        m_window = std::make_unique<quenlith::frmStep1>(*m_platform);
        addFiles({ m_two });
        quenlith::RunDetails failed;
        failed.add({}, quenlith::RunDetails::End::Done); // never reached by the run
        QTEST(QStringList({ m_window->CmdProcess->text(),
                  m_window->lblCount->text(),
                  QCoreApplication::translate("QPlatformTheme", "Cancel"),
                  quenlith::runFailureText(failed).section('\n', 0, 0) }),
            "captions");
        QMap<QKeySequence, QString> owners;
        for (const QWidget *widget : m_window->findChildren<QWidget *>()) {
            const auto *label = qobject_cast<const QLabel *>(widget);
            const auto *button = qobject_cast<const QAbstractButton *>(widget);
            const auto *group = qobject_cast<const QGroupBox *>(widget);
            const QString caption = label ? label->text()
                : button                  ? button->text()
                : group                   ? group->title()
                                          : QString();
            const int room = widget->width() - (qobject_cast<const QPushButton *>(widget) ? 8 : 0)
                - (qobject_cast<const QCheckBox *>(widget) ? 20 : 0);
            QVERIFY2(widget->fontMetrics().horizontalAdvance(QString(caption).remove('&')) <= room,
                qPrintable(caption));
            const QKeySequence key = QKeySequence::mnemonic(caption);
            QVERIFY2(key.isEmpty() || !owners.contains(key), qPrintable(caption));
            if (!key.isEmpty())
                owners.insert(key, widget->objectName());
        }
        QCOMPARE(owners.size(), 3);
    }

    // Nothing added by a cancel; every picked file is added, however many and however long their
    // names; a batch goes on top in order, a duplicate is a row, a damaged document shows 0 and
    // image 5.
    void addByFileDialog()
    {
        m_window->CmdProcess->setEnabled(true);
        m_window->cmdAdd_Click();
        QVERIFY(!m_window->CmdProcess->isEnabled());
        addFiles({ m_two });
        row(0)->setCheckState(0, Qt::Unchecked);
        m_window->cmdAdd_Click();
        QVERIFY(m_window->CmdProcess->isEnabled());
        QStringList picked;
        for (int i = 0; i < 40; ++i)
            picked.append(QStringLiteral("/picked/%1.pdf").arg(i, 26, 10, QLatin1Char('0')));
        m_platform->fileAnswers.enqueue(picked);
        m_window->cmdAdd_Click();
        QVERIFY(shown().isEmpty());
        QCOMPARE(m_window->lblCount->text(), QStringLiteral("41 PDF Documents Added"));
        QCOMPARE(column(2).first(), picked.last());
        m_window->cmdClear1_Click();
        addFiles({ m_two });

        QVERIFY(m_window->lblCount->toolTip().isEmpty());
        addFiles({ m_a, m_b, m_c, m_two, m_damaged });
        QCOMPARE(m_window->lblCount->toolTip(), "1 added document was already in the list.");
        QCOMPARE(m_platform->filters, QStringList(6, "Adobe PDF Files (*.pdf)"));
        QCOMPARE(column(2).mid(0, 3), QStringList({ qpath(m_damaged), qpath(m_two), qpath(m_c) }));
        QCOMPARE(column(1),
            QStringList({ "damaged.pdf (not a PDF document)",
                "two.pdf",
                "c.pdf",
                "b.pdf",
                "a.pdf",
                "two.pdf" }));
        QCOMPARE(column(0), QStringList({ "0", "2", "1", "1", "1", "2" }));
        QVERIFY(!ticks().contains(false));
        QCOMPARE(m_window->lblCount->text(), QStringLiteral("6 PDF Documents Added"));
        QVERIFY(m_window->ChkSelectAll->isEnabled() && m_window->CmdProcess->isEnabled());
        QVERIFY(shown().isEmpty());
        QCOMPARE(row(0)->icon(0).cacheKey(), m_window->ImageList1.at(4).cacheKey());
        QVERIFY(!row(0)->toolTip(0).isEmpty() && row(1)->toolTip(0).isEmpty());
        QCOMPARE(row(0)->toolTip(1), qpath(m_damaged));
        QCOMPARE(row(1)->icon(0).cacheKey(), m_window->ImageList1.at(1).cacheKey());
    }

    // Select-all (clicked, greyed), a row tick clicked with the mouse, clear (Select All as at
    // the start).
    void selectAllRowClickAndClear()
    {
        quenlith::DocumentListView *list = m_window->ListView1;
        addFiles({ m_two, m_c, m_damaged });
        QTest::mouseClick(m_window->ChkSelectAll, Qt::LeftButton);
        QCOMPARE(ticks(), QList<bool>({ false, false, false }));
        QVERIFY(!m_window->CmdProcess->isEnabled());
        QStyleOptionViewItem option;
        option.initFrom(list);
        option.rect = list->visualRect(row(2).index());
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QPoint tick
            = list->style()
                  ->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list)
                  .center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, tick);
        QCOMPARE(ticks(), QList<bool>({ false, false, true }));
        QVERIFY2(m_window->CmdProcess->isEnabled(), "only the bottom row is ticked");
        QCOMPARE(m_window->ChkSelectAll->checkState(), Qt::PartiallyChecked);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, tick);
        QVERIFY2(!m_window->CmdProcess->isEnabled(), "the last ticked row was unticked");
        QCOMPARE(m_window->ChkSelectAll->checkState(), Qt::Unchecked);
        m_window->ChkSelectAll->setCheckState(Qt::PartiallyChecked);
        QTest::mouseClick(m_window->ChkSelectAll, Qt::LeftButton); // a click on "some" ticks all
        QVERIFY(!ticks().contains(false));
        QTest::mouseClick(m_window->ChkSelectAll, Qt::LeftButton);
        m_window->ChkSelectAll->setCheckState(Qt::PartiallyChecked);
        m_window->ChkSelectAll_Click();
        QVERIFY(!ticks().contains(false) && m_window->CmdProcess->isEnabled());

        QTest::mouseClick(m_window->cmdClear1, Qt::LeftButton);
        QCOMPARE(listRows(), 0);
        QVERIFY(!m_window->CmdProcess->isEnabled() && !m_window->ChkSelectAll->isEnabled());
        QCOMPARE(m_window->lblCount->text(), QStringLiteral("0 files"));
        QCOMPARE(m_window->ChkSelectAll->checkState(), Qt::Unchecked);
    }

    // documentPaths splits the dialog's answer; fromPaths builds it from Qt's list of `picked`.
    void dialogAnswer_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("picked");
        const QStringList abc = { "/docs/a.pdf", "/docs/b.pdf", "/docs/c.pdf" };
        QTest::newRow("one file") << QString(abc.first()) << abc.mid(0, 1) << abc.mid(0, 1);
        QTest::newRow("three files")
            << QString::fromLatin1("/docs\0a.pdf\0b.pdf\0c.pdf", 23) << abc << abc;
        QTest::newRow("trailing NUL")
            << QString::fromLatin1("/docs\0a.pdf\0b.pdf\0c.pdf\0", 24) << abc << QStringList();
        QTest::newRow("root-like folder keeps both separators")
            << QString::fromLatin1("/\0a.pdf\0b.pdf", 13) << QStringList { "//a.pdf", "//b.pdf" }
            << QStringList { "/a.pdf", "/b.pdf" };
    }

    void dialogAnswer()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, picked);
        QCOMPARE(quenlith::FileDialogAnswer::documentPaths(answer), paths);
        if (!picked.isEmpty())
            QCOMPARE(quenlith::FileDialogAnswer::fromPaths(picked), answer);
    }

    // 100 rows, 10 per page, even rows ticked; k = 0 and k = 101 are out of range.
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
        QTest::newRow("k = 0") << 21 << 0 << 3 << 21;
        QTest::newRow("k past the end") << 21 << 101 << 3 << 21;
    }

    void selectListItem()
    {
        QFETCH(int, firstVisible);
        QFETCH(int, k);
        QFETCH(int, v);
        QFETCH(int, expectedFirst);
        quenlith::DocumentListView *list = m_window->ListView1;
        inject(list->documents(), 100);
        list->documents().insertPending();
        for (int i = 1; i <= 100; ++i)
            list->documents().setTicked(i - 1, i % 2 == 0);
        const int rowHeight = list->visualRect(row(0).index()).height();
        list->setFixedHeight(
            list->height() - list->viewport()->height() + 10 * rowHeight + rowHeight / 2);
        QCOMPARE(list->viewport()->height() / rowHeight, 10);
        list->scrollTo(row(firstVisible - 1).index(), QAbstractItemView::PositionAtTop);
        QCOMPARE(list->indexAt(QPoint(0, 0)).row() + 1, firstVisible);
        list->selectionModel()->select(row(0).index(), QItemSelectionModel::Select);
        const QList<bool> ticked = ticks();

        const bool inRange = k >= 1 && k <= 100;
        QCOMPARE(quenlith::SelectListItem(*list, k, v), inRange);
        QCOMPARE(list->indexAt(QPoint(0, 0)).row() + 1, expectedFirst);
        QCOMPARE(list->selectionModel()->selectedRows(),
            inRange ? QModelIndexList({ row(k - 1).index() }) : QModelIndexList());
        if (inRange)
            QCOMPARE(list->currentIndex(), row(k - 1).index());
        QCOMPARE(ticks(), ticked);
    }

    // A folder add selects after every row but shows the outcome only when events run: the page,
    // current row, selection and horizontal scroll must then be what inserting each row and
    // SelectListItem after it give. 10 rows per page; `applyEvery` 0 applies at the end only.
    void deferredSelection_data()
    {
        QTest::addColumn<int>("existing");
        QTest::addColumn<int>("firstVisible");
        QTest::addColumn<bool>("scrolledRight");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("pageLine");
        QTest::addColumn<int>("applyEvery");
        QTest::newRow("empty list, applied every row") << 0 << 1 << false << 40 << 3 << 1;
        QTest::newRow("empty list, applied every 7 rows") << 0 << 1 << false << 40 << 3 << 7;
        QTest::newRow("empty list, applied at the end") << 0 << 1 << true << 40 << 3 << 0;
        QTest::newRow("fewer rows than a page") << 4 << 1 << false << 5 << 3 << 2;
        QTest::newRow("100 rows, first page, every 7") << 100 << 1 << false << 60 << 3 << 7;
        QTest::newRow("100 rows, middle page, at the end") << 100 << 45 << true << 60 << 3 << 0;
        QTest::newRow("100 rows, last page, every 3") << 100 << 91 << false << 30 << 3 << 3;
        QTest::newRow("page line below the page") << 100 << 20 << false << 30 << 12 << 4;
        QTest::newRow("page line 1") << 100 << 1 << true << 30 << 1 << 5;
    }

    void deferredSelection()
    {
        QFETCH(int, existing);
        QFETCH(int, firstVisible);
        QFETCH(bool, scrolledRight);
        QFETCH(int, added);
        QFETCH(int, pageLine);
        QFETCH(int, applyEvery);
        quenlith::DocumentListView *list = m_window->ListView1;
        quenlith::DocumentListModel &documents = list->documents();
        inject(documents, 1);
        documents.insertPending();
        const int rowHeight = list->visualRect(row(0).index()).height();
        list->setFixedHeight(
            list->height() - list->viewport()->height() + 10 * rowHeight + rowHeight / 2);

        // First visible row, current row, selected rows, horizontal scroll.
        using State = std::tuple<int, int, QList<int>, int>;
        auto state = [&] {
            QList<int> selected;
            for (const QModelIndex &index : list->selectionModel()->selectedRows())
                selected << index.row();
            return State { list->indexAt(QPoint(0, 0)).row(),
                list->currentIndex().row(),
                selected,
                list->horizontalScrollBar()->value() };
        };
        auto run = [&](bool deferred) {
            documents.clear();
            inject(documents, existing);
            documents.insertPending();
            list->scrollTo(documents.index(firstVisible - 1, 0), QAbstractItemView::PositionAtTop);
            if (scrolledRight)
                list->horizontalScrollBar()->setValue(list->horizontalScrollBar()->maximum());
            quenlith::DeferredListSelection selection(*list);
            QList<State> states;
            QList<bool> results;
            for (int i = 1; i <= added; ++i) {
                inject(documents, 1, "new" + QString::number(i) + "-");
                if (!deferred)
                    documents.insertPending();
                results << (deferred ? selection.select(i, pageLine)
                                     : quenlith::SelectListItem(*list, i, pageLine));
                if (applyEvery > 0 && i % applyEvery == 0) {
                    selection.apply();
                    states << state();
                }
            }
            selection.apply();
            states << state();
            return std::make_pair(states, results);
        };
        run(false); // the runs compared start alike: the vertical scroll bar has come up once
        const auto everyRow = run(false);
        QVERIFY(std::get<3>(everyRow.first.last()) == 0 || !scrolledRight);
        QCOMPARE(run(true), everyRow);
    }

    // Events run between select() and apply() may clear the list (a Clear during a folder add):
    // the row chosen before is gone and nothing is selected.
    void deferredSelectionOfAClearedRow()
    {
        auto list = std::make_unique<quenlith::DocumentListView>();
        inject(list->documents(), 5);
        quenlith::DeferredListSelection selection(*list);
        QVERIFY(selection.select(2, 3));
        list->documents().clear();
        inject(list->documents(), 1, "after the Clear");
        selection.apply();
        QVERIFY(!list->currentIndex().isValid());
        QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    }

    // The desktop's pacing: events run every EventInterval, a slow update before them (laying out
    // a long list) only once twice its cost has passed, or when asked for Now.
    void slowUpdatesLeaveEventsBetween()
    {
        quenlith::QtPlatform platform;
        int updates = 0;
        QElapsedTimer since; // the last update's end
        const auto update = [&] { ++updates, QThread::msleep(100), since.start(); };
        platform.processEvents(update, Platform::Events::Now);
        QTRY_COMPARE(platform.millisecondsUntilEventsDue(), 0);
        platform.processEvents(update, Platform::Events::WhenDue);
        if (since.elapsed() < 180) // asked in time on a busy machine
            QCOMPARE(updates, 1);
        const int before = updates;
        QTest::qWait(400); // twice the update's cost, and more
        platform.processEvents(update, Platform::Events::WhenDue);
        platform.processEvents(update, Platform::Events::Now);
        QCOMPARE(updates, before + 2);
    }

    // 10,002 rows of one batch, inserted as one range; a row's lines are read only when it is
    // first expanded; each ticked file comes once, top to bottom; a sort takes the lines along.
    void manyRowsWithLazyLines()
    {
        using Model = quenlith::DocumentListModel;
        Model &documents = m_window->ListView1->documents();
        std::atomic<int> reads { 0 };
        documents.setLineReader([&reads](const std::string &file) {
            ++reads;
            quenlith::AttachmentLines read;
            for (int i = 1; i <= Model::MaxLines; ++i)
                read.lines.push_back(
                    { i, QString::fromStdString(file + "-" + std::to_string(i)), {}, {} });
            read.more = 2;
            return read;
        });
        QSignalSpy inserted(&documents, &QAbstractItemModel::rowsInserted);
        inject(documents, 10000);
        inject(documents, 2); // the first two again
        QCOMPARE(listRows(), 0);
        documents.insertPending();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(listRows(), 10002);
        documents.setAllTicked(true);
        documents.setTicked(1, false); // the second "/injected1.pdf"
        const std::vector<std::string> ticked = documents.tickedFiles();
        QCOMPARE(ticked.size(), std::size_t { 10000 });
        QVERIFY(ticked[0] == "/injected2.pdf" && ticked[1] == "/injected10000.pdf");
        QCOMPARE(ticked.back(), "/injected1.pdf");

        const ListRow third = row(9999);
        QCOMPARE(third->text(2), "/injected3.pdf");
        QVERIFY(third->childCount() == 0 && reads == 0);
        third->setExpanded(true);
        third->setExpanded(false);
        third->setExpanded(true);
        QCOMPARE(reads.load(), 1);
        QCOMPARE(third->childCount(), Model::MaxLines + 1);
        QCOMPARE(third->child(Model::MaxLines)->text(1), "... and 2 more");
        const QPersistentModelIndex kept(third.index());
        documents.sort(Model::NameColumn, Qt::DescendingOrder);
        QCOMPARE(kept.row(), 6 * 1111 + 1110); // as text, behind injected4... to 9... and 3[0-9]...
        QCOMPARE(ListRow(*m_window->ListView1, kept)->child(0)->text(1), "/injected3.pdf-1");
    }

    // What an attachment's line says: invoice, size, origin; the date in local time.
    void attachmentLineTexts_data()
    {
        QTest::addColumn<int>("origin");
        QTest::addColumn<QString>("where"); // the page, folder or owner of the list
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("invoice"); // the standard of an invoice it holds
        QTest::addColumn<QString>("details");
        using Origin = quenlith::Attachment::Origin;
        QTest::newRow("name tree") << int(Origin::Names) << "" << 9LL << ""
                                   << "9 bytes, attached to the document";
        QTest::newRow("page") << int(Origin::Annotation) << "3" << 1536LL << ""
                              << "1.50 KiB, attached to page 3";
        QTest::newRow("catalog /AF") << int(Origin::AssociatedFile) << "catalog" << -1LL << ""
                                     << "size not declared, associated file of the document";
        QTest::newRow("page /AF") << int(Origin::AssociatedFile) << "page 2" << 0LL << ""
                                  << "0 bytes, associated file of page 2";
        QTest::newRow("portfolio") << int(Origin::Portfolio) << "Drawings" << 9LL << ""
                                   << "9 bytes, in portfolio folder Drawings";
        QTest::newRow("unlisted") << int(Origin::Unlisted) << "" << 9LL << ""
                                  << "9 bytes, not listed by the document";
        QTest::newRow("invoice") << int(Origin::AssociatedFile) << "catalog" << 9LL << "Factur-X"
                                 << "Factur-X EN 16931 invoice, 9 bytes, associated file of the "
                                    "document";
        QTest::newRow("order") << int(Origin::Names) << "" << 9LL << "Order-X"
                               << "Order-X EN 16931 order, 9 bytes, attached to the document";
    }

    void attachmentLineTexts()
    {
        QFETCH(int, origin);
        QFETCH(QString, where);
        QFETCH(qint64, size);
        QFETCH(QString, invoice);
        QFETCH(QString, details);
        quenlith::Attachment attachment;
        attachment.position = 2;
        attachment.origin = static_cast<quenlith::Attachment::Origin>(origin);
        attachment.page = where.toInt();
        attachment.folder = attachment.afOwner = where.toStdString();
        attachment.declaredSize = size;
        quenlith::InvoiceInfo declared;
        declared.declared = declared.present = !invoice.isEmpty();
        declared.standard = invoice.toStdString();
        declared.profile = "EN 16931";
        declared.profileKnown = true;
        declared.fileName = "factur-x.xml";
        declared.index = 2;
        const quenlith::AttachmentLine line = quenlith::attachmentLine(attachment, declared);
        QCOMPARE(line.details, details);
        QCOMPARE(line.toolTip.contains("invoice file: factur-x.xml"), !invoice.isEmpty());
        attachment.modTime = 1714564800; // 2024-05-01 12:00 UTC
        QCOMPARE(quenlith::attachmentLine(attachment, declared).details.count(", "),
            details.count(", ") + 1);
        QCOMPARE(quenlith::localDateText(attachment.modTime),
            QLocale::system().toString(
                QDateTime::fromSecsSinceEpoch(attachment.modTime).toLocalTime(),
                QLocale::ShortFormat));
    }

    // A document that did not open, or opened repaired or incompletely listed, says so after its
    // name and by its mark; an empty list says how documents are added.
    void documentMarksAndEmptyHint()
    {
        quenlith::DocumentListView *list = m_window->ListView1;
        const auto ink = [list] {
            const QImage shot = list->viewport()->grab().toImage();
            int pixels = 0;
            for (int x = 0; x < shot.width(); ++x)
                pixels += shot.pixel(x, shot.height() / 2) != shot.pixel(0, 0);
            return pixels;
        };
        QVERIFY(ink() > 0);
        quenlith::DocumentSummary summary;
        summary.error = "needs a password: the document is encrypted";
        list->documents().add("/locked.pdf", summary);
        summary = { true, 1, 0, "", {}, true, true };
        list->documents().add("/rebuilt.pdf", summary);
        summary.repaired = false;
        summary.listingComplete = false;
        list->documents().add("/cut.pdf", summary);
        list->documents().insertPending();
        QCOMPARE(column(1),
            QStringList({ "cut.pdf (damaged)",
                "rebuilt.pdf (repaired)",
                "locked.pdf (needs a password)" }));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(row(i)->icon(0).cacheKey(), m_window->ImageList1.at(4).cacheKey());
        QCOMPARE(row(1)->toolTip(0), QStringLiteral("repaired: attachments may be missing"));
        QCOMPARE(ink(), 0);
    }

    // A header click sorts by its column (the count as a number), a second one the other way;
    // a row added afterwards goes on top again. The columns fit: no sideways scrolling.
    void sortingByColumns()
    {
        const std::filesystem::path ten = writeDocument(m_scratch.path() / "sort" / "Ten.pdf", 10);
        addFiles({ ten, m_two, m_a });
        QCOMPARE(column(0), QStringList({ "1", "2", "10" }));
        QHeaderView *header = m_window->ListView1->header();
        const auto clickHeader = [&](int section) {
            QTest::mouseClick(header->viewport(),
                Qt::LeftButton,
                {},
                QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        clickHeader(0);
        QCOMPARE(column(0), QStringList({ "1", "2", "10" }));
        clickHeader(0);
        QCOMPARE(column(0), QStringList({ "10", "2", "1" }));
        QVERIFY(header->isSortIndicatorShown());
        clickHeader(1);
        QCOMPARE(column(1), QStringList({ "a.pdf", "Ten.pdf", "two.pdf" }));
        clickHeader(2);
        QCOMPARE(column(1), QStringList({ "a.pdf", "Ten.pdf", "two.pdf" })); // abc/ < sort/ < two
        addFiles({ m_b });
        QCOMPARE(column(1).first(), QStringLiteral("b.pdf"));
        QVERIFY(!header->isSortIndicatorShown());
        QCOMPARE(m_window->ListView1->horizontalScrollBar()->maximum(), 0);
        QVERIFY(header->length() <= m_window->ListView1->viewport()->width());
    }

    // Tab order, Space and Delete in the list, Alt+H (manual or where it was looked for), Alt+X.
    // Closing the window outside a run asks nothing (see interruptedAdds).
    void keyboard()
    {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        addFiles({ m_a, m_b });
        m_window->cmdAdd->setFocus();
        for (const QString &next :
            QString("CmdAddFolder cmdClear1 ChkSelectAll ChkNested ListView1 CmdProcess CmdHelp "
                    "cmdEnd cmdAdd")
                .split(' ')) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
        }
        quenlith::DocumentListView *list = m_window->ListView1;
        list->setFocus();
        list->setCurrentIndex(row(0).index());
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(ticks(), QList<bool>({ false, true }));
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(!ticks().contains(true) && !m_window->CmdProcess->isEnabled());
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(listRows(), 2);

        // The source tree's manual is always among the places looked in.
        QTest::keyClick(m_window.get(), Qt::Key_H, Qt::AltModifier);
        QTRY_COMPARE(m_platform->opened.size(), 1);
        QVERIFY(m_platform->messages.isEmpty());
        QVERIFY(quenlith::frmStep1::manualCandidates().contains(m_platform->opened.first()));
        QVERIFY(QFileInfo(m_platform->opened.first()).isFile());
        // Exit asks, Yes the default (a run's stop shows Yes); No keeps the window.
        m_platform->messageAnswers.enqueue(Platform::Answer::No);
        QTest::keyClick(m_window.get(), Qt::Key_X, Qt::AltModifier);
        QTRY_COMPARE(shown(), QStringList({ "Are you sure you want to exit now?" }));
        const Platform::Message &question = m_platform->messages.first();
        QVERIFY(question.icon == Platform::Icon::Question
            && question.buttons == Platform::Buttons::YesNo
            && question.defaultButton == Platform::Answer::Yes);
        QVERIFY(m_window->isVisible() && m_platform->endProgramCalls == 0);
    }
};

QObject *newTestMainWindow()
{
    return new TestMainWindow;
}

#include "tst_mainwindow.moc"
