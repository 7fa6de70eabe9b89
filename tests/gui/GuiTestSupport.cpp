#include "tests/gui/GuiTestSupport.h"

#include "tests/support/FileContents.h"

#include <QRegularExpression>
#include <algorithm>

namespace guitest {

static std::vector<std::string> sorted(const std::string &folder, std::vector<std::string> names)
{
    if (std::filesystem::path(folder).parent_path().filename() == "locked")
        throw quenlith::Error(quenlith::ErrorNumber::PermissionDenied, "Permission denied");
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> SortedFileSystem::subFolderNames(const std::string &folder)
{
    return sorted(folder, StdFileSystemService::subFolderNames(folder));
}

std::vector<std::string> SortedFileSystem::fileNames(const std::string &folder)
{
    return sorted(folder, StdFileSystemService::fileNames(folder));
}

QString qpath(const std::filesystem::path &path)
{
    return QString::fromStdString(path.string());
}

std::filesystem::path writeDocument(const std::filesystem::path &path, int count)
{
    std::vector<quenlith::fixtures::Attachment> attachments;
    for (int i = 1; i <= count; ++i)
        attachments.push_back({ path.stem().string() + "-" + std::to_string(i) + ".txt",
            "attachment " + std::to_string(i) + " of " + path.filename().string(),
            0 });
    std::filesystem::create_directories(path.parent_path());
    quenlith::fixtures::writePdf(path.string(), attachments);
    return path;
}

QStringList filesBelow(const std::filesystem::path &folder)
{
    QStringList names;
    for (const auto &[name, bytes] : quenlith::fixtures::filesBelow(folder))
        names.append(QString::fromStdString(name));
    return names;
}

void WindowTest::init()
{
    QApplication::setQuitOnLastWindowClosed(false); // closing a test window must not end the run
    m_window.reset(); // before the platform it uses
    m_platform = std::make_unique<FakePlatform>();
    m_window = std::make_unique<quenlith::frmStep1>(*m_platform);
    m_window->setFileSystemFactory([] { return std::make_unique<SortedFileSystem>(); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void WindowTest::addFiles(const std::vector<std::filesystem::path> &paths)
{
    QStringList picked;
    for (const auto &path : paths)
        picked.append(qpath(path));
    m_platform->fileAnswers.enqueue(picked);
    m_window->cmdAdd_Click();
}

ListRow::ListRow(const quenlith::DocumentListView &list, const QModelIndex &index)
    : m_list(&list)
    , m_index(index)
{
}

QVariant ListRow::data(int column, int role) const
{
    return m_index.siblingAtColumn(column).data(role);
}

QString ListRow::text(int column) const
{
    return data(column, Qt::DisplayRole).toString();
}

QString ListRow::toolTip(int column) const
{
    return data(column, Qt::ToolTipRole).toString();
}

QIcon ListRow::icon(int column) const
{
    return data(column, Qt::DecorationRole).value<QIcon>();
}

Qt::CheckState ListRow::checkState(int column) const
{
    return static_cast<Qt::CheckState>(data(column, Qt::CheckStateRole).toInt());
}

void ListRow::setCheckState(int column, Qt::CheckState state) const
{
    m_list->model()->setData(m_index.siblingAtColumn(column), state, Qt::CheckStateRole);
}

Qt::ItemFlags ListRow::flags() const
{
    return m_index.flags();
}

void ListRow::setExpanded(bool expanded) const
{
    auto *list = const_cast<quenlith::DocumentListView *>(m_list);
    list->setExpanded(m_index, expanded);
    QTRY_VERIFY(!list->documents().isReading());
}

int ListRow::childCount() const
{
    return m_list->model()->rowCount(m_index);
}

ListRow ListRow::child(int index) const
{
    return ListRow(*m_list, m_list->model()->index(index, 0, m_index));
}

ListRow WindowTest::row(int index) const
{
    return ListRow(*m_window->ListView1, m_window->ListView1->model()->index(index, 0));
}

int WindowTest::listRows() const
{
    return m_window->ListView1->model()->rowCount();
}

QStringList WindowTest::column(int column) const
{
    QStringList texts;
    for (int i = 0; i < listRows(); ++i)
        texts.append(row(i)->text(column));
    return texts;
}

QList<bool> WindowTest::ticks() const
{
    QList<bool> ticked;
    for (int i = 0; i < listRows(); ++i)
        ticked.append(row(i)->checkState(0) == Qt::Checked);
    return ticked;
}

QStringList WindowTest::shown() const
{
    static const QRegularExpression counts(QStringLiteral("\n\nOutput folder: [^\n]*\n[^\n]*"));
    QStringList texts;
    for (const auto &message : m_platform->messages) {
        QString text = message.text;
        text.remove(counts);
        texts.append(message.title == "Quenlith" ? text : message.title + ": " + text);
    }
    return texts;
}

} // namespace guitest
